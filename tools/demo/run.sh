#!/usr/bin/env bash
# One demo launch in DEMO_DIR (laid out by prepare.sh) under the caller's
# Wine session and display: the loopback dev CDN serves a module for the demo
# product, the launcher shows its splash, downloads and caches the module,
# and the script pictures the window as it goes. Afterwards it prints the
# launcher's log. Exit code: the launcher's.
#   run.sh DEMO_DIR CDN_PORT COLLECTOR_PORT
set -uo pipefail

demo=$1
cdn_port=${2:-18443}
collector_port=${3:-18444}
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
servers=$demo/servers
shots=$demo/screens
say() { echo "demo: $*" >&2; }

"$tools/devcdn/test_servers.sh" start "$servers" "$cdn_port" "$collector_port" || exit 1
trap '"$tools/devcdn/test_servers.sh" stop "$servers" >/dev/null 2>&1 || true' EXIT

# The module the CDN serves: under Wine the launcher asks for the native
# Linux build ("linux64"); the demo game stands in for its bytes.
module_dir=$servers/cdn/demo-product/demo-deployment
mkdir -p "$module_dir" "$shots"
python3 "$tools/modpack/modpack.py" "$demo/DemoGame.exe" "$module_dir/linux64"

# Trust the test CA for this run only, as a studio's test machine would.
export CURL_CA_BUNDLE=$servers/ca/ca.pem

(cd "$demo" && exec wine TavrinLauncher.exe "$@" </dev/null >"$demo/wine.log" 2>&1) &
launcher=$!

wid=
for _ in $(seq 1 100); do
  wid=$(xdotool search --onlyvisible --name '^Tavrin Demo Game$' 2>/dev/null | head -n 1 || true)
  [ -n "$wid" ] && break
  kill -0 "$launcher" 2>/dev/null || break
  sleep 0.1
done
if [ -n "$wid" ]; then
  for t in 1 3; do
    sleep "$t"
    import -window "$wid" "$shots/splash-$t.png" 2>/dev/null && say "window pictured: $shots/splash-$t.png"
  done
else
  say "the splash window did not appear"
fi

# Module verification and loading are not part of the launcher yet, so the
# launch stays on its "INITIALIZING" screen: close it as a player would
# (Alt+F4), and give up after a few seconds.
if kill -0 "$launcher" 2>/dev/null && [ -n "$wid" ]; then
  xdotool key --window "$wid" alt+F4 2>/dev/null || true
fi
for _ in $(seq 1 50); do
  kill -0 "$launcher" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$launcher" 2>/dev/null; then
  say "the launcher is still on its last screen; stopping it"
  kill "$launcher" 2>/dev/null
fi
rc=0
wait "$launcher" || rc=$?

log=$(find "$WINEPREFIX/drive_c/users" -path '*Tavrin/demo-product/demo-deployment/anticheatlauncher.log' 2>/dev/null | head -n 1)
if [ -n "$log" ]; then
  echo "--- launcher log: $log"
  tr -d '\r' <"$log"
fi
cache=$(dirname "${log:-/nonexistent}")
ls -l "$cache" 2>/dev/null | grep -E 'tavrin_|metadata' || true
exit $rc
