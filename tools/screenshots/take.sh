#!/usr/bin/env bash
# Pictures of every screen of the splash window.
#   take.sh BUILD_WINDOWS_DIR OUT_DIR [LANGUAGE]
# (a) every screen drawn offscreen by the real window code (TavrinScreens.exe),
#     the error screen also in three of the shipped languages;
# (b) the real launcher window under Wine for the screens a run reaches here
#     without a network: the invalid and the missing settings file;
# (c) the layout templates of the integrator's guide (TavrinLayoutTemplate.exe).
# With LANGUAGE (a language file's name without ".cfg", e.g. "de"), only (a),
# every screen in that language, into OUT_DIR/LANGUAGE/.
# Needs DISPLAY and a wineserver for WINEPREFIX: ./dev screenshots starts both.
set -euo pipefail

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
say "layout templates"
wine "$build/bin/TavrinLayoutTemplate.exe" "$(winepath -w "$out")" </dev/null

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

failed=0
live live_error_invalid_settings '{ "executable": "Game.exe", "title": "" }' || failed=1
live live_error_missing_settings - || failed=1
exit $failed
