#!/usr/bin/env bash
# Builds the Debian packages (scripts/deb.sh, lintian included), installs them with dpkg
# into a throwaway root, builds examples/quickstart.c against the installed files with
# pkg-config and with find_package(HnVQR), runs it and the installed tools in simulation,
# checks that an edited /etc/ivi/config-store.json survives a reinstall, then removes the
# packages: only the conffile may stay, until a purge.
#
#   deb_test.sh SOURCE_DIR C_COMPILER
# Exits 77 (skipped) when the Debian packaging tools are not installed.
set -euo pipefail

source_dir=${1:?usage: deb_test.sh SOURCE_DIR C_COMPILER}
c_compiler=${2:?}

for tool in dpkg-buildpackage dh lintian help2man pkg-config; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/install-deps.sh installs the packaging tools)"
    exit 77
  fi
done

work_dir=$(mktemp -d "${TMPDIR:-/tmp}/hnvqr-deb.XXXXXX")
trap 'rm -rf "$work_dir"' EXIT
root="$work_dir/root"

fail() { echo "FAILED: $*" >&2; exit 1; }

# The build runs where `make deb` runs it, so that a compiler cache serves both.
JOBS=2 "$source_dir/scripts/deb.sh" "$source_dir/build-deb" "$work_dir/debs" || fail "scripts/deb.sh"
packages=(libhnvqr1 libhnvqr-dev hnvqr-tools python3-hnvqr)
debs=()
for package in "${packages[@]}"; do
  deb=$(ls "$work_dir"/debs/"$package"_*.deb 2>/dev/null) || fail "no $package package"
  debs+=("$deb")
done

# An empty dpkg database. The root holds none of the packages ours depend on (libc6,
# libstdc++6): the host provides those.
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg_root=(dpkg --root="$root" --force-depends --force-script-chrootless)
[ "$(id -u)" -eq 0 ] || dpkg_root+=(--force-not-root)
"${dpkg_root[@]}" -i "${debs[@]}" >"$work_dir/dpkg.log" 2>&1 || { cat "$work_dir/dpkg.log" >&2; fail "dpkg -i"; }

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir="$root/usr/lib/$multiarch"
for file in usr/include/hnvqr/HnVQR.h usr/include/hnvqr/visa.h usr/include/hnvqr/visatype.h \
            usr/include/hnvqr/IviStatusCodes.h usr/include/hnvqr/IviSessionServices.h usr/include/hnvqr/IviConfigServer.h \
            "usr/lib/$multiarch/libHnVQR.so.1" "usr/lib/$multiarch/libhnvisa.so.1" \
            "usr/lib/$multiarch/pkgconfig/hnvqr.pc" usr/lib/python3/dist-packages/hnvqr/__init__.py "usr/lib/$multiarch/cmake/HnVQR/HnVQRConfig.cmake" \
            usr/bin/hnvqr usr/bin/vqr-sim usr/share/man/man1/hnvqr.1.gz usr/share/man/man1/vqr-sim.1.gz \
            etc/ivi/config-store.json; do
  [ -e "$root/$file" ] || fail "/$file is not installed"
done
# Our VISA headers must not sit where a vendor VISA's go.
[ ! -e "$root/usr/include/visa.h" ] || fail "/usr/include/visa.h is installed"
dpkg-query --root="$root" -W -f='${Conffiles}\n' libhnvqr1 | grep -q '^ /etc/ivi/config-store.json ' \
  || fail "/etc/ivi/config-store.json is not a conffile of libhnvqr1"

cp "$source_dir/examples/quickstart.c" "$work_dir/quickstart.c"
# On a real system libhnvisa.so.1 lies in the linker's own directories; in the throwaway
# root the linker must be told where the libraries libHnVQR.so needs are.
link_flags="-Wl,-rpath-link,$libdir"
run_simulated() {
  LD_LIBRARY_PATH="$libdir" "$@" >"$work_dir/out" 2>&1 || { cat "$work_dir/out" >&2; fail "$*"; }
}

