#!/usr/bin/env bash
# Builds the libraries the game links (SDL 1.2, zlib, libxmp, libmpg123) for
# WebAssembly from Debian's own source packages, into build-web/prefix.
#
# The sources come through apt with a private configuration under
# build-web/apt (its own source list with deb-src entries for the archives
# the system already uses, its own lists and cache), so the system's apt
# setup is left alone. Each library is built once per source version: a
# stamp in build-web/prefix names the version, and a later run with the same
# versions does nothing. Run by scripts/web.sh; usage: web-libs.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
OUT=$(realpath -m "${1:-build-web}")
APT=$OUT/apt
SRC=$OUT/src
PREFIX=$OUT/prefix
JOBS=${JOBS:-2}
mkdir -p "$APT/etc/sources.list.d" "$APT/etc/preferences.d" "$APT/lists/partial" \
  "$APT/cache/archives/partial" "$SRC" "$PREFIX/include" "$PREFIX/lib/pkgconfig"

APT_OPTS=(
  -o "Dir::Etc::SourceList=$APT/etc/sources.list"
  -o "Dir::Etc::SourceParts=$APT/etc/sources.list.d"
  -o "Dir::Etc::Preferences=$APT/etc/preferences"
  -o "Dir::Etc::PreferencesParts=$APT/etc/preferences.d"
  -o "Dir::State::Lists=$APT/lists"
  -o "Dir::Cache=$APT/cache"
  -o "APT::Sandbox::User=root"
)

# The same archives and suites the system installs its packages from.
write_sources() {
  local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  {
    echo "deb-src [signed-by=$keyring] http://deb.debian.org/debian $codename main"
    echo "deb-src [signed-by=$keyring] http://deb.debian.org/debian $codename-updates main"
    echo "deb-src [signed-by=$keyring] http://deb.debian.org/debian-security $codename-security main"
  } > "$APT/etc/sources.list.new"
  if ! cmp -s "$APT/etc/sources.list.new" "$APT/etc/sources.list"; then
    mv "$APT/etc/sources.list.new" "$APT/etc/sources.list"
    rm -f "$APT/updated"
  else
    rm "$APT/etc/sources.list.new"
  fi
}

apt_update() {
  [ -e "$APT/updated" ] && return 0
  echo "web-libs: reading Debian's source index" >&2
  apt-get "${APT_OPTS[@]}" -qq update
  touch "$APT/updated"
}

# The source version to build: the one the native program runs on when its
# binary package is installed (so both builds use the same library code),
# else the newest the index offers.
source_version() {
  local source=$1 binary=$2 v=""
  if [ -n "$binary" ] && dpkg-query -W -f='${Status}' "$binary" 2>/dev/null | grep -q "install ok installed"; then
    v=$(dpkg-query -W -f='${source:Version}' "$binary")
  fi
  if [ -z "$v" ]; then
    apt_update
    v=$(apt-cache "${APT_OPTS[@]}" showsrc "$source" | awk '/^Version:/ {print $2}' | sort -V | tail -1)
  fi
  [ -n "$v" ] || { echo "web-libs: no source version of $source" >&2; exit 1; }
  echo "$v"
}

