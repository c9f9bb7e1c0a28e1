#!/usr/bin/env bash
# Builds the shipping launcher from a clean folder and packs it:
#   release.sh SOURCE_DIR BUILD_ROOT DEPS_PREFIX [--twice]
# Output: SOURCE_DIR/dist/TavrinLauncher-<version>-win64.zip.
# The four service hosts come from the environment variables of the same
# names; configuration names any that is missing or points at this machine.
# Signing: TAVRIN_SIGN_CERT (certificate chain, PEM or DER) and TAVRIN_SIGN_KEY
# (private key, PEM or DER); optional TAVRIN_SIGN_KEY_PASSWORD_FILE,
# TAVRIN_SIGN_TIMESTAMP_URL, TAVRIN_SIGN_CA (to verify the signature; default
# the certificate itself).
# --twice: a second build in another folder without the compiler cache must
# give the same executable, byte for byte.
set -euo pipefail
src=$1
build_root=$2
deps=$3
twice=${4:-}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
say() { echo "release: $*" >&2; }

hosts=(TAVRIN_CDN_HOST_PRODUCTION TAVRIN_CDN_HOST_DEVELOPMENT TAVRIN_TELEMETRY_SDK_HOST TAVRIN_TELEMETRY_PRODUCT_HOST)
version=$(sed -n 's/^project(TavrinLauncher VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || { say "no project version in CMakeLists.txt"; exit 1; }

# Compiler dates come from the commit, so one commit gives one executable.
SOURCE_DATE_EPOCH=$(git -C "$src" log -1 --format=%ct 2>/dev/null || echo 0)
export SOURCE_DATE_EPOCH
if [ -n "$(git -C "$src" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  say "warning: the tree has uncommitted changes; this build is of no commit"
fi

# build DIR [ccache|nocache]: configure from scratch and build the launcher.
build() {
  local dir=$1 cache=$2 args=()
  rm -rf "$dir"
  for h in "${hosts[@]}"; do
    [ -n "${!h:-}" ] && args+=("-D$h=${!h}")
  done
  if [ "$cache" = ccache ] && command -v ccache >/dev/null; then
    args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  say "configuring $dir"
  mkdir -p "$(dirname "$dir")"
  if ! (cd "$src" && cmake --preset release -B "$dir" -DTAVRIN_DEPS_PREFIX="$deps" "${args[@]}") >"$dir.configure.log" 2>&1; then
    sed -n '/CMake Error/,/^$/p' "$dir.configure.log" >&2
    say "configuration failed (full log: $dir.configure.log)"
    return 1
  fi
  say "building $dir"
  cmake --build "$dir" --target TavrinLauncher -- -j"$(nproc)" >"$dir.build.log" 2>&1 ||
    { tail -30 "$dir.build.log" >&2; return 1; }
}

dir=$build_root/release
build "$dir" ccache
exe=$dir/bin/TavrinLauncher.exe

host_args=()
for h in "${hosts[@]}"; do host_args+=(--host "${!h}"); done
python3 "$here/check_exe.py" "$exe" --version "$version" --release "${host_args[@]}"
"$src/tools/check_imports.sh" "$exe" >/dev/null
say "executable: $exe ($(stat -c %s "$exe") bytes, sha256 $(sha256sum "$exe" | cut -c1-16)...)"

if [ "$twice" = --twice ]; then
  second=$build_root/release-twice
  CCACHE_DISABLE=1 build "$second" nocache
  if cmp -s "$exe" "$second/bin/TavrinLauncher.exe"; then
    say "reproducible: a second clean build without the compiler cache gives the same executable"
  else
    say "NOT reproducible: $(cmp -l "$exe" "$second/bin/TavrinLauncher.exe" | wc -l) bytes differ" \
        "($exe, $second/bin/TavrinLauncher.exe)"
    exit 1
  fi
fi

stage=$dir/stage
rm -rf "$stage"
mkdir -p "$stage/Tavrin/Localization"
cp "$exe" "$stage/TavrinLauncher.exe"
if [ -n "${TAVRIN_SIGN_CERT:-}" ] || [ -n "${TAVRIN_SIGN_KEY:-}" ]; then
  [ -f "${TAVRIN_SIGN_CERT:-}" ] && [ -f "${TAVRIN_SIGN_KEY:-}" ] ||
    { say "TAVRIN_SIGN_CERT and TAVRIN_SIGN_KEY must both name files"; exit 1; }
  sign=(-certs "$TAVRIN_SIGN_CERT" -key "$TAVRIN_SIGN_KEY" -h sha256 -n "Tavrin Launcher")
  [ -n "${TAVRIN_SIGN_KEY_PASSWORD_FILE:-}" ] && sign+=(-readpass "$TAVRIN_SIGN_KEY_PASSWORD_FILE")
  [ -n "${TAVRIN_SIGN_TIMESTAMP_URL:-}" ] && sign+=(-ts "$TAVRIN_SIGN_TIMESTAMP_URL")
  rm -f "$stage/TavrinLauncher.exe"
  osslsigncode sign "${sign[@]}" -in "$exe" -out "$stage/TavrinLauncher.exe" >/dev/null
  osslsigncode verify -CAfile "${TAVRIN_SIGN_CA:-$TAVRIN_SIGN_CERT}" -in "$stage/TavrinLauncher.exe" >"$dir.verify.log" 2>&1 ||
    { cat "$dir.verify.log" >&2; say "the signed executable does not verify"; exit 1; }
  say "signed with $(openssl x509 -noout -subject -in "$TAVRIN_SIGN_CERT" 2>/dev/null ||
      openssl x509 -inform DER -noout -subject -in "$TAVRIN_SIGN_CERT")"
fi
cp "$here/Settings.json" "$here/Settings.txt" "$stage/Tavrin/"
cp "$dir"/bin/Tavrin/Localization/*.cfg "$stage/Tavrin/Localization/"
cp "$src/resources/fonts/LICENSE-Apache-2.0.txt" "$stage/OpenSans-LICENSE.txt"
"$here/notices.sh" "$deps" "$stage/THIRD-PARTY-NOTICES.txt" >/dev/null

mkdir -p "$src/dist"
zip=$src/dist/TavrinLauncher-$version-win64.zip
python3 "$here/zip.py" "$stage" "$zip"
say "package: $zip"
(cd "$stage" && find . -type f | sort | sed 's|^\./|  |') >&2
