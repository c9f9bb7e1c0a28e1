#!/usr/bin/env bash
# Runs a Windows program under Wine with the screen at DPI, in a prefix of
# that scale beside WINEPREFIX (tools/wine-dpi-prefix), on the caller's DISPLAY.
#   run_at_dpi.sh DPI PROGRAM [ARGS...]
set -euo pipefail
source_dir=${TAVRIN_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
dpi=$1
shift
WINEPREFIX=$("$source_dir/tools/wine-dpi-prefix" "$dpi")
export WINEPREFIX WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}

# A server of our own for the prefix, unless someone's session already runs
# one: its first process gets no output to inherit (pipes would stay open),
# and it ends with this run.
own_server=
if wineserver -p 2>/dev/null; then
  own_server=1
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
fi
stop_server() {
  if [ -n "$own_server" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
}
trap stop_server EXIT
rc=0
"$source_dir/tools/wine-exec" "$@" || rc=$?
exit $rc
