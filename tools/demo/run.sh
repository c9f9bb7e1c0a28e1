#!/usr/bin/env bash
# Demo launches in DEMO_DIR (laid out by prepare.sh) under the caller's Wine
# session and display, as a player would start the game twice: the loopback
# dev CDN serves the native demo module for the demo product ("linux64"),
# the launcher shows its splash, downloads and caches the module, loads it,
# creates the game when the module asks (508), shows "WAITING FOR GAME" on
# its confirmation (1002) and leaves; the game stays. The second launch
# revalidates the cached module (304) and uses the cache. Each run prints
# its result, exit code and the timings of its steps from the log; distinct
# pictures of the splash go to DEMO_DIR/screens/.
#   run.sh DEMO_DIR CDN_PORT COLLECTOR_PORT [LAUNCHER ARGUMENTS...]
# Exit code: 0 when both launches ended as expected, else the first failing
# launcher exit code (or 1).
set -uo pipefail

demo=$1
cdn_port=${2:-18443}
collector_port=${3:-18444}
shift 3 2>/dev/null || shift $#
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
servers=$demo/servers
shots=$demo/screens
product=$(sed -n 's/.*"productid": *"\([^"]*\)".*/\1/p' "$demo/Tavrin/Settings.json")
deployment=$(sed -n 's/.*"deploymentid": *"\([^"]*\)".*/\1/p' "$demo/Tavrin/Settings.json")
title=$(sed -n 's/.*"title": *"\([^"]*\)".*/\1/p' "$demo/Tavrin/Settings.json")
say() { echo "demo: $*" >&2; }

"$tools/devcdn/test_servers.sh" start "$servers" "$cdn_port" "$collector_port" >/dev/null || exit 1
trap '"$tools/devcdn/test_servers.sh" stop "$servers" >/dev/null 2>&1 || true' EXIT

# Under Wine the launcher asks for the native Linux build of the module.
module_dir=$servers/cdn/$product/$deployment
mkdir -p "$module_dir" "$shots"
rm -f "$shots"/*.png
python3 "$tools/modpack/modpack.py" "$demo/module/tavrin_native_demo.so" "$module_dir/linux64"

# Trust the test CA for this run only, as a studio's test machine would.
export CURL_CA_BUNDLE=$servers/ca/ca.pem
# The demo module notes what it was asked to do here.
export TAVRIN_TEST_MARKER=$demo/module-events.txt
rm -f "$TAVRIN_TEST_MARKER"

users=$WINEPREFIX/drive_c/users
cache_dir() { find "$users" -type d -path "*/Tavrin/$product/$deployment" 2>/dev/null | head -n 1; }
# A first launch on this machine: no cache, no log.
old=$(cache_dir)
[ -n "$old" ] && rm -rf "$old"

game_windows() { xdotool search --onlyvisible --name '^Demo Game$' 2>/dev/null | wc -l; }

now_ms() { date +%s%3N; }

# Pictures the splash while the launcher runs, keeping each distinct screen.
picture_while_running() { # run launcher_pid
  local run=$1 pid=$2 i=0 wid last= sum
  while kill -0 "$pid" 2>/dev/null && [ $i -lt 300 ]; do
    wid=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$wid" ] && import -window "$wid" "$shots/.shot.png" 2>/dev/null; then
      sum=$(md5sum <"$shots/.shot.png" | cut -d' ' -f1)
      if [ "$sum" != "$last" ]; then
        i=$((i + 1))
        mv "$shots/.shot.png" "$shots/run$run-$(printf %02d $i).png"
        last=$sum
      fi
    fi
    sleep 0.05
  done
  rm -f "$shots/.shot.png"
}

# The log lines that mark the steps of a launch (each launch starts a new
# log; the previous one becomes a dated backup).
print_steps() { # log
  tr -d '\r' <"$1" | grep -E \
    'Log file open|System name|Connecting to URL|Response Code|No update needed|Downloaded|Wine module mapping|KZV Callback|Launcher finished|Successfully initialized|Waiting for game|Terminating' |
    sed -E 's/ \[Windows\] \[KZV Bootstrapper\] \[[A-Za-z!]+\]//; s/^/      /'
}

launch() { # run [launcher arguments...]
  local run=$1 log start end rc=0 before
  shift
  before=$(game_windows)
  start=$(now_ms)
  (cd "$demo" && exec wine TavrinLauncher.exe "$@" </dev/null >>"$demo/wine.log" 2>&1) &
  local pid=$!
  picture_while_running "$run" "$pid"
  wait "$pid" || rc=$?
  end=$(now_ms)
  log=$(cache_dir)/anticheatlauncher.log
  echo "--- launch $run: exit code $rc after $((end - start)) ms"
  sleep 0.5
  if [ "$(game_windows)" -gt "$before" ]; then
    echo "    the demo game's window is open; the launcher has left"
  else
    echo "    no new demo game window"
  fi
  if [ -f "$log" ]; then
    echo "    steps (log time, from $log):"
    print_steps "$log"
  fi
  local screens
  screens=$(find "$shots" -name "run$run-*.png" | wc -l)
  echo "    $screens distinct splash pictures: $shots/run$run-*.png"
  return $rc
}

status=0
launch 1 "$@" || status=$?
launch 2 "$@" || { [ $status -eq 0 ] && status=$?; }

echo "--- the CDN's requests (an ETag on the second: it answered 304)"
python3 - "$servers/cdn/requests.log" <<'PY'
import json, sys
for n, line in enumerate(open(sys.argv[1]), 1):
    entry = json.loads(line)
    etag = [v for k, v in entry["headers"] if k.lower() == "if-none-match"]
    print(f"    {n}: {entry['method']} {entry['path']}" + (f"  If-None-Match: {etag[0]}" if etag else ""))
PY
echo "--- the module cache"
ls -l "$(cache_dir)" | sed 's/^/    /'
echo "--- what the module was asked to do"
sed 's/^/    /' "$TAVRIN_TEST_MARKER" 2>/dev/null
exit $status
