#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. As root it installs what is
# missing; otherwise it prints the apt-get line to run.
set -euo pipefail

packages=(cmake ninja-build g++ make pkg-config binutils
          libgtest-dev libgmock-dev nlohmann-json3-dev libbenchmark-dev
          python3 python3-pyvisa-py clang libclang-rt-14-dev
          python3-pytest python3-setuptools python3-wheel python3-venv
          # deb: `make deb` and the test Install.DebianPackages
          build-essential debhelper dpkg-dev fakeroot lintian help2man)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "Missing packages; install them with:"
  echo "  sudo apt-get install -y ${missing[*]}"
  exit 1
fi
