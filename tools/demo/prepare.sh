#!/usr/bin/env bash
# Lays out a game folder as a studio ships it: the launcher beside the game,
# Tavrin/Settings.json and Tavrin/Localization/, and (for the CDN only, not
# for the player) the native demo module in module/.
# Usage: prepare.sh BUILD_DIR DEMO_DIR [SETTINGS_JSON]
set -euo pipefail
build=$1
demo=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
settings=${3:-$here/Settings.json}
rm -rf "$demo"
mkdir -p "$demo/Tavrin/Localization" "$demo/module"
cp "$build/bin/TavrinLauncher.exe" "$build/bin/DemoGame.exe" "$demo/"
cp "$build"/bin/Tavrin/Localization/*.cfg "$demo/Tavrin/Localization/" 2>/dev/null || true
cp "$settings" "$demo/Tavrin/Settings.json"
cp "$build/nativemodules/tavrin_native_demo.so" "$demo/module/"
