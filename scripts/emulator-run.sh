# Sourced by the scripts that run vqr-sim on the side (the demo, the examples' tests): a
# work folder and the emulator as a coprocess, both removed on exit, on failure too.
#
#   make_work_dir PREFIX              sets work_dir to a new folder under $TMPDIR
#   start_emulator EMULATOR [OPT...]  starts EMULATOR on a free loopback port and sets
#                                     RESOURCE from its first line; fails when it prints none
#   stop_emulator                     stops it (also done on exit)

work_dir=""
emulator_pid=""

stop_emulator() {
  if [ -n "$emulator_pid" ]; then
    kill "$emulator_pid" 2>/dev/null || true
    wait "$emulator_pid" 2>/dev/null || true
    emulator_pid=""
  fi
}

cleanup_emulator_run() {
  stop_emulator
  if [ -n "$work_dir" ]; then rm -rf "$work_dir"; fi
}
trap cleanup_emulator_run EXIT

make_work_dir() {
  work_dir=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
}

# Port 0 picks a free port; the first line vqr-sim prints is the resource string to open.
start_emulator() {
  local emulator=$1
  shift
  coproc EMULATOR { exec "$emulator" --listen 127.0.0.1:0 "$@"; }
  emulator_pid=$EMULATOR_PID
  RESOURCE=""
  IFS= read -r -t 10 RESOURCE <&"${EMULATOR[0]}" && [ -n "$RESOURCE" ]
}
