#!/usr/bin/env bash
# Lays out what the release zip holds, from a build's programs:
#   stage.sh BIN_DIR DEPS_PREFIX STAGE_DIR
# BIN_DIR holds TavrinLauncher.exe, TavrinCheck.exe and Tavrin/Localization;
# the notices are those of DEPS_PREFIX, the prefix the programs were linked
# with. STAGE_DIR is emptied first.
set -euo pipefail
bin=$1
deps=$2
stage=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
src=$(cd "$here/../.." && pwd)

rm -rf "$stage"
mkdir -p "$stage/Tavrin/Localization"
cp "$bin/TavrinLauncher.exe" "$bin/TavrinCheck.exe" "$stage/"
cp "$here/Settings.json" "$here/Settings.txt" "$stage/Tavrin/"
cp "$bin"/Tavrin/Localization/*.cfg "$stage/Tavrin/Localization/"
cp "$src/resources/fonts/LICENSE-Apache-2.0.txt" "$stage/OpenSans-LICENSE.txt"
"$here/notices.sh" "$deps" "$stage/THIRD-PARTY-NOTICES.txt" "$src/resources/fonts" >/dev/null
