#!/usr/bin/env bash
# The launcher against a plain static server: nginx serves the tree that
# `modpack.py publish` lays out, on the development CDN port, with the test CA.
# The first launch downloads the module (200 with nginx's own ETag); the
# second sends that ETag back and nginx answers 304 on its own. The launcher
# runs under Wine in immediate-exit mode.
#   nginx_cdn_test.sh BUILD_DIR CDN_PORT
set -uo pipefail

build=${1:?build dir}
port=${2:?CDN port}
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tools" && pwd)
run=$(mktemp -d /tmp/tavrin-nginx-cdn.XXXXXX)
product=nginx-product
deployment=nginx-deployment
# Under Wine the launcher asks for the native Linux build.
system=linux64
module_file=tavrin_linux_x64.kzv

cleanup() {
  "$tools/nginx/nginx_cdn.sh" stop "$run/nginx" >/dev/null 2>&1 || true
  rm -rf "$run"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [ -f "$run/nginx/access.log" ] && { echo "--- nginx access log"; cat "$run/nginx/access.log"; }
  [ -n "${log:-}" ] && [ -f "$log" ] && { echo "--- launcher log"; tr -d '\r' <"$log"; }
  exit 1
}

# Each run launches the game: the module loads, creates the game on 508 and
# confirms on 1002, and the launcher exits 0 once the game's window shows.
check_launch_result() { # run-name exit-code
  [ "$2" -eq 0 ] || fail "$1: launcher exit code $2, not 0"
  echo "$1: launcher exit code 0"
}

module=$build/nativemodules/tavrin_native_demo.so
for f in bin/TavrinLauncher.exe bin/DemoGame.exe nativemodules/tavrin_native_demo.so; do
  [ -f "$build/$f" ] || fail "$f is not built"
done

"$tools/testca/make_test_ca.sh" "$run/ca" || fail "no test CA"
python3 "$tools/modpack/modpack.py" publish "$module" --root "$run/cdn" \
  --product "$product" --deployment "$deployment" --system "$system" >/dev/null || fail "publish"
published=$run/cdn/modules/$product/$deployment/$system
"$tools/nginx/nginx_cdn.sh" start "$run/nginx" "$port" "$run/cdn" \
  "$run/ca/server-cert.pem" "$run/ca/server-key.pem" || fail "nginx did not start"

game=$run/game
mkdir -p "$game/Tavrin"
cp "$build/bin/TavrinLauncher.exe" "$build/bin/DemoGame.exe" "$game/"
cat >"$game/Tavrin/Settings.json" <<JSON
{
    "title": "Tavrin Static CDN Test",
    "executable": "DemoGame.exe",
    "productid": "$product",
    "sandboxid": "nginx-sandbox",
    "deploymentid": "$deployment",
    "environment": "gamedev"
}
JSON

# A cache left by an earlier run would turn the first request into a 304.
users="$WINEPREFIX/drive_c/users"
find "$users" -maxdepth 5 -type d -path "*/Tavrin/$product" -exec rm -rf {} + 2>/dev/null

launch() { # name
  local rc=0
  (cd "$game" && CURL_CA_BUNDLE="$run/ca/ca.pem" QRV_ANTICHEAT_BOOTSTRAPPER_IMMEDIATE_EXIT_ON_ERROR=1 \
    timeout 120 wine TavrinLauncher.exe --exit-after-ms 3000 </dev/null >"$run/wine-$1.log" 2>&1) || rc=$?
  check_launch_result "$1" "$rc"
}

# nginx's own answer for the published file, asked on the host.
etag=$(curl -s -D - -o /dev/null --cacert "$run/ca/ca.pem" \
  "https://localhost:$port/modules/$product/$deployment/$system" | sed -n 's/^[Ee][Tt][Aa][Gg]: //p' | tr -d '\r')
[ -n "$etag" ] || fail "nginx sent no ETag"
: >"$run/nginx/access.log"

launch first
log=$(find "$users" -path "*Tavrin/$product/$deployment/anticheatlauncher.log" 2>/dev/null | head -n 1)
[ -n "$log" ] || fail "the first launch wrote no log"
cache=$(dirname "$log")
grep -q "^GET /modules/$product/$deployment/$system 200 etag=$etag if_none_match=$" \
  "$run/nginx/access.log" || fail "the first request was not an unconditional 200 with nginx's ETag"
grep -q "Response Code: 200" "$log" || fail "the launcher did not log the 200"

# The launch succeeded, so the launcher kept the module and nginx's ETag.
[ -f "$cache/$module_file" ] && [ -f "$cache/$module_file.metadata" ] || fail "the launcher cached nothing"
tr -d '\r' <"$cache/$module_file.metadata" | grep -qx "etag=$etag" || fail "the cache holds another ETag"
cmp -s "$published" "$cache/$module_file" || fail "the cached module differs from the served one"

: >"$run/nginx/access.log"
launch second
log=$(find "$users" -path "*Tavrin/$product/$deployment/anticheatlauncher.log" 2>/dev/null | head -n 1)
grep -q "^GET /modules/$product/$deployment/$system 304 etag=$etag if_none_match=$etag$" \
  "$run/nginx/access.log" || fail "the second request was not revalidated with 304"
grep -q "Response Code: 304" "$log" || fail "the launcher did not log the 304"
grep -q "No update needed." "$log" || fail "the launcher did not take the cached module"
echo "PASS: 200 with ETag $etag, then 304"
