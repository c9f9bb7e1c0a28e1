#!/usr/bin/env bash
# Pictures of every screen of the splash window.
#   take.sh BUILD_WINDOWS_DIR OUT_DIR [LANGUAGE]
# (a) every screen drawn offscreen by the real window code (TavrinScreens.exe),
#     the error screen also in three of the shipped languages; and every
#     screen again for a monitor at 200 % (NAME_200.png);
# (b) the real launcher window under Wine for the screens a run reaches here
#     without a network: the invalid and the missing settings file;
# (c) the layout templates of the integrator's guide (TavrinLayoutTemplate.exe);
# (d) the real launcher window on this session's screen (100 %) and on one at
#     200 % (a Wine prefix whose DPI is 192): splash_100.png, splash_200.png,
#     and the two side by side in splash_side_by_side.png.
# With LANGUAGE (a language file's name without ".cfg", e.g. "de"), only (a)
# at 100 %, every screen in that language, into OUT_DIR/LANGUAGE/.
# Needs DISPLAY and a wineserver for WINEPREFIX: ./dev screenshots starts both.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "$1" && pwd)
language=${3:-}
say() { echo "screenshots: $*" >&2; }
localization=$build/bin/Tavrin/Localization

if [ -n "$language" ]; then
  if [ ! -f "$localization/$language.cfg" ]; then
    say "no language file $language.cfg; there are: $(cd "$localization" && ls -- *.cfg | sed 's/\.cfg$//' | tr '\n' ' ')"
    exit 2
  fi
  mkdir -p "$2/$language"
  out=$(cd "$2/$language" && pwd)
  say "offscreen screens in $language.cfg"
  exec wine "$build/bin/TavrinScreens.exe" "$(winepath -w "$out")" "$(winepath -w "$localization")" \
    "$language.cfg" </dev/null
fi

mkdir -p "$2"
out=$(cd "$2" && pwd)
say "offscreen screens"
wine "$build/bin/TavrinScreens.exe" "$(winepath -w "$out")" "$(winepath -w "$localization")" </dev/null
say "offscreen screens at 200 %"
wine "$build/bin/TavrinScreens.exe" --dpi=192 "$(winepath -w "$out")" "$(winepath -w "$localization")" </dev/null
say "layout templates"
wine "$build/bin/TavrinLayoutTemplate.exe" "$(winepath -w "$out")" </dev/null

# side_by_side OUT LEFT RIGHT: the two pictures top-aligned, a grey gap between.
side_by_side() {
  convert "$2" \( -size 16x16 xc:"#808080" \) "$3" -background "#808080" -gravity north +append +repage "$1"
  say "wrote $1"
}
side_by_side "$out/downloading_side_by_side.png" "$out/03_downloading_40.png" "$out/03_downloading_40_200.png"

work=$(mktemp -d)
launcher_pid=
cleanup() {
  if [ -n "$launcher_pid" ]; then
    kill "$launcher_pid" 2>/dev/null || true
    wait "$launcher_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# live NAME SETTINGS_TEXT|-   ("-": no settings file at all)
live() {
  local name=$1 settings=$2 game=$work/$1 wid= i
  mkdir -p "$game/Tavrin/Localization"
  cp "$build/bin/TavrinLauncher.exe" "$game/"
  cp "$build"/bin/Tavrin/Localization/*.cfg "$game/Tavrin/Localization/" 2>/dev/null || true
  [ "$settings" = "-" ] || printf '%s' "$settings" >"$game/Tavrin/Settings.json"

  (cd "$game" && exec wine TavrinLauncher.exe </dev/null >"$game/wine.log" 2>&1) &
  launcher_pid=$!
  for i in $(seq 1 150); do
    wid=$(xdotool search --onlyvisible --name '^Tavrin Bootstrapper$' 2>/dev/null | head -n 1 || true)
    [ -n "$wid" ] && break
    kill -0 "$launcher_pid" 2>/dev/null || break
    sleep 0.2
  done
  if [ -z "$wid" ]; then
    say "$name: the launcher window did not appear"
    return 1
  fi
  sleep 3 # fades take 51 frames of 16 ms; the text cross-fades twice that
  import -window "$wid" "$out/$name.png"
  say "wrote $out/$name.png"
  kill "$launcher_pid" 2>/dev/null || true
  wait "$launcher_pid" 2>/dev/null || true
  launcher_pid=
}

# at_dpi DPI COMMAND...: COMMAND in a Wine prefix whose screen is at DPI, on
# a display of its own large enough for the window at 200 %, with a Wine
# server of its own (its first process gets no output to inherit).
at_dpi() (
  local dpi=$1 fifo display xvfb
  shift
  WINEPREFIX=$("$root/tools/wine-dpi-prefix" "$dpi")
  export WINEPREFIX
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb=$!
  if ! read -r -t 30 display <>"$fifo"; then
    rm -f "$fifo"
    say "Xvfb did not start"
    return 1
  fi
  rm -f "$fifo"
  export DISPLAY=":$display"
  own_server=
  if wineserver -p 2>/dev/null; then
    own_server=1
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
  fi
  trap '[ -z "$own_server" ] || { wineserver -k; wineserver -w; } 2>/dev/null; kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null' EXIT
  "$@"
)

failed=0
invalid='{ "executable": "Game.exe", "title": "" }'
live live_error_invalid_settings "$invalid" || failed=1
live live_error_missing_settings - || failed=1
live splash_100 "$invalid" || failed=1
at_dpi 192 live splash_200 "$invalid" || failed=1
if [ -f "$out/splash_100.png" ] && [ -f "$out/splash_200.png" ]; then
  side_by_side "$out/splash_side_by_side.png" "$out/splash_100.png" "$out/splash_200.png"
fi
exit $failed
