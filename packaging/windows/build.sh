#!/usr/bin/env bash
# Builds the Windows release on a Debian 12 machine, by hand (CI does not run it):
#   1. installs the MinGW-w64 cross compiler, Wine, NSIS and Xvfb from Debian;
#   2. builds Qt 6.4.2 for x86_64-w64-mingw32 from Debian's qt6-base source package,
#      with only what the tool uses, QtSerialPort 6.4.2 and libgit2 1.9.7 from their
#      source archives (HALVO_VENDOR, default ../shared/vendor beside the repository;
#      each checksum is checked first), and keeps them in a cache outside the
#      repository (HALVO_WIN_CACHE, default ~/.cache/halvo-win64), reused on the next run;
#   3. cross-builds halvo-config.exe, halvo-cli.exe, halvo-screenshot.exe and the
#      suites that need no pseudo-terminal, in build-win64/build;
#   4. bundles the Qt DLLs, the platform plugin and MinGW's runtime, and writes
#      halvo-config-<version>-win64.zip and halvo-config-<version>-setup.exe to
#      build-win64/dist.
# Stages can be run alone: build.sh qt | app | dist (default: all of them).
# packaging/windows/check.sh then proves the result under Wine.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
top="$(cd "$here/../.." && pwd)"
cache="${HALVO_WIN_CACHE:-$HOME/.cache/halvo-win64}"
qt_version=6.4.2
qt_prefix="$cache/qt-$qt_version-mingw64"
vendor="${HALVO_VENDOR:-$top/../shared/vendor}"
serialport_archive="qtserialport-$qt_version.tar.xz"
serialport_sha256=55057973ea7a3de4eefcde242d7c293d534246ab2659904645bba2d92a639cea
libgit2_version=1.9.7
libgit2_archive="libgit2-$libgit2_version.tar.xz"
libgit2_sha256=351987c4c029827506f87dc789afa8e231501cc3221a693e023aad476cb0fbd9
out="$top/build-win64"
jobs="$(nproc)"
stage="${1:-all}"

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

