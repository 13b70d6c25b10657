#!/usr/bin/env bash
# The records are built against Debian's libgit2 1.5 and, for Windows, the vendored
# libgit2 1.9. This builds that 1.9 natively (its checksum checked first), builds the
# records and the recorder against it, and runs their suites, so that a change that
# breaks either version is seen on Linux. By hand (CI builds against 1.5):
#   scripts/check-libgit2-1.9.sh [WORK_DIR]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
vendor="${HALVO_VENDOR:-$top/../shared/vendor}"
archive="$vendor/libgit2-1.9.7.tar.xz"
sha256=351987c4c029827506f87dc789afa8e231501cc3221a693e023aad476cb0fbd9
work="${1:-$top/build-libgit2-1.9}"

echo "$sha256  $archive" | sha256sum -c --quiet - || { echo "$archive: checksum differs" >&2; exit 1; }
mkdir -p "$work"
if [ ! -f "$work/prefix/lib/pkgconfig/libgit2.pc" ]; then
  rm -rf "$work/src"
  mkdir -p "$work/src"
  tar -xf "$archive" -C "$work/src" --strip-components=1
  cmake -S "$work/src" -B "$work/libgit2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTS=OFF \
    -DBUILD_CLI=OFF -DBUILD_EXAMPLES=OFF -DUSE_SSH=OFF -DUSE_HTTPS=OFF -DREGEX_BACKEND=builtin \
    -DUSE_BUNDLED_ZLIB=ON -DCMAKE_INSTALL_PREFIX="$work/prefix" > /dev/null
  cmake --build "$work/libgit2" --target install > /dev/null
fi
PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" cmake -S "$top" -B "$work/tool" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS=-Werror > /dev/null
grep -q "LIBGIT2_VERSION:INTERNAL=1.9.7" "$work/tool/CMakeCache.txt" ||
  { echo "the build did not find libgit2 1.9.7" >&2; exit 1; }
cmake --build "$work/tool" --target test_records test_recorder
"$work/tool/tests/test_records"
QT_QPA_PLATFORM=offscreen "$work/tool/tests/test_recorder"
echo "records: built and tested against libgit2 1.9.7"