# Fetches and unpacks SOURCE=VERSION into $SRC/SOURCE-VERSION (upstream
# tarball, Debian's folder, Debian's patches in series order) and prints
# that folder. apt has checked every file against the signed index; the
# upstream signature files some packages list are not needed for that.
unpack() {
  local source=$1 version=$2
  local dir="$SRC/$source-${version#*:}"
  if [ ! -e "$dir/.unpacked" ]; then
    rm -rf "$dir" "$SRC/fetch"
    mkdir -p "$SRC/fetch"
    apt_update
    (cd "$SRC/fetch" && apt-get "${APT_OPTS[@]}" -qq source --download-only "$source=$version" >/dev/null 2>&1) || true
    local orig debian
    orig=$(ls "$SRC/fetch"/*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -1 || true)
    debian=$(ls "$SRC/fetch"/*.debian.tar.* 2>/dev/null | head -1 || true)
    if [ -z "$orig" ] || [ -z "$debian" ]; then
      echo "web-libs: could not fetch the Debian source of $source $version" >&2
      exit 1
    fi
    mkdir -p "$dir.tmp"
    tar xf "$orig" -C "$dir.tmp" --strip-components=1
    tar xf "$debian" -C "$dir.tmp"
    if [ -f "$dir.tmp/debian/patches/series" ]; then
      local patch opts
      while read -r patch opts; do
        case "$patch" in ''|'#'*) continue ;; esac
        patch -d "$dir.tmp" -s -N ${opts:--p1} < "$dir.tmp/debian/patches/$patch"
      done < "$dir.tmp/debian/patches/series"
    fi
    touch "$dir.tmp/.unpacked"
    mv "$dir.tmp" "$dir"
    rm -rf "$SRC/fetch"
  fi
  echo "$dir"
}

stamp_ok() { [ "$(cat "$PREFIX/.$1" 2>/dev/null)" = "$2" ]; }
stamp() { echo "$2" > "$PREFIX/.$1"; }

CFLAGS_WEB=(-O2)

# Compiles FILES... of DIR into the static library NAME with EXTRA flags.
compile_into() {
  local name=$1 dir=$2; shift 2
  local -a flags=()
  while [ "$1" != "--" ]; do flags+=("$1"); shift; done
  shift
  local objdir="$OUT/obj/$name"
  rm -rf "$objdir"
  mkdir -p "$objdir"
  printf '%s\0' "$@" | xargs -0 -P "$JOBS" -I{} sh -c \
    'f="$1"; shift; o="$0/$(echo "$f" | tr / _).o"; nice -n 10 emcc -c "$@" "$f" -o "$o"' \
    "$objdir" {} "${CFLAGS_WEB[@]}" "${flags[@]}"
  rm -f "$PREFIX/lib/lib$name.a"
  emar rcs "$PREFIX/lib/lib$name.a" "$objdir"/*.o
}

build_zlib() {
  local v dir
  v=$(source_version zlib zlib1g)
  stamp_ok zlib "$v" && return 0
  dir=$(unpack zlib "$v")
  echo "web-libs: zlib $v"
  local files=()
  for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees \
    uncompr zutil; do
    files+=("$dir/$f.c")
  done
  compile_into z "$dir" -DHAVE_UNISTD_H -DHAVE_STDARG_H -- "${files[@]}"
  cp "$dir/zlib.h" "$dir/zconf.h" "$PREFIX/include/"
  stamp zlib "$v"
}

build_sdl() {
  local v dir
  v=$(source_version libsdl1.2 libsdl1.2debian)
  local patchfile=$ROOT/web/sdl-dummy-audio-no-thread.patch
  local key="$v $(cat "$ROOT/web/SDL_config.h" "$patchfile" | sha1sum | cut -c1-12)"
  stamp_ok sdl "$key" && return 0
  dir=$(unpack libsdl1.2 "$v")
  # The one change to Debian's SDL for the page: sound without a thread.
  if ! patch -d "$dir" -R -p1 -s -f --dry-run < "$patchfile" >/dev/null 2>&1; then
    patch -d "$dir" -p1 -s < "$patchfile"
  fi
  echo "web-libs: SDL $v"
  mkdir -p "$PREFIX/include/SDL"
  cp "$dir"/include/*.h "$PREFIX/include/SDL/"
  cp "$ROOT/web/SDL_config.h" "$PREFIX/include/SDL/SDL_config.h"
  local s=$dir/src files=()
  files+=("$s"/SDL.c "$s"/SDL_error.c "$s"/SDL_fatal.c)
  files+=("$s"/audio/SDL_audio.c "$s"/audio/SDL_audiocvt.c "$s"/audio/SDL_mixer.c "$s"/audio/SDL_wave.c
    "$s"/audio/dummy/SDL_dummyaudio.c)
  files+=("$s"/cdrom/SDL_cdrom.c "$s"/cdrom/dummy/SDL_syscdrom.c "$s"/cpuinfo/SDL_cpuinfo.c)
  files+=("$s"/events/*.c "$s"/file/SDL_rwops.c)
  files+=("$s"/joystick/SDL_joystick.c "$s"/joystick/dummy/SDL_sysjoystick.c "$s"/loadso/dummy/SDL_sysloadso.c)
  files+=("$s"/stdlib/*.c "$s"/thread/SDL_thread.c "$s"/thread/generic/*.c)
  files+=("$s"/timer/SDL_timer.c "$s"/timer/unix/SDL_systimer.c)
  files+=("$s"/video/SDL_RLEaccel.c "$s"/video/SDL_blit.c "$s"/video/SDL_blit_0.c "$s"/video/SDL_blit_1.c
    "$s"/video/SDL_blit_A.c "$s"/video/SDL_blit_N.c "$s"/video/SDL_bmp.c "$s"/video/SDL_cursor.c
    "$s"/video/SDL_gamma.c "$s"/video/SDL_pixels.c "$s"/video/SDL_stretch.c "$s"/video/SDL_surface.c
    "$s"/video/SDL_video.c "$s"/video/SDL_yuv.c "$s"/video/SDL_yuv_sw.c "$s"/video/dummy/*.c)
  compile_into SDL12 "$dir" -I"$PREFIX/include/SDL" -I"$s" -I"$s"/audio -I"$s"/video -I"$s"/events \
    -I"$s"/joystick -I"$s"/cdrom -I"$s"/thread -I"$s"/thread/generic -I"$s"/timer -D_GNU_SOURCE=1 \
    -Wno-everything -- "${files[@]}"
  cat > "$PREFIX/lib/pkgconfig/sdl.pc" <<EOF
prefix=$PREFIX
Name: sdl
Description: SDL 1.2 for the web build
Version: ${v%%+*}
Libs: \${prefix}/lib/libSDL12.a
Cflags: -I\${prefix}/include/SDL -D_GNU_SOURCE=1
EOF
  stamp sdl "$key"
}

build_xmp() {
  local v dir
  v=$(source_version libxmp libxmp4)
  stamp_ok xmp "$v" && return 0
  dir=$(unpack libxmp "$v")
  echo "web-libs: libxmp $v"
  # The objects upstream's makefiles list, folder by folder.
  local files=() mf var obj
  for mf in src:SRC_OBJS src/loaders:LOADERS_OBJS src/loaders/prowizard:PROWIZ_OBJS src/depackers:DEPACKERS_OBJS; do
    var=${mf#*:}
    for obj in $(printf 'vgr_print:\n\t@echo $(%s)\n' "$var" |
      make -s --no-print-directory -C "$dir" -f "${mf%:*}/Makefile" -f - vgr_print); do
      files+=("$dir/${mf%:*}/${obj%.o}.c")
    done
  done
  compile_into xmp "$dir" -I"$dir"/include -I"$dir"/src -DLIBXMP_CORE_PLAYER_NO -DHAVE_FNMATCH -DHAVE_UMASK \
    -DHAVE_MKSTEMP -DHAVE_ROUND -DHAVE_POWF -DHAVE_DIRENT -DHAVE_ALLOCA_H -DHAVE_UNISTD_H -DLIBXMP_STATIC \
    -Wno-everything -- "${files[@]}"
  # xmp.h includes emscripten.h inside its extern "C" block, where C++
  # cannot take its templates: included first, its guard keeps it out there.
  cp "$dir"/include/xmp.h "$PREFIX/include/xmp-upstream.h"
  printf '#include <emscripten.h>\n#include "xmp-upstream.h"\n' > "$PREFIX/include/xmp.h"
  cat > "$PREFIX/lib/pkgconfig/libxmp.pc" <<EOF
prefix=$PREFIX
Name: libxmp
Description: libxmp for the web build
Version: ${v%%-*}
Libs: \${prefix}/lib/libxmp.a
Cflags: -I\${prefix}/include -DLIBXMP_STATIC
EOF
  stamp xmp "$v"
}

build_mpg123() {
  local v dir
  v=$(source_version mpg123 libmpg123-0)
  stamp_ok mpg123 "$v" && return 0
  dir=$(unpack mpg123 "$v")
  echo "web-libs: mpg123 $v"
  local bdir="$OUT/obj/mpg123-cmake"
  mkdir -p "$bdir"
  # The port uses check_type_size without including its module (newer CMake
  # no longer pulls it in through another one).
  # Its type sizes are run through node, which answers nonsense here; the
  # sizes of wasm32 are known.
  echo "include(CheckTypeSize)" > "$bdir/check-type-size.cmake"
  # Upstream's CMake port builds the decoding library alone, with the
  # portable floating-point decoder.
  nice -n 10 emcmake cmake -S "$dir/ports/cmake" -B "$bdir" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PROJECT_INCLUDE="$bdir/check-type-size.cmake" -DCMAKE_INSTALL_PREFIX="$PREFIX" -DBUILD_SHARED_LIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_LIBOUT123=OFF \
    -DBUILD_LIBSYN123=OFF -DCHECK_MODULES= -DNO_MOREINFO=ON -DCMAKE_C_FLAGS="-O2" \
    -DSIZEOF_LONG=4 -DSIZEOF_OFF_T=8 >/dev/null
  nice -n 10 cmake --build "$bdir" -j"$JOBS" >/dev/null
  cmake --install "$bdir" >/dev/null
  # Named by path: CMake looks for -l libraries only inside emscripten's
  # sysroot when it builds for the web.
  sed -i 's|^Libs:.*|Libs: ${libdir}/libmpg123.a|' "$PREFIX/lib/pkgconfig/libmpg123.pc"
  stamp mpg123 "$v"
}

# Debian's emscripten finds its JavaScript modules (acorn) where Debian's
# node looks by itself; a node from elsewhere needs to be told.
export NODE_PATH=${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs
command -v emcc >/dev/null || { echo "web-libs: emcc missing (scripts/install-web-deps.sh)" >&2; exit 1; }
write_sources
build_zlib
build_sdl
build_xmp
build_mpg123
