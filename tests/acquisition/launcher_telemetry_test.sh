#!/usr/bin/env bash
# A whole launcher run under Wine against the loopback servers: the dev CDN
# has no module for the product (404), so the launch ends with 204 at once
# (immediate-exit mode), and the telemetry collector must have received the
# run's event document, checked byte for byte by check_telemetry.py.
# The test build holds its exit until the upload has begun (a begun upload
# finishes before the process ends), so the outcome never depends on how
# the launcher's threads were scheduled; the product drops an upload that
# has not begun by then.
#   launcher_telemetry_test.sh BUILD_DIR SERVERS_DIR
set -uo pipefail

build=${1:?build dir}
servers=${2:?servers dir}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
run=$(mktemp -d /tmp/tavrin-telemetry-run.XXXXXX)
trap 'rm -rf "$run"' EXIT

if [ ! -f "$build/bin/TavrinLauncherPe.exe" ] || [ ! -f "$build/bin/DemoGame.exe" ]; then
  echo "launcher or demo game not built" >&2
  exit 1
fi
mkdir -p "$run/Tavrin"
cp "$build/bin/TavrinLauncherPe.exe" "$run/TavrinLauncher.exe"
cp "$build/bin/DemoGame.exe" "$run/"
cat >"$run/Tavrin/Settings.json" <<'JSON'
{
    "title": "Tavrin Telemetry Test",
    "executable": "DemoGame.exe",
    "productid": "telemetry-product",
    "sandboxid": "telemetry-sandbox",
    "deploymentid": "telemetry-deployment",
    "environment": "gamedev"
}
JSON

posts=$servers/collector/posts.jsonl
before=0
[ -f "$posts" ] && before=$(wc -l <"$posts")

export CURL_CA_BUNDLE=$servers/ca/ca.pem
export QRV_ANTICHEAT_BOOTSTRAPPER_IMMEDIATE_EXIT_ON_ERROR=1
export TAVRIN_TEST_HOLD_EXIT_FOR_UPLOADS=1
rc=0
(cd "$run" && timeout 120 wine TavrinLauncher.exe </dev/null >"$run/wine.log" 2>&1) || rc=$?
echo "launcher exit code: $rc"

# The collector may still be writing down what it received.
for _ in $(seq 50); do
  [ -f "$posts" ] && [ "$(wc -l <"$posts")" -gt "$before" ] && break
  sleep 0.1
done
# wine_get_version gives the bare number of "wine-8.0 (...)".
wine_version=$(wine --version | sed -E 's/^wine-([^ ]*).*/\1/')
python3 "$here/check_telemetry.py" "$posts" "$before" "$rc" "$wine_version"
