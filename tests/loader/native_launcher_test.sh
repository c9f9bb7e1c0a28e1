#!/usr/bin/env bash
# Whole launcher runs under Wine with the native demo module from the
# loopback dev CDN, as a player starts the game:
#   leave: the module asks for the game (508) and confirms (1002); the
#          launcher exits with 0 and the game keeps running with the
#          launcher's arguments; the module is cached, and a second launch
#          revalidates it (304) and launches from the cache.
#   wait:  with "wait_for_game_process_exit" true the launcher waits for the
#          game and exits with the game's exit code.
#   native_launcher_test.sh BUILD_DIR SERVERS_DIR leave|wait
set -uo pipefail

build=${1:?build dir}
servers=${2:?servers dir}
mode=${3:?leave or wait}
product=native-launch-$mode
deployment=native-deployment
run=$(mktemp -d /tmp/tavrin-native-launch.XXXXXX)
trap 'rm -rf "$run"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

for file in bin/TavrinLauncher.exe bin/DemoGame.exe nativemodules/tavrin_native_demo.so; do
  [ -f "$build/$file" ] || fail "$file not built"
done
mkdir -p "$run/Tavrin"
cp "$build/bin/TavrinLauncher.exe" "$build/bin/DemoGame.exe" "$run/"
wait_for_game=false
[ "$mode" = wait ] && wait_for_game=true
cat >"$run/Tavrin/Settings.json" <<JSON
{
    "title": "Tavrin Native Launch Test",
    "executable": "DemoGame.exe",
    "productid": "$product",
    "sandboxid": "native-sandbox",
    "deploymentid": "$deployment",
    "environment": "gamedev",
    "wait_for_game_process_exit": "$wait_for_game"
}
JSON

module_dir=$servers/cdn/$product/$deployment
mkdir -p "$module_dir"
python3 "$(dirname "$0")/../../tools/modpack/modpack.py" "$build/nativemodules/tavrin_native_demo.so" \
  "$module_dir/linux64" || fail "packing the module"

cache=$(find "$WINEPREFIX/drive_c/users" -type d -path "*/Tavrin/$product/$deployment" 2>/dev/null | head -n 1)
[ -n "$cache" ] && rm -rf "$cache"

export CURL_CA_BUNDLE=$servers/ca/ca.pem
export QRV_ANTICHEAT_BOOTSTRAPPER_IMMEDIATE_EXIT_ON_ERROR=1
export TAVRIN_TEST_MARKER=$run/module-events.txt
args_file=$(winepath -w "$run/game-args.txt" 2>/dev/null)

launch() { # launcher arguments...
  local rc=0
  (cd "$run" && timeout 120 wine TavrinLauncher.exe "$@" </dev/null >>"$run/wine.log" 2>&1) || rc=$?
  echo "$rc"
}

log_of() { tr -d '\r' <"$(find "$WINEPREFIX/drive_c/users" -path "*/Tavrin/$product/$deployment/anticheatlauncher.log" | head -n 1)"; }

if [ "$mode" = wait ]; then
  rc=$(launch --no-window --exit-code 42 --exit-after-ms 1500)
  echo "launcher exit code: $rc"
  [ "$rc" = 42 ] || fail "expected the game's exit code 42"
  log_of | grep -q 'Waiting for game process to exit' || fail "the launcher did not wait for the game"
  grep -qx 'second 1' "$TAVRIN_TEST_MARKER" || fail "the module's second entry point did not run"
  exit 0
fi

# The game outlives the launcher, then ends by itself.
rc=$(launch --args-file "$args_file" --exit-after-ms 4000)
echo "first launch exit code: $rc"
[ "$rc" = 0 ] || fail "expected 0"
for _ in $(seq 50); do [ -s "$run/game-args.txt" ] && break; sleep 0.1; done
tr -d '\r' <"$run/game-args.txt" | grep -q -- '--exit-after-ms' || fail "the game did not get the launcher's arguments"
pgrep -f 'DemoGame.exe --args-file' >/dev/null || fail "the game did not outlive the launcher"
expected_events="init 2 $product native-sandbox $deployment $run/DemoGame.exe 5"
grep -qxF "$expected_events" "$TAVRIN_TEST_MARKER" || { cat "$TAVRIN_TEST_MARKER"; fail "init record"; }
grep -qx 'second 1' "$TAVRIN_TEST_MARKER" || fail "the module's second entry point did not run"
cache=$(find "$WINEPREFIX/drive_c/users" -type d -path "*/Tavrin/$product/$deployment" | head -n 1)
[ -f "$cache/tavrin_linux_x64.kzv" ] && [ -f "$cache/tavrin_linux_x64.kzv.metadata" ] ||
  fail "the launched module was not cached"
log_of | grep -q 'Response Code: 200' || fail "first launch: no download"

rc=$(launch --exit-after-ms 1000)
echo "second launch exit code: $rc"
[ "$rc" = 0 ] || fail "expected 0"
log_of | grep -q 'Response Code: 304' || fail "second launch: no revalidation"
log_of | grep -q 'No update needed.' || fail "second launch: the cache was not used"
log_of | grep -q "Launcher finished with: 301" || fail "second launch did not succeed"
echo "native launches passed"
