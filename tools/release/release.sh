#!/usr/bin/env bash
# Builds the shipping launcher from a clean folder and packs it:
#   release.sh SOURCE_DIR BUILD_ROOT DEPS_PREFIX [--twice]
# Output: SOURCE_DIR/dist/TavrinLauncher-<version>-win64.zip, holding the
# launcher and the checker (TavrinCheck.exe), both with the release's hosts.
# The four service hosts come from the environment variables of the same
# names; configuration names any that is missing or points at this machine.
# Signing: TAVRIN_SIGN_CERT (certificate chain, PEM or DER) and TAVRIN_SIGN_KEY
# (private key, PEM or DER); optional TAVRIN_SIGN_KEY_PASSWORD_FILE,
# TAVRIN_SIGN_TIMESTAMP_URL, TAVRIN_SIGN_CA (to verify the signature; default
# the certificate itself).
# --twice: a second build in another folder, without the compiler cache and
# against a second dependency prefix built in yet another folder
# (BUILD_ROOT/deps-twice, kept for the next --twice while its recipe holds),
# must give the same zip, byte for byte.
set -euo pipefail
src=$1
build_root=$2
deps=$3
twice=${4:-}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
say() { echo "release: $*" >&2; }

hosts=(TAVRIN_CDN_HOST_PRODUCTION TAVRIN_CDN_HOST_DEVELOPMENT TAVRIN_TELEMETRY_SDK_HOST TAVRIN_TELEMETRY_PRODUCT_HOST)
# The checker asks the CDN only.
checker_hosts=(TAVRIN_CDN_HOST_PRODUCTION TAVRIN_CDN_HOST_DEVELOPMENT)
version=$(sed -n 's/^project(TavrinLauncher VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || { say "no project version in CMakeLists.txt"; exit 1; }

# Compiler dates come from the commit, so one commit gives one executable.
SOURCE_DATE_EPOCH=$(git -C "$src" log -1 --format=%ct 2>/dev/null || echo 0)
export SOURCE_DATE_EPOCH
if [ -n "$(git -C "$src" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  say "warning: the tree has uncommitted changes; this build is of no commit"
fi

# build DIR DEPS_PREFIX ccache|nocache: configure from scratch and build the
# launcher and the checker.
build() {
  local dir=$1 deps=$2 cache=$3 args=()
  rm -rf "$dir"
  for h in "${hosts[@]}"; do
    [ -n "${!h:-}" ] && args+=("-D$h=${!h}")
  done
  if [ "$cache" = ccache ] && command -v ccache >/dev/null; then
    args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  say "configuring $dir (dependencies: $deps)"
  mkdir -p "$(dirname "$dir")"
  if ! (cd "$src" && cmake --preset release -B "$dir" -DTAVRIN_DEPS_PREFIX="$deps" "${args[@]}") >"$dir.configure.log" 2>&1; then
    sed -n '/CMake Error/,/^$/p' "$dir.configure.log" >&2
    say "configuration failed (full log: $dir.configure.log)"
    return 1
  fi
  say "building $dir"
  cmake --build "$dir" --target TavrinLauncher TavrinCheck -- -j"$(nproc)" >"$dir.build.log" 2>&1 ||
    { tail -30 "$dir.build.log" >&2; return 1; }
}

# machine_paths EXE DEPS_PREFIX: the executable's strings that name a folder
# of the machine that built it. A file right in /tmp is the launcher's own
# (the Wine helper's pid file); a folder below /tmp is a build's.
machine_paths() {
  strings -a "$1" | grep -E -e '/tmp/[^/[:space:]]+/' -e '/var/cache/' |
    cat - <(strings -a "$1" | grep -F -e "$src/" -e "$build_root/" -e "$2/") | sort -u || true
}

# check DIR DEPS_PREFIX: both programs in their shipping form.
check() {
  local dir=$1 deps=$2 host_args=() checker_args=() program found
  for h in "${hosts[@]}"; do host_args+=(--host "${!h}"); done
  for h in "${checker_hosts[@]}"; do checker_args+=(--host "${!h}"); done
  python3 "$here/check_exe.py" "$dir/bin/TavrinLauncher.exe" --version "$version" --release "${host_args[@]}"
  python3 "$here/check_exe.py" "$dir/bin/TavrinCheck.exe" --console --release "${checker_args[@]}"
  "$src/tools/check_imports.sh" "$dir/bin/TavrinLauncher.exe" >/dev/null
  "$src/tools/check_imports.sh" "$dir/bin/TavrinCheck.exe" console >/dev/null
  for program in "$dir/bin/TavrinLauncher.exe" "$dir/bin/TavrinCheck.exe"; do
    found=$(machine_paths "$program" "$deps")
    if [ -n "$found" ]; then
      say "$program names folders of this machine:"
      sed 's/^/  /' <<<"$found" >&2
      return 1
    fi
  done
}

summary() { echo "$1 ($(stat -c %s "$1") bytes, sha256 $(sha256sum "$1" | cut -d' ' -f1))"; }

dir=$build_root/release
build "$dir" "$deps" ccache
check "$dir" "$deps"
say "launcher: $(summary "$dir/bin/TavrinLauncher.exe")"
say "checker: $(summary "$dir/bin/TavrinCheck.exe")"
"$here/stage.sh" "$dir/bin" "$deps" "$dir/stage"

# The comparison is made before signing: a signature carries its time.
if [ "$twice" = --twice ]; then
  say "second dependency prefix (built once, ~15 min on 2 cores)"
  second_deps=$("$src/tools/setup.sh" --prefix "$build_root/deps-twice" | tail -n 1)
  [ "$second_deps" != "$deps" ] || { say "the second dependency prefix is the first one"; exit 1; }
  second=$build_root/release-twice
  CCACHE_DISABLE=1 build "$second" "$second_deps" nocache
  check "$second" "$second_deps"
  "$here/stage.sh" "$second/bin" "$second_deps" "$second/stage"
  python3 "$here/zip.py" "$dir/stage" "$dir/unsigned.zip"
  python3 "$here/zip.py" "$second/stage" "$second/unsigned.zip"
  say "first:  $(summary "$dir/unsigned.zip") from $deps"
  say "second: $(summary "$second/unsigned.zip") from $second_deps"
  if cmp -s "$dir/unsigned.zip" "$second/unsigned.zip"; then
    say "reproducible: two builds from two dependency prefixes give the same zip"
  else
    say "NOT reproducible: the zips differ"
    diff -rq "$dir/stage" "$second/stage" >&2 || true
    exit 1
  fi
fi

stage=$dir/stage
if [ -n "${TAVRIN_SIGN_CERT:-}" ] || [ -n "${TAVRIN_SIGN_KEY:-}" ]; then
  [ -f "${TAVRIN_SIGN_CERT:-}" ] && [ -f "${TAVRIN_SIGN_KEY:-}" ] ||
    { say "TAVRIN_SIGN_CERT and TAVRIN_SIGN_KEY must both name files"; exit 1; }
  sign=(-certs "$TAVRIN_SIGN_CERT" -key "$TAVRIN_SIGN_KEY" -h sha256 -n "Tavrin Launcher")
  [ -n "${TAVRIN_SIGN_KEY_PASSWORD_FILE:-}" ] && sign+=(-readpass "$TAVRIN_SIGN_KEY_PASSWORD_FILE")
  [ -n "${TAVRIN_SIGN_TIMESTAMP_URL:-}" ] && sign+=(-ts "$TAVRIN_SIGN_TIMESTAMP_URL")
  rm -f "$stage/TavrinLauncher.exe"
  osslsigncode sign "${sign[@]}" -in "$dir/bin/TavrinLauncher.exe" -out "$stage/TavrinLauncher.exe" >/dev/null
  osslsigncode verify -CAfile "${TAVRIN_SIGN_CA:-$TAVRIN_SIGN_CERT}" -in "$stage/TavrinLauncher.exe" >"$dir.verify.log" 2>&1 ||
    { cat "$dir.verify.log" >&2; say "the signed executable does not verify"; exit 1; }
  say "signed with $(openssl x509 -noout -subject -in "$TAVRIN_SIGN_CERT" 2>/dev/null ||
      openssl x509 -inform DER -noout -subject -in "$TAVRIN_SIGN_CERT")"
fi

mkdir -p "$src/dist"
zip=$src/dist/TavrinLauncher-$version-win64.zip
python3 "$here/zip.py" "$stage" "$zip"
say "package: $(summary "$zip")"
(cd "$stage" && find . -type f | sort | sed 's|^\./|  |') >&2
