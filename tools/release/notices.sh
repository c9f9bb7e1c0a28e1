#!/usr/bin/env bash
# Writes the third-party notices of the launcher and the checker: every
# library linked into them and every font embedded, the exact source each
# was built from, and its licence.
#   notices.sh DEPS_PREFIX OUTPUT FONTS_DIR
# The libraries built by tools/setup.sh come from Debian source packages; the
# version given is that of the package whose upstream release the prefix
# holds (the newest such revision, which is the one setup.sh fetches). The
# licence texts are the prefix's own copies where the library installs one,
# else Debian's copyright file (of the source built, kept in the prefix, or
# of the matching binary package). The fonts must be byte for byte the files
# of an installed Debian package, whose copyright file is then theirs.
set -euo pipefail
prefix=$1
out=$2
fonts=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

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

# debian_stanza COPYRIGHT_FILE PATTERN: the "Files:" paragraph of a Debian
# copyright file that names PATTERN, then each licence paragraph it refers to.
debian_stanza() {
  awk -v RS= -v want="$2" '
    NR == FNR {
      if ($0 ~ /^Files:/ && index($0, want)) {
        print $0 "\n"
        n = split($0, lines, "\n")
        for (i = 1; i <= n; i++) {
          if (lines[i] ~ /^License: /) {
            names = substr(lines[i], 10)
            gsub(/,? (and|or) /, "\n", names)
            split(names, list, "\n")
            for (k in list) wanted[list[k]] = 1
          }
        }
      }
      next
    }
    {
      n = split($0, lines, "\n")
      name = substr(lines[1], 10)
      if (lines[1] ~ /^License: / && n > 1 && (name in wanted) && !(name in done)) {
        done[name] = 1
        print $0 "\n"
      }
    }
    END { if (length(wanted) == 0) exit 1 }' "$1" "$1"
}

# SDL's bundled HIDAPI (src/hidapi) is compiled in unless SDL was configured
# without it, which its configuration header then says.
sdl_has_hidapi() { ! grep -q '^#define SDL_HIDAPI_DISABLED' "$prefix/include/SDL2/SDL_config.h"; }

# font_notice: each embedded font with what it says of itself, then the
# copyright file of the Debian package that ships the same file. Prints
# "PACKAGE VERSION" on its first line.
font_notice() {
  local font name installed package list=() owner=""
  for font in "$fonts"/*.ttf; do
    name=$(basename "$font")
    installed=$(dpkg -S "*/$name" 2>/dev/null | sed -n 's/^\([^:]*\): \(.*\)$/\1 \2/p' | head -n 1)
    package=${installed%% *}
    if [ -z "$installed" ] || ! cmp -s "$font" "${installed#* }"; then
      echo "notices: $name is not the file of an installed Debian package" >&2
      return 1
    fi
    [ -z "$owner" ] || [ "$owner" = "$package" ] ||
      { echo "notices: the fonts come from more than one package ($owner, $package)" >&2; return 1; }
    owner=$package
    list+=("$(python3 "$here/font_info.py" "$font" | awk -F '\t' -v f="$name" '{print f ": " $1 ", " $2 ". " $3}')")
  done
  [ -n "$owner" ] || { echo "notices: no font in $fonts" >&2; return 1; }
  dpkg-query -W -f='${source:Package} ${source:Version}\n' "$owner"
  printf 'Embedded unchanged from the Debian package %s:\n' "$owner"
  printf '  %s\n' "${list[@]}"
  printf '\n'
  copyright_of "$owner"
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
font_notice >"$work/fonts"
read -r s_font d_font <"$work/fonts"
font_names=$(sed -n 's/^  [^:]*: \([^,]*\),.*/\1/p' "$work/fonts" | paste -sd, - | sed 's/,/, /g')
font_version=$(sed -n 's/^  [^:]*: [^,]*, Version \([0-9.]*[0-9]\)\..*/\1/p' "$work/fonts" | sort -u | paste -sd/ -)
[ -n "$font_version" ] || { echo "notices: no font version in $fonts" >&2; exit 1; }
sdl_copyright=$prefix/share/doc/libsdl2/copyright
if sdl_has_hidapi; then
  [ -f "$sdl_copyright" ] || {
    echo "notices: no Debian copyright file of SDL2 in $prefix (built before tools/setup.sh kept" \
         "one: a build folder configured with an older prefix needs configuring again)" >&2
    exit 1
  }
  debian_stanza "$sdl_copyright" "src/hidapi/*" >"$work/hidapi" ||
    { echo "notices: $sdl_copyright names no HIDAPI files" >&2; exit 1; }
fi

{
  cat <<'EOF_HEAD'
Third-party software in TavrinLauncher.exe and TavrinCheck.exe
==============================================================

Both executables are linked statically with the libraries below, and the
launcher embeds the fonts at the end. Each section names the exact release
and the Debian source package it was built from, followed by its licence and
copyright notices.

EOF_HEAD
  section SDL2 "$v_sdl" libsdl2 "$(source_version libsdl2 "$v_sdl")" "statically" \
    <"$prefix/share/licenses/SDL2/LICENSE.txt"
  if sdl_has_hidapi; then
    section "HIDAPI (bundled with SDL2, src/hidapi)" "$v_sdl" libsdl2 "$(source_version libsdl2 "$v_sdl")" \
      "statically, as part of SDL2; the files' licence as Debian's copyright file of libsdl2 states it" \
      <"$work/hidapi"
  fi
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
  tail -n +2 "$work/fonts" | section "Fonts ($font_names), version" "$font_version" "$s_font" "$d_font" \
    "embedded unchanged in TavrinLauncher.exe"
} >"$out"
echo "notices: $out"
