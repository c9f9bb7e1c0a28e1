#!/usr/bin/env bash
# Runs the stand-in loader against every independent module of a build, each
# with a fresh event log, and prints one line per module.
#   check_all.sh BUILD_DIR native     the .so files, with ind_host
#   check_all.sh BUILD_DIR windows    the signed DLLs, with ind_winhost.exe
#                                     under wine (WINEPREFIX as for ./dev)
# Build first: cmake --build BUILD_DIR --target IndependentModules
# IndependentModulesHost (or IndependentModulesWinHost). Exit code 0 when
# every module passed; each module's full output is in WORK/<variant>.out.
set -uo pipefail

build=$(cd "${1:?usage: check_all.sh BUILD_DIR native|windows}" && pwd)
form=${2:?usage: check_all.sh BUILD_DIR native|windows}
out=$build/independentmodules
work=$(mktemp -d)
failed=0

run_one() { # label variant module-variant
  local label=$1 variant=$2 module=$3 log=$work/$1.log rc=0
  rm -f "$log"
  if [ "$form" = native ]; then
    TAVRIN_INDEPENDENT_MODULE_LOG=$log "$out/ind_host" "$out/ind_$module.so" "$variant" \
      >"$work/$label.out" 2>&1 || rc=$?
  else
    TAVRIN_INDEPENDENT_MODULE_LOG="Z:${log//\//\\}" wine "$out/ind_winhost.exe" \
      "Z:${build//\//\\}\\signed\\ind_$module.dll" "$variant" >"$work/$label.out" 2>&1 || rc=$?
  fi
  if [ $rc -eq 0 ]; then
    echo "pass  $form $label"
  else
    echo "FAIL  $form $label (exit $rc, see $work/$label.out)"
    failed=$((failed + 1))
  fi
}

variants=(thread_confirm burst second_reports slow_init lingering)
[ "$form" = windows ] && variants+=(cxx_crt static_tls)
for variant in "${variants[@]}"; do
  run_one "$variant" "$variant" "$variant"
done
# An init record of another version must be refused without a report.
run_one rejected rejected thread_confirm
echo "outputs in $work; $failed failed"
[ "$failed" -eq 0 ]
