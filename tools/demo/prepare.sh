#!/usr/bin/env bash
# Lays out a game folder as a studio ships it: the launcher beside the game,
# Tavrin/Settings.json and Tavrin/Localization/.
# Usage: prepare.sh BUILD_DIR DEMO_DIR
set -euo pipefail
build=$1
demo=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
rm -rf "$demo"
mkdir -p "$demo/Tavrin/Localization"
cp "$build/bin/TavrinLauncher.exe" "$demo/"
[ -f "$build/bin/DemoGame.exe" ] && cp "$build/bin/DemoGame.exe" "$demo/DemoGame.exe"
cp "$build"/bin/Tavrin/Localization/*.cfg "$demo/Tavrin/Localization/" 2>/dev/null || true
cp "$here/Settings.json" "$demo/Tavrin/Settings.json"
