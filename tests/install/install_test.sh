#!/usr/bin/env bash
# Installs the build tree into a scratch prefix and builds examples/quickstart.c against
# the installed files only, both ways a user would: a CMake project with
# find_package(HnVQR), and cc with `pkg-config --cflags --libs hnvqr`. Each program then
# runs in simulation.
#
#   install_test.sh SOURCE_DIR BUILD_DIR C_COMPILER
set -euo pipefail

source_dir=${1:?usage: install_test.sh SOURCE_DIR BUILD_DIR C_COMPILER}
build_dir=${2:?}
c_compiler=${3:?}
work_dir=$(mktemp -d "${TMPDIR:-/tmp}/hnvqr-install.XXXXXX")
trap 'rm -rf "$work_dir"' EXIT
prefix="$work_dir/prefix"

fail() { echo "FAILED: $*" >&2; exit 1; }

cmake --install "$build_dir" --prefix "$prefix" >"$work_dir/install.log" \
  || { cat "$work_dir/install.log" >&2; fail "cmake --install"; }

libdir=""
for candidate in "$prefix"/lib "$prefix"/lib64 "$prefix"/lib/*-linux-gnu; do
  if [ -e "$candidate/libHnVQR.so" ]; then libdir=$candidate; break; fi
done
[ -n "$libdir" ] || fail "no libHnVQR.so under $prefix"
for file in HnVQR.h visatype.h visa.h IviStatusCodes.h hnvisa_trace.h IviSessionServices.h IviConfigServer.h; do
  [ -f "$prefix/include/hnvqr/$file" ] || fail "include/hnvqr/$file is not installed"
done
# Our VISA headers stay in their own folder, out of the way of a vendor VISA's.
for file in "$prefix"/include/*; do
  [ "$file" = "$prefix/include/hnvqr" ] || fail "$file is installed outside include/hnvqr"
done
for file in libHnVQR.so libHnVQR.so.1 libhnvisa.so.1 cmake/HnVQR/HnVQRConfig.cmake \
            cmake/HnVQR/HnVQRConfigVersion.cmake cmake/HnVQR/HnVQRTargets.cmake pkgconfig/hnvqr.pc; do
  [ -e "$libdir/$file" ] || fail "lib/$file is not installed"
done
# The installed library finds libhnvisa by its own location, not by the build tree.
readelf -d "$libdir/libHnVQR.so.1" | grep -q 'RUNPATH.*\[\$ORIGIN\]' || fail "libHnVQR.so has no \$ORIGIN run path"
if readelf -d "$libdir/libHnVQR.so.1" | grep -Fq "$build_dir"; then fail "libHnVQR.so refers to the build tree"; fi

# Neither build may see the source tree's headers: copy the example alone.
cp "$source_dir/examples/quickstart.c" "$work_dir/quickstart.c"

run_simulated() {
  local program=$1
  LD_LIBRARY_PATH="$libdir" "$program" --simulate >"$work_dir/out" 2>&1 \
    || { cat "$work_dir/out" >&2; fail "$program --simulate"; }
  grep -q '^  instrument *Halvorn VQR-A2' "$work_dir/out" || { cat "$work_dir/out" >&2; fail "unexpected output"; }
  grep -q '^Closed: all steps succeeded\.$' "$work_dir/out" || { cat "$work_dir/out" >&2; fail "unexpected output"; }
}

# 1. find_package(HnVQR) and the imported target HnVQR::HnVQR.
cmake -S "$source_dir/tests/install/consumer" -B "$work_dir/consumer" -G Ninja \
      -DCMAKE_C_COMPILER="$c_compiler" -DCMAKE_PREFIX_PATH="$prefix" \
      -DQUICKSTART_SOURCE="$work_dir/quickstart.c" >"$work_dir/consumer.log" 2>&1 \
  || { cat "$work_dir/consumer.log" >&2; fail "configuring the find_package project"; }
cmake --build "$work_dir/consumer" >>"$work_dir/consumer.log" 2>&1 \
  || { cat "$work_dir/consumer.log" >&2; fail "building the find_package project"; }
run_simulated "$work_dir/consumer/quickstart"
echo "find_package(HnVQR): built and ran"

# A version the package does not offer is refused.
mkdir -p "$work_dir/too-new"
cat >"$work_dir/too-new/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(TooNew LANGUAGES C)
find_package(HnVQR 2.0 REQUIRED)
CMAKE
if cmake -S "$work_dir/too-new" -B "$work_dir/too-new/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null 2>&1; then
  fail "find_package(HnVQR 2.0) was accepted by a 1.x package"
fi

# 2. pkg-config.
export PKG_CONFIG_PATH="$libdir/pkgconfig"
pkg-config --exists hnvqr || fail "pkg-config does not find hnvqr"
[ "$(pkg-config --modversion hnvqr)" = "$(sed -n 's/^Version: //p' "$libdir/pkgconfig/hnvqr.pc")" ] || fail "version"
# shellcheck disable=SC2046 # the flags are meant to split
"$c_compiler" -std=c99 -Wall -Wextra -Werror -o "$work_dir/quickstart-pc" "$work_dir/quickstart.c" \
    $(pkg-config --cflags --libs hnvqr) || fail "cc with pkg-config --cflags --libs hnvqr"
run_simulated "$work_dir/quickstart-pc"
# The installed headers are usable on their own, each of them first in a translation unit.
for header in HnVQR.h visatype.h visa.h IviStatusCodes.h hnvisa_trace.h IviSessionServices.h IviConfigServer.h; do
  # shellcheck disable=SC2046
  echo "#include <$header>" | "$c_compiler" -std=c99 -Wall -Werror -fsyntax-only -x c - \
      $(pkg-config --cflags hnvqr) || fail "#include <$header> with pkg-config --cflags hnvqr"
done
echo "pkg-config hnvqr: built and ran"

# 3. The tree still works after it is moved: nothing in it names its first prefix.
mv "$prefix" "$work_dir/moved"
moved_libdir=${libdir/#$prefix/$work_dir/moved}
PKG_CONFIG_PATH="$moved_libdir/pkgconfig" pkg-config --cflags hnvqr | grep -q -- "-I$work_dir/moved/" \
  || fail "the pkg-config file does not follow a moved prefix"
"$work_dir/moved/bin/vqr-sim" --help >/dev/null 2>&1 || [ ! -e "$work_dir/moved/bin/vqr-sim" ] \
  || fail "the installed vqr-sim does not run"
echo "PASSED"
