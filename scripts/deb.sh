#!/usr/bin/env bash
# Builds the Debian packages of the tree and checks them with lintian, which fails the
# build on any error or warning that debian/*.lintian-overrides does not explain.
#
#   deb.sh [STAGING_DIR [OUTPUT_DIR]]     (defaults: build-deb, dist)
#
# dpkg-buildpackage writes its results next to the tree it builds, so the tree is copied
# (without build output) into STAGING_DIR and built there; the .deb files then go to
# OUTPUT_DIR. JOBS sets the build's parallelism (default 2).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
staging_dir=$(realpath -m "${1:-$source_dir/build-deb}")
output_dir=$(realpath -m "${2:-$source_dir/dist}")
jobs=${JOBS:-2}

version=$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -S Version)
tree="$staging_dir/hnvqr-$version"

rm -rf "$staging_dir"
mkdir -p "$tree" "$output_dir"
tar -C "$source_dir" --exclude='./build*' --exclude=./dist --exclude=./.git --exclude=./.cache \
    --exclude=./obj-* -cf - . | tar -C "$tree" -xf -

echo "deb: building hnvqr $version in $staging_dir"
(cd "$tree" && dpkg-buildpackage -b -us -uc -j"$jobs") >"$staging_dir/build.log" 2>&1 \
  || { tail -n 60 "$staging_dir/build.log" >&2; echo "deb: dpkg-buildpackage failed (log: $staging_dir/build.log)" >&2; exit 1; }

changes=$(ls "$staging_dir"/hnvqr_"$version"_*.changes)
echo "deb: lintian"
lintian --fail-on error,warning --info "$changes" || { echo "deb: lintian found problems" >&2; exit 1; }

rm -f "$output_dir"/*.deb
cp "$staging_dir"/*.deb "$output_dir"/
echo "deb: packages in $output_dir:"
(cd "$output_dir" && ls -1 *.deb)
