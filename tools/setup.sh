#!/usr/bin/env bash
# Prepares a Debian 12 machine for building and testing the launcher:
#   1. Debian packages (cross toolchain, Wine, Xvfb, test tools);
#   2. Debian source package lists (deb-src);
#   3. the Windows dependency stack, built statically from Debian source
#      packages into a prefix cached outside the clone.
# Idempotent: a second run only checks and takes seconds.
# Prints the prefix path as its last line on stdout.
#   setup.sh                  the shared prefix, $TAVRIN_CACHE/deps-<key>
#   setup.sh --prefix DIR     a prefix of the same recipe in DIR (./dev release
#                             --twice builds a second one to compare against)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cache_root=${TAVRIN_CACHE:-/var/cache/tavrin}
triple=x86_64-w64-mingw32
sysroot=/usr/$triple

packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  binutils-mingw-w64-x86-64 libz-mingw-w64-dev
  cmake ninja-build dpkg-dev pkg-config g++ make ccache clang libclang-rt-14-dev libpng-dev
  wine wine64 xvfb xauth x11-utils xdotool
  googletest osslsigncode openssl python3 ca-certificates
  imagemagick fonts-open-sans
  nginx-light
)
deps_sources=(libpng1.6 freetype libsdl2 libsdl2-image libsdl2-ttf curl)

log() { echo "setup: $*" >&2; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

apt_updated=0
apt_update() {
  if [ $apt_updated -eq 0 ]; then
    as_root apt-get update -q >&2
    apt_updated=1
  fi
}

install_packages() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing ${missing[*]}"
  apt_update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
}

enable_deb_src() {
  if apt-cache showsrc --only-source libsdl2 2>/dev/null | grep -q '^Version:'; then
    return 0
  fi
  log "enabling Debian source packages"
  local f=/etc/apt/sources.list.d/debian.sources
  if [ -f "$f" ] && grep -q '^Types: deb$' "$f"; then
    as_root sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
  else
    grep -h '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
      | grep -v -e nodesource -e google | sed 's/^deb /deb-src /' \
      | as_root tee /etc/apt/sources.list.d/tavrin-deb-src.list >/dev/null
  fi
  apt_updated=0
  apt_update
}

source_versions() {
  apt-cache showsrc --only-source "$1" | awk '/^Version:/ {print $2}' | sort -V -r -u
}

prefix_key() {
  {
    for s in "${deps_sources[@]}"; do echo "$s" $(source_versions "$s"); done
    dpkg-query -W -f='${Version}\n' libz-mingw-w64-dev g++-mingw-w64-x86-64-posix
    # Only the recipe below keys the prefix: changes elsewhere in this script
    # (the package list, say) do not rebuild it.
    sed -n '/^# --- recipe/,/^# --- end of recipe/p' "$here/setup.sh" | sha256sum | cut -d' ' -f1
  } | sha256sum | cut -c1-16
}

# --- recipe -------------------------------------------------------------------
# The folders a dependency is built in (a random work folder, the prefix
# being filled) reach its objects through __FILE__ and debug data, and from
# there the launcher. Mapped to fixed names (-ffile-prefix-map covers both),
# one recipe gives the same libraries wherever it runs.
map_flags() {
  local flags="" dir
  for dir in "$work=/tavrin-deps/src" "$prefix=/tavrin-deps/prefix"; do
    flags+=" -ffile-prefix-map=$dir"
  done
  echo "${flags# }"
}

# cmake_dep SRC_DIR [extra cmake args...]: one dependency's own CMake build.
cmake_dep() {
  local src=$1; shift
  local build="$src/_build" flags
  flags=$(map_flags)
  cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/../cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_PREFIX_PATH="$prefix" \
    -DBUILD_SHARED_LIBS=OFF \
    -DZLIB_LIBRARY="$sysroot/lib/libz.a" \
    -DZLIB_INCLUDE_DIR="$sysroot/include" \
    "$@" >"$src/_configure.log" 2>&1 || { tail -40 "$src/_configure.log" >&2; return 1; }
  cmake --build "$build" -j"$(nproc)" >"$src/_build.log" 2>&1 || { tail -40 "$src/_build.log" >&2; return 1; }
  cmake --install "$build" >"$src/_install.log" 2>&1 || { tail -40 "$src/_install.log" >&2; return 1; }
}

# fetch_source NAME: unpacks the newest version of a source package that the
# mirrors can deliver whole (a security update's files are sometimes missing)
# and prints its directory.
fetch_source() {
  local name=$1 version dir
  for version in $(source_versions "$name"); do
    rm -rf "$work/fetch" && mkdir -p "$work/fetch"
    if (cd "$work/fetch" && apt-get source -q --only-source "$name=$version") >"$work/$name.fetch.log" 2>&1; then
      dir=$(find "$work/fetch" -maxdepth 1 -mindepth 1 -type d | head -n 1)
      if [ -n "$dir" ]; then
        mv "$dir" "$work/$name" && rm -rf "$work/fetch"
        # Debian's copyright file of the very source built: the release's
        # third-party notices are taken from it.
        mkdir -p "$prefix/share/doc/$name"
        cp "$work/$name/debian/copyright" "$prefix/share/doc/$name/copyright"
        log "$name $version"
        echo "$work/$name"
        return 0
      fi
    fi
  done
  tail -20 "$work/$name.fetch.log" >&2
  return 1
}

