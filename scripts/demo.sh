#!/usr/bin/env bash
# The demo behind `make demo`: builds examples/quickstart.c against the built driver, starts
# the vqr-sim emulator on a free loopback port, runs the quickstart against it and then in
# simulation, and stops the emulator again (on failure too). Nothing leaves this machine.
#
#   scripts/demo.sh [BUILD_DIR]     (default: build)
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(cd "${1:-build}" && pwd)
library_dir="$build_dir/driver"
emulator="$build_dir/emulator/vqr-sim"

for needed in "$library_dir/libHnVQR.so" "$emulator"; do
  if [ ! -e "$needed" ]; then
    echo "demo: $needed is missing; build first (make build)" >&2
    exit 1
  fi
done

source "$source_dir/scripts/emulator-run.sh"
make_work_dir hnvqr-demo
trap 'exit 130' INT TERM

section() { printf '\n== %s\n' "$1"; }

section "Building examples/quickstart.c against $library_dir"
# The same command a user of the built tree types; the run paths let the program find
# libHnVQR.so and libhnvisa.so (for viStatusDesc) without installing anything.
visa_dir="$build_dir/platform/visa"
cc_command=(cc -std=c99 -Wall -Wextra -o "$work_dir/quickstart" "$source_dir/examples/quickstart.c"
            -I"$source_dir/include" -I"$source_dir/platform/include"
            -L"$library_dir" -lHnVQR -Wl,-rpath,"$library_dir"
            -L"$visa_dir" -lhnvisa -Wl,-rpath,"$visa_dir")
echo "${cc_command[*]}"
"${cc_command[@]}"

section "Starting the emulator: vqr-sim --model VQR-A2 --load-ohms 20"
# A 20-ohm load draws 0.6 A at 12 V, below the 1 A current level: constant voltage.
if ! start_emulator "$emulator" --model VQR-A2 --load-ohms 20; then
  echo "demo: the emulator printed no resource string" >&2
  exit 1
fi
resource=$RESOURCE
echo "listening as $resource"

section "quickstart $resource"
"$work_dir/quickstart" "$resource"

section "quickstart --simulate"
"$work_dir/quickstart" --simulate

section "Done"
echo "The driver talked to the emulator over TCP and ran the same steps in simulation."
echo "Next: README.md, 'A five-minute tour'."
