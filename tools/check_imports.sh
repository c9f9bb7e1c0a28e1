#!/usr/bin/env bash
# Checks that a Windows executable is a GUI (or console) program importing
# only DLLs that every Windows installation has (no runtime or library DLLs
# beside it).
#   check_imports.sh PROGRAM.exe [gui|console]
set -euo pipefail
exe=$1
kind=${2:-gui}
dump=$(x86_64-w64-mingw32-objdump -p "$exe")
allowed='^(advapi32|bcrypt|crypt32|gdi32|imm32|kernel32|msvcrt|ole32|oleaut32|setupapi|shell32|user32|version|winmm|ws2_32|winhttp|wintrust|ntdll|shlwapi|comctl32|comdlg32|dwmapi|uxtheme|hid|dinput8|dxgi|d3d9|d3d11|secur32|iphlpapi|normaliz|wldap32)\.dll$'
bad=0
while read -r dll; do
  name=$(tr 'A-Z' 'a-z' <<<"$dll")
  if [[ $name =~ $allowed ]]; then
    echo "import: $dll"
  else
    echo "not a system DLL: $dll" >&2
    bad=1
  fi
done < <(awk '/DLL Name:/ {print $3}' <<<"$dump")
if [ "$kind" = console ]; then
  grep -q 'Subsystem.*(Windows CUI)' <<<"$dump" || { echo "not a console-subsystem program" >&2; bad=1; }
else
  grep -q 'Subsystem.*(Windows GUI)' <<<"$dump" || { echo "not a GUI-subsystem program" >&2; bad=1; }
fi
exit $bad
