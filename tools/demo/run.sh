#!/usr/bin/env bash
# Runs one demo launch in DEMO_DIR under the caller's Wine session and shows
# the launcher's log afterwards. Exit code: the launcher's.
set -uo pipefail
demo=$1
shift
rc=0
wine "$demo/TavrinLauncher.exe" "$@" || rc=$?
log=$(find "$WINEPREFIX/drive_c/users" -path '*Tavrin/demo-product/demo-deployment/anticheatlauncher.log' 2>/dev/null | head -n 1)
if [ -n "$log" ]; then
  echo "--- $log"
  tr -d '\r' <"$log"
fi
exit $rc
