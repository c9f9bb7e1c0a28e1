#!/usr/bin/env bash
# The product launcher under Wine with a native module that faults, as a
# Linux parent of wine (a store's or a script's view) sees it:
#   in_a:      a null write inside init "a" on the loader thread: the fault
#              becomes a Windows exception, the launcher's handler logs the
#              crash line and a dump and ends with 0xC0000005, of which a
#              Linux parent sees the low 8 bits: 5;
#   on_thread: a null write on a thread the module created: signal 11 ends
#              the process (139), and the log holds every line logged
#              before the launcher called into the module.
#   native_crash_test.sh BUILD_DIR SERVERS_DIR in_a|on_thread
set -uo pipefail

build=${1:?build dir}
servers=${2:?servers dir}
mode=${3:?in_a or on_thread}
product=native-crash-${mode//_/-}
deployment=native-deployment
run=$(mktemp -d /tmp/tavrin-native-crash.XXXXXX)
trap 'rm -rf "$run"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

module=$build/nativemodules/tavrin_native_fault_$mode.so
for file in "$build/bin/TavrinLauncher.exe" "$build/bin/DemoGame.exe" "$module"; do
  [ -f "$file" ] || fail "$file not built"
done
mkdir -p "$run/Tavrin"
cp "$build/bin/TavrinLauncher.exe" "$build/bin/DemoGame.exe" "$run/"
cat >"$run/Tavrin/Settings.json" <<JSON
{
    "title": "Tavrin Native Crash Test",
    "executable": "DemoGame.exe",
    "productid": "$product",
    "sandboxid": "native-sandbox",
    "deploymentid": "$deployment",
    "environment": "gamedev"
}
JSON

module_dir=$servers/cdn/$product/$deployment
mkdir -p "$module_dir"
python3 "$(dirname "$0")/../../tools/modpack/modpack.py" "$module" "$module_dir/linux64" || fail "packing the module"
cache=$(find "$WINEPREFIX/drive_c/users" -type d -path "*/Tavrin/$product/$deployment" 2>/dev/null | head -n 1)
[ -n "$cache" ] && rm -rf "$cache"

export CURL_CA_BUNDLE=$servers/ca/ca.pem
export QRV_ANTICHEAT_BOOTSTRAPPER_IMMEDIATE_EXIT_ON_ERROR=1
export TAVRIN_TEST_MARKER=$run/module-events.txt
rc=0
(cd "$run" && timeout 180 wine TavrinLauncher.exe --exit-after-ms 20000 </dev/null >>"$run/wine.log" 2>&1) || rc=$?
echo "launcher exit code: $rc"
cache=$(find "$WINEPREFIX/drive_c/users" -type d -path "*/Tavrin/$product/$deployment" | head -n 1)
[ -n "$cache" ] && [ -f "$cache/anticheatlauncher.log" ] || fail "no log"
log=$(tr -d '\r' <"$cache/anticheatlauncher.log")
grep -q '^init ' "$TAVRIN_TEST_MARKER" || fail "the module's init did not run"

if [ "$mode" = in_a ]; then
  [ "$rc" = 5 ] || fail "expected 5, the low byte of 0xC0000005"
  grep -q '\[Err!\] Unhandled exception 0xC0000005 at 0x.* on thread [0-9]* (writing 0x0000000000000000)\.$' \
    <<<"$log" || { echo "$log"; fail "no crash line"; }
  dump=$(grep -o "Crash dump written to '[^']*'" <<<"$log" | sed "s/.*\\\\//; s/'$//")
  [ -n "$dump" ] && [ -s "$cache/$dump" ] || { echo "$log"; fail "no dump beside the log"; }
else
  [ "$rc" = 139 ] || fail "expected 139 (signal 11)"
  grep -qx 'thread faults' "$TAVRIN_TEST_MARKER" || fail "the module's thread did not run"
  # The last line logged before the launcher called into the module.
  grep -q 'Starting Wine module mapping' <<<"$log" || { echo "$log"; fail "the log lost lines"; }
  ! grep -q 'Unhandled exception' <<<"$log" || fail "a crash line from a thread Wine does not know"
fi
echo "native crash ($mode) passed"