install_packages() {
  "$top/scripts/deps.sh" # the Linux build, which check.sh compares with
  local packages=(g++-mingw-w64-x86-64-posix wine64 nsis xvfb xauth x11-utils xdotool zip cmake
                  ninja-build qt6-base-dev qt6-base-dev-tools googletest dpkg-dev xz-utils ca-certificates)
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

# Debian's source of qt6-base, fetched through a deb-src entry that exists only for
# this run.
fetch_qt_source() {
  local src="$cache/src"
  if [ -d "$src/qtbase" ]; then
    return
  fi
  mkdir -p "$src"
  local list
  list="$(mktemp /tmp/halvo-deb-src.XXXXXX.sources)"
  cat > "$list" <<'LIST'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
LIST
  local apt_opts=(-o "Dir::Etc::sourcelist=$list" -o "Dir::Etc::sourceparts=-" -o "Dir::State::Lists=$cache/apt-lists")
  mkdir -p "$cache/apt-lists/partial"
  $SUDO apt-get "${apt_opts[@]}" update
  (cd "$src" && apt-get "${apt_opts[@]}" source --download-only "qt6-base=$qt_version+dfsg-10")
  rm -f "$list"
  tar -xf "$src/qt6-base_$qt_version+dfsg.orig.tar.xz" -C "$src"
  mv "$src/qtbase-everywhere-src-$qt_version" "$src/qtbase"
}

build_qt() {
  if [ -f "$qt_prefix/bin/Qt6Core.dll" ] && [ -f "$qt_prefix/.halvo-complete" ]; then
    echo "Qt for Windows: cached in $qt_prefix"
    return
  fi
  fetch_qt_source
  local build="$cache/qt-build"
  mkdir -p "$build"
  # Only what the tool uses: Core, Gui, Widgets, PrintSupport, Test, Concurrent, the
  # Windows platform plugin and styles. Debian's source lacks wintab.h, hence no
  # tablet events; OpenGL is off as an input, so that dynamic GL goes with it.
  cmake -S "$cache/src/qtbase" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$qt_prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DINPUT_opengl=no -DFEATURE_opengl=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF \
    -DFEATURE_tabletevent=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_doubleconversion=OFF
  cmake --build "$build" -j "$jobs"
  cmake --install "$build"
  # The licence texts go with the DLLs; the build tree and the unpacked source are
  # not needed again (the source archives stay, for a rebuild).
  cp -r "$cache/src/qtbase/LICENSES" "$qt_prefix/LICENSES"
  touch "$qt_prefix/.halvo-complete"
  rm -rf "$build" "$cache/src/qtbase"
}

# QtSerialPort, built against the Qt above and installed into the same prefix. The
# archive is checked before anything is unpacked: a different file stops the build.
build_serialport() {
  if [ -f "$qt_prefix/bin/Qt6SerialPort.dll" ] && [ -f "$qt_prefix/.halvo-serialport-complete" ]; then
    echo "QtSerialPort for Windows: cached in $qt_prefix"
    return
  fi
  local archive
  archive="$(checked_archive "$serialport_archive" "$serialport_sha256")"
  local src="$cache/src/qtserialport" build="$cache/qtserialport-build"
  rm -rf "$src" "$build"
  mkdir -p "$src" "$build"
  tar -xf "$archive" -C "$src" --strip-components=1
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$qt_prefix" -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  cmake --build "$build" -j "$jobs"
  cmake --install "$build"
  mkdir -p "$qt_prefix/LICENSES/qtserialport"
  cp -r "$src/LICENSES/." "$qt_prefix/LICENSES/qtserialport/"
  touch "$qt_prefix/.halvo-serialport-complete"
  rm -rf "$build" "$src"
}

# An archive from HALVO_VENDOR, checked before anything is unpacked: a different file
# stops the build.
checked_archive() {
  local archive="$vendor/$1" sha256="$2"
  if [ ! -f "$archive" ]; then
    echo "build.sh: $archive not found (set HALVO_VENDOR to the folder that holds it)" >&2
    exit 1
  fi
  if ! echo "$sha256  $archive" | sha256sum --check --quiet -; then
    echo "build.sh: $archive is not the source this build expects" >&2
    exit 1
  fi
  echo "$archive"
}

# libgit2 for the records, installed into the Qt prefix (its DLL beside Qt's): HTTPS
# through Windows' own WinHTTP, its bundled zlib and regular expressions, no SSH.
build_libgit2() {
  if [ -f "$qt_prefix/bin/libgit2.dll" ] && [ -f "$qt_prefix/.halvo-libgit2-complete" ]; then
    echo "libgit2 for Windows: cached in $qt_prefix"
    return
  fi
  local archive src="$cache/src/libgit2" build="$cache/libgit2-build"
  archive="$(checked_archive "$libgit2_archive" "$libgit2_sha256")"
  rm -rf "$src" "$build"
  mkdir -p "$src" "$build"
  tar -xf "$archive" -C "$src" --strip-components=1
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" -DCMAKE_INSTALL_PREFIX="$qt_prefix" \
    -DBUILD_TESTS=OFF -DBUILD_CLI=OFF -DBUILD_EXAMPLES=OFF -DUSE_SSH=OFF -DUSE_HTTPS=WinHTTP \
    -DREGEX_BACKEND=builtin -DUSE_BUNDLED_ZLIB=ON
  cmake --build "$build" -j "$jobs"
  cmake --install "$build"
  mkdir -p "$qt_prefix/LICENSES/libgit2"
  cp "$src/COPYING" "$qt_prefix/LICENSES/libgit2/COPYING"
  touch "$qt_prefix/.halvo-libgit2-complete"
  rm -rf "$build" "$src"
}

# The tool, its command line, the screenshot tool and the suites, cross-built; the
# records find libgit2 through the pkg-config file installed beside Qt.
build_app() {
  PKG_CONFIG_LIBDIR="$qt_prefix/lib/pkgconfig" PKG_CONFIG_PATH="" \
  cmake -S "$top" -B "$out/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" \
    -DHALVO_GTEST_SOURCE=/usr/src/googletest
  cmake --build "$out/build" -j "$jobs"
}

version() {
  sed -n 's/^project(halvo_config VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt"
}

# What runs on a Windows PC without anything else installed: the two programs, the
# Qt DLLs and plugins they load, MinGW's C++ runtime, and the licences.
bundle() {
  local dir="$1"
  local gcc_dlls=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
  rm -rf "$dir"
  mkdir -p "$dir/platforms" "$dir/styles" "$dir/licences"
  cp "$out/build/src/app/halvo-config.exe" "$out/build/src/cli/halvo-cli.exe" "$dir/"
  for m in Core Concurrent Gui Widgets PrintSupport SerialPort; do cp "$qt_prefix/bin/Qt6$m.dll" "$dir/"; done
  cp "$qt_prefix/bin/libgit2.dll" "$dir/"
  cp "$qt_prefix/plugins/platforms/qwindows.dll" "$dir/platforms/"
  cp "$qt_prefix/plugins/styles/qwindowsvistastyle.dll" "$dir/styles/"
  cp "$gcc_dlls/libgcc_s_seh-1.dll" "$gcc_dlls/libstdc++-6.dll" \
     /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$dir/"
  x86_64-w64-mingw32-strip "$dir"/*.exe "$dir"/*.dll "$dir"/*/*.dll
  # Windows line ends, so that Notepad shows them as they are meant.
  sed 's/$/\r/' "$top/LICENSE" > "$dir/LICENSE.txt"
  sed 's/$/\r/' "$here/THIRD-PARTY.txt" > "$dir/licences/THIRD-PARTY.txt"
  sed 's/$/\r/' "$qt_prefix/LICENSES/LGPL-3.0-only.txt" > "$dir/licences/Qt-LGPL-3.0.txt"
  sed 's/$/\r/' "$qt_prefix/LICENSES/GPL-3.0-only.txt" > "$dir/licences/GPL-3.0.txt"
  sed 's/$/\r/' "$qt_prefix/LICENSES/libgit2/COPYING" > "$dir/licences/libgit2-COPYING.txt"
  sed 's/$/\r/' /usr/share/doc/mingw-w64-common/copyright > "$dir/licences/MinGW-w64.txt" 2>/dev/null || true
  sed 's/$/\r/' /usr/share/doc/gcc-mingw-w64-base/copyright > "$dir/licences/GCC-runtime.txt" 2>/dev/null || true
  cat "$dir/LICENSE.txt" "$dir/licences/THIRD-PARTY.txt" > "$dir/licences/installer-licence.txt"
}

dist() {
  local v name dir
  v="$(version)"
  name="halvo-config-$v-win64"
  dir="$out/dist/$name"
  bundle "$dir"
  (cd "$out/dist" && rm -f "$name.zip" && zip -qr "$name.zip" "$name")
  makensis -V2 -DVERSION="$v" -DSOURCE="$dir" -DOUTFILE="$out/dist/halvo-config-$v-setup.exe" \
    "$here/installer.nsi"
  ls -l "$out/dist/$name.zip" "$out/dist/halvo-config-$v-setup.exe"
}

main() {
  install_packages
  case "$stage" in
    qt) build_qt; build_serialport; build_libgit2 ;;
    app) build_app ;;
    dist) dist ;;
    all) build_qt; build_serialport; build_libgit2; build_app; dist ;;
    *) echo "usage: $0 [qt|app|dist|all]" >&2; exit 2 ;;
  esac
}
main