# 1. pkg-config: the .pc file finds its prefix from its own place, here inside the root.
# shellcheck disable=SC2046 # the flags are meant to split
"$c_compiler" -std=c99 -Wall -Wextra -Werror -o "$work_dir/quickstart-pc" "$work_dir/quickstart.c" "$link_flags" \
    $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs hnvqr) || fail "cc with pkg-config"
run_simulated "$work_dir/quickstart-pc" --simulate
grep -q '^Closed: all steps succeeded\.$' "$work_dir/out" || { cat "$work_dir/out" >&2; fail "quickstart (pkg-config)"; }

# 2. find_package(HnVQR).
cmake -S "$source_dir/tests/install/consumer" -B "$work_dir/consumer" -G Ninja \
      -DCMAKE_C_COMPILER="$c_compiler" -DCMAKE_PREFIX_PATH="$root/usr" -DCMAKE_EXE_LINKER_FLAGS="$link_flags" \
      -DQUICKSTART_SOURCE="$work_dir/quickstart.c" >"$work_dir/consumer.log" 2>&1 \
  && cmake --build "$work_dir/consumer" >>"$work_dir/consumer.log" 2>&1 \
  || { cat "$work_dir/consumer.log" >&2; fail "the find_package project"; }
run_simulated "$work_dir/consumer/quickstart" --simulate
grep -q '^Closed: all steps succeeded\.$' "$work_dir/out" || { cat "$work_dir/out" >&2; fail "quickstart (CMake)"; }

# 3. The tools, and the installed store, which must be a store the driver reads.
IVI_CONFIG_STORE="$root/etc/ivi/config-store.json" \
  run_simulated "$root/usr/bin/hnvqr" --simulate -o "DriverSetup=Model:VQR-B4" idn
grep -q 'VQR-B4' "$work_dir/out" || { cat "$work_dir/out" >&2; fail "hnvqr idn"; }
run_simulated "$root/usr/bin/vqr-sim" --help
# The Python package finds the packaged driver by itself.
PYTHONPATH="$root/usr/lib/python3/dist-packages" run_simulated python3 -c \
  'import hnvqr; s = hnvqr.Session.simulated(model="VQR-B4"); print(s.instrument_model); s.close()'
grep -q '^VQR-B4$' "$work_dir/out" || { cat "$work_dir/out" >&2; fail "python3 -c import hnvqr"; }
echo "installed: built and ran against pkg-config and find_package"

# 4. A user's edit of the conffile survives a reinstall.
echo '{"logicalNames": []}' >"$root/etc/ivi/config-store.json"
"${dpkg_root[@]}" --force-confold -i "${debs[0]}" >"$work_dir/dpkg.log" 2>&1 || { cat "$work_dir/dpkg.log" >&2; fail "reinstall"; }
[ "$(cat "$root/etc/ivi/config-store.json")" = '{"logicalNames": []}' ] || fail "the reinstall replaced the edited conffile"

# 5. Removal leaves the conffile alone; a purge takes it too.
"${dpkg_root[@]}" -r "${packages[@]}" >"$work_dir/dpkg.log" 2>&1 || { cat "$work_dir/dpkg.log" >&2; fail "dpkg -r"; }
left=$(cd "$root" && find . -path ./var -prune -o -print | sort | tr '\n' ' ')
[ "$left" = ". ./etc ./etc/ivi ./etc/ivi/config-store.json " ] || fail "removal left: $left"
"${dpkg_root[@]}" -P libhnvqr1 >"$work_dir/dpkg.log" 2>&1 || { cat "$work_dir/dpkg.log" >&2; fail "dpkg -P"; }
left=$(cd "$root" && find . -path ./var -prune -o -print | sort | tr '\n' ' ')
[ "$left" = ". " ] || fail "purge left: $left"
echo "PASSED"
