#!/usr/bin/env bash
# Installs the Debian packages one purpose needs. As root it installs what is missing;
# otherwise it prints the apt-get line to run and fails.
#
#   scripts/install-deps.sh [GROUP...]      (default: build test)
#
# Groups: build (the library, emulator, CLI and examples), test (make test), bench
# (make bench), fuzz (make fuzz: clang and its runtime), windows (the Windows cross
# build), deb (the Debian packaging), all (every group). Each make target asks for the
# groups it needs, so a missing fuzzing compiler never stops a plain build.
set -euo pipefail

declare -A groups=(
  [build]="cmake ninja-build g++ make pkg-config nlohmann-json3-dev"
  [test]="libgtest-dev libgmock-dev binutils python3 python3-pyvisa python3-pyvisa-py git python3-pytest python3-setuptools python3-wheel python3-venv"
  [bench]="libbenchmark-dev"
  [fuzz]="clang libclang-rt-14-dev"
  [windows]="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 googletest nlohmann-json3-dev wine wine32:i386 wine64 zip"
  [deb]="build-essential debhelper dpkg-dev fakeroot lintian help2man"
)
group_order=(build test bench fuzz windows deb)

requested=("$@")
[ ${#requested[@]} -gt 0 ] || requested=(build test)

packages=()
for group in "${requested[@]}"; do
  if [ "$group" = all ]; then
    for name in "${group_order[@]}"; do packages+=(${groups[$name]}); done
  elif [ -n "${groups[$group]+set}" ]; then
    packages+=(${groups[$group]})
  else
    echo "install-deps.sh: unknown group '$group' (groups: ${group_order[*]} all)" >&2
    exit 2
  fi
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    case " ${missing[*]} " in *" $p "*) ;; *) missing+=("$p") ;; esac
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing (${requested[*]}): ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # wine32 is an i386 package: the architecture must be known before the lists are read.
  case " ${missing[*]} " in
    *":i386 "*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
  esac
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "Missing packages for ${requested[*]}; install them with:"
  echo "  sudo apt-get install -y ${missing[*]}"
  exit 1
fi