build_prefix() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-deps.XXXXXX")
  trap 'rm -rf "$work"' RETURN
  rm -rf "$prefix.partial"
  mkdir -p "$prefix.partial"
  local final=$prefix
  prefix=$prefix.partial
  export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
  export PKG_CONFIG_PATH=
  export TAVRIN_DEPS_PREFIX="$prefix"

  log "building libpng"
  src=$(fetch_source libpng1.6)
  cmake_dep "$src" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF \
    -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_EXECUTABLES=ON -DSKIP_INSTALL_FILES=ON

  log "building freetype"
  src=$(fetch_source freetype)
  cmake_dep "$src" \
    -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON \
    -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON
  # freetype's exported target leaves out zlib; static consumers need it.
  local ftcfg
  for ftcfg in "$prefix"/lib/cmake/freetype/freetype-config.cmake; do
    [ -f "$ftcfg" ] && cat >>"$ftcfg" <<EOF

# Added by the launcher's setup: the static library needs zlib.
if(NOT TARGET ZLIB::ZLIB)
  add_library(ZLIB::ZLIB STATIC IMPORTED)
  set_target_properties(ZLIB::ZLIB PROPERTIES
    IMPORTED_LOCATION "$sysroot/lib/libz.a"
    INTERFACE_INCLUDE_DIRECTORIES "$sysroot/include")
endif()
set_property(TARGET freetype APPEND PROPERTY INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
EOF
  done

  log "building SDL2"
  src=$(fetch_source libsdl2)
  cmake_dep "$src" \
    -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_INSTALL=OFF \
    -DSDL_AUDIO=OFF -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_SENSOR=OFF -DSDL_HIDAPI=OFF

  log "building SDL2_image"
  src=$(fetch_source libsdl2-image)
  cmake_dep "$src" \
    -DSDL2IMAGE_BACKEND_STB=OFF -DSDL2IMAGE_BACKEND_WIC=OFF -DSDL2IMAGE_DEPS_SHARED=OFF \
    -DSDL2IMAGE_VENDORED=OFF -DSDL2IMAGE_SAMPLES=OFF -DSDL2IMAGE_TESTS=OFF \
    -DSDL2IMAGE_PNG=ON -DSDL2IMAGE_AVIF=OFF -DSDL2IMAGE_BMP=OFF -DSDL2IMAGE_GIF=OFF \
    -DSDL2IMAGE_JPG=OFF -DSDL2IMAGE_JXL=OFF -DSDL2IMAGE_LBM=OFF -DSDL2IMAGE_PCX=OFF \
    -DSDL2IMAGE_PNM=OFF -DSDL2IMAGE_QOI=OFF -DSDL2IMAGE_SVG=OFF -DSDL2IMAGE_TGA=OFF \
    -DSDL2IMAGE_TIF=OFF -DSDL2IMAGE_WEBP=OFF -DSDL2IMAGE_XCF=OFF -DSDL2IMAGE_XPM=OFF \
    -DSDL2IMAGE_XV=OFF

  log "building SDL2_ttf"
  src=$(fetch_source libsdl2-ttf)
  cmake_dep "$src" \
    -DSDL2TTF_VENDORED=OFF -DSDL2TTF_HARFBUZZ=OFF -DSDL2TTF_SAMPLES=OFF

  log "building curl"
  src=$(fetch_source curl)
  cmake_dep "$src" \
    -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF -DBUILD_LIBCURL_DOCS=OFF \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DHTTP_ONLY=ON \
    -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none -DCURL_ZLIB=ON \
    -DUSE_LIBIDN2=OFF -DCURL_USE_LIBPSL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF \
    -DUSE_NGHTTP2=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DCURL_USE_GSSAPI=OFF \
    -DENABLE_UNIX_SOCKETS=OFF

  prefix=$final
  rm -rf "$prefix"
  mv "$prefix.partial" "$prefix"
  echo "$key" >"$prefix/.complete"
}
# --- end of recipe ------------------------------------------------------------

chosen=
case "${1:-}" in
  --prefix) [ -n "${2:-}" ] || { log "--prefix needs a folder"; exit 2; }; chosen=$2 ;;
  "") ;;
  *) log "usage: setup.sh [--prefix DIR]"; exit 2 ;;
esac

install_packages
enable_deb_src
mkdir -p "$cache_root"
key=$(prefix_key)
prefix="$cache_root/deps-$key"
if [ -n "$chosen" ]; then
  mkdir -p "$(dirname "$chosen")"
  prefix="$(cd "$(dirname "$chosen")" && pwd)/$(basename "$chosen")"
fi
# A prefix records the key it was built for; one of another recipe is rebuilt.
if [ "$(cat "$prefix/.complete" 2>/dev/null)" != "$key" ] &&
   { [ -n "$chosen" ] || [ ! -f "$prefix/.complete" ]; }; then
  start=$(date +%s)
  build_prefix
  log "dependency prefix built in $(( $(date +%s) - start )) s: $prefix"
fi
echo "$prefix"
