#!/usr/bin/env bash
# Writes the third-party notices of the launcher executable: every library
# linked into it, the exact source it was built from, and its licence.
#   notices.sh DEPS_PREFIX OUTPUT
# The libraries built by tools/setup.sh come from Debian source packages; the
# version given is that of the package whose upstream release the prefix
# holds (the newest such revision, which is the one setup.sh fetches). The
# licence texts are the prefix's own copies where the library installs one,
# else Debian's copyright file of the matching binary package.
set -euo pipefail
prefix=$1
out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake_version() { sed -n 's/^set(PACKAGE_VERSION "\([^"]*\)")$/\1/p' "$1" | head -n 1; }
pc_version() { sed -n 's/^Version: *//p' "$1" | head -n 1; }
upstream_of() { sed -E 's/^[0-9]+://; s/[-+~].*$//' <<<"$1"; }

# source_version SOURCE UPSTREAM: the newest Debian revision of that release.
source_version() {
  local v
  for v in $(apt-cache showsrc --only-source "$1" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V -r -u); do
    if [ "$(upstream_of "$v")" = "$2" ]; then
      echo "$v"
      return 0
    fi
  done
  echo "unknown Debian revision of $2"
}

# copyright_of BINARY_PACKAGE: Debian's copyright file, fetched with apt when
# the package is not installed on this machine.
copyright_of() {
  local f=/usr/share/doc/$1/copyright
  if [ ! -f "$f" ]; then
    (cd "$work" && apt-get download -q "$1" >/dev/null 2>&1) || true
    local deb
    deb=$(ls "$work"/"$1"_*.deb 2>/dev/null | head -n 1)
    if [ -n "$deb" ]; then
      dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$work" "./usr/share/doc/$1/copyright" 2>/dev/null || true
      f=$work/usr/share/doc/$1/copyright
    fi
  fi
  [ -f "$f" ] || { echo "notices: no licence text for $1" >&2; return 1; }
  cat "$f"
}

section() { # NAME UPSTREAM SOURCE_PACKAGE DEBIAN_VERSION HOW LICENCE_FILE_OR_-
  printf '%s\n' "================================================================================"
  printf '%s %s\n' "$1" "$2"
  printf 'Source: Debian source package %s, version %s\n' "$3" "$4"
  printf 'Linked: %s\n' "$5"
  printf '%s\n\n' "--------------------------------------------------------------------------------"
  cat
  printf '\n'
}

v_sdl=$(pc_version "$prefix/lib/pkgconfig/sdl2.pc")
v_image=$(cmake_version "$prefix/lib/cmake/SDL2_image/SDL2_imageConfigVersion.cmake")
v_ttf=$(cmake_version "$prefix/lib/cmake/SDL2_ttf/SDL2_ttfConfigVersion.cmake")
v_ft=$(cmake_version "$prefix/lib/cmake/freetype/freetype-config-version.cmake")
v_png=$(sed -n 's/^#define PNG_LIBPNG_VER_STRING "\([^"]*\)"$/\1/p' "$prefix/include/libpng16/png.h" 2>/dev/null ||
        sed -n 's/^#define PNG_LIBPNG_VER_STRING "\([^"]*\)"$/\1/p' "$prefix/include/png.h")
[ -n "$v_png" ] || v_png=$(sed -n 's/^#define PNG_LIBPNG_VER_STRING "\([^"]*\)"$/\1/p' "$prefix/include/png.h")
v_curl=$(pc_version "$prefix/lib/pkgconfig/libcurl.pc")
# Libraries installed as Debian packages: "source-package version upstream".
debian_source() { dpkg-query -W -f='${source:Package} ${source:Version} ${Version}' "$1"; }
read -r s_zlib d_zlib b_zlib <<<"$(debian_source libz-mingw-w64-dev)"
read -r s_mingw d_mingw b_mingw <<<"$(debian_source mingw-w64-x86-64-dev)"
read -r s_gcc d_gcc b_gcc <<<"$(debian_source gcc-mingw-w64-x86-64-posix)"
for v in v_sdl v_image v_ttf v_ft v_png v_curl; do
  [ -n "${!v}" ] || { echo "notices: no version found for ${v#v_} in $prefix" >&2; exit 1; }
done

{
  cat <<'EOF_HEAD'
Third-party software in TavrinLauncher.exe
==========================================

The launcher executable is linked statically with the libraries below. Each
section names the exact release and the Debian source package it was built
from, followed by its licence and copyright notices.

EOF_HEAD
  section SDL2 "$v_sdl" libsdl2 "$(source_version libsdl2 "$v_sdl")" "statically" \
    <"$prefix/share/licenses/SDL2/LICENSE.txt"
  section SDL2_image "$v_image" libsdl2-image "$(source_version libsdl2-image "$v_image")" "statically (PNG only)" \
    <"$prefix/share/licenses/SDL2_image/LICENSE.txt"
  section SDL2_ttf "$v_ttf" libsdl2-ttf "$(source_version libsdl2-ttf "$v_ttf")" "statically" \
    <"$prefix/share/licenses/SDL2_ttf/LICENSE.txt"
  copyright_of libfreetype6 | section FreeType "$v_ft" freetype "$(source_version freetype "$v_ft")" \
    "statically, used under the FreeType License (FTL)"
  copyright_of libpng16-16 | section libpng "$v_png" libpng1.6 "$(source_version libpng1.6 "$v_png")" "statically"
  copyright_of libz-mingw-w64-dev | section zlib "$(upstream_of "$d_zlib")" "$s_zlib" \
    "$d_zlib (as libz-mingw-w64-dev $b_zlib)" "statically"
  copyright_of libcurl4 | section libcurl "$v_curl" curl "$(source_version curl "$v_curl")" "statically (HTTP and HTTPS through Schannel)"
  copyright_of mingw-w64-x86-64-dev | section "mingw-w64 runtime (CRT startup, winpthreads)" "$(upstream_of "$b_mingw")" \
    "$s_mingw" "$d_mingw (as mingw-w64-x86-64-dev $b_mingw)" "statically"
  copyright_of gcc-mingw-w64-base | section "GCC runtime (libgcc, libstdc++)" "$(upstream_of "$b_gcc")" "$s_gcc" \
    "$d_gcc (as gcc-mingw-w64-x86-64-posix $b_gcc)" "statically, under the GCC Runtime Library Exception"
} >"$out"
echo "notices: $out"
