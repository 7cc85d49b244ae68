#!/usr/bin/env bash
# Runs one of the examples and checks what it printed.
#
#   examples_test.sh CASE
#
# The environment names the programs: QUICKSTART, LOCK_EXAMPLE, PYTHON_EXAMPLE (the .py
# file), DRIVER_LIBRARY (libHnVQR.so), EMULATOR (vqr-sim), EXAMPLE_STORE (the example
# configuration store file). PYTHON_PRELOAD, when set, is preloaded into python3 (the
# sanitizer runtime of a sanitizer build).
set -euo pipefail

case_name=${1:?usage: examples_test.sh CASE}
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/emulator-run.sh"
make_work_dir hnvqr-examples

fail() {
  echo "FAILED: $*" >&2
  if [ -f "$work_dir/out" ]; then
    echo "--- output:" >&2
    cat "$work_dir/out" >&2
  fi
  exit 1
}

# Runs a command, keeping its stdout and stderr in $work_dir/out; expects exit status $1.
run_expecting() {
  local expected=$1
  shift
  local status=0
  "$@" >"$work_dir/out" 2>&1 || status=$?
  cat "$work_dir/out"
  [ "$status" -eq "$expected" ] || fail "'$*' exited with $status, expected $expected"
}

expect_line() {
  grep -Eq -- "$1" "$work_dir/out" || fail "no line matching '$1'"
}

# Starts vqr-sim with the given options and sets RESOURCE from its first line.
start_test_emulator() {
  start_emulator "$EMULATOR" "$@" || fail "vqr-sim printed no resource string"
  [[ "$RESOURCE" == TCPIP0::127.0.0.1::*::SOCKET ]] || fail "unexpected resource string '$RESOURCE'"
}

python_example() {
  if [ -n "${PYTHON_PRELOAD:-}" ]; then
    # The interpreter itself is not instrumented: only the driver's own errors count.
    LD_PRELOAD="$PYTHON_PRELOAD" ASAN_OPTIONS=detect_leaks=0 python3 "$PYTHON_EXAMPLE" "$@"
  else
    python3 "$PYTHON_EXAMPLE" "$@"
  fi
}

# The store of the logical name MyPSU, pointing at the running emulator.
write_live_store() {
  cat >"$work_dir/store.json" <<JSON
{"hardwareAssets": [{"name": "emulator", "ioResourceDescriptor": "$RESOURCE"}],
 "driverSessions": [{"name": "PSU1", "hardwareAsset": "emulator", "queryInstrStatus": true}],
 "logicalNames": [{"name": "MyPSU", "session": "PSU1"}]}
JSON
}

case "$case_name" in
  quickstart-simulated)
    run_expecting 0 "$QUICKSTART" --simulate
    expect_line '^  instrument +Halvorn VQR-A2, firmware Sim1\.0\.2\.0$'
    expect_line '^  programmed +12\.000 V, 1\.000 A$'
    expect_line '^  output +on$'
    expect_line '^  regulation +constant voltage$'
    expect_line '^  error queue +0, No error\.$'
    ;;
  quickstart-emulator)
    # 12 V across 20 ohms draws 0.6 A, under the 1 A current level: constant voltage.
    start_test_emulator --model VQR-A2 --load-ohms 20
    run_expecting 0 "$QUICKSTART" "$RESOURCE"
    expect_line '^  instrument +Halvorn VQR-A2, firmware '
    expect_line '^  measured +12\.000 V, 0\.600 A$'
    expect_line '^  regulation +constant voltage$'
    expect_line '^  error queue +0, No error$'
    ;;
  quickstart-current-limited)
    # 12 V across 4 ohms would draw 3 A: the supply holds 1 A and regulates current.
    start_test_emulator --model VQR-A2 --load-ohms 4
    run_expecting 0 "$QUICKSTART" "$RESOURCE"
    expect_line '^  measured +4\.000 V, 1\.000 A$'
    expect_line '^  regulation +constant current$'
    ;;
  quickstart-failures)
    # An unknown model: the driver's own description, read after the failed init.
    start_test_emulator --model VQR-Z9
    run_expecting 1 "$QUICKSTART" "$RESOURCE"
    expect_line 'HnVQR_InitWithOptions failed with status 0xBFFA0000'
    expect_line '^  Failure cannot recover\.  Unrecognized model: VQR-Z9$'
    # Nobody listening: a VISA status, described by the VISA library's viStatusDesc.
    stop_emulator
    run_expecting 1 "$QUICKSTART" "$RESOURCE"
    expect_line 'HnVQR_InitWithOptions failed with status 0xBFFF'
    expect_line '^  VI_ERROR_[A-Z_]+: '
    run_expecting 2 "$QUICKSTART"
    ;;
  lock-simulated)
    run_expecting 0 "$LOCK_EXAMPLE" "$EXAMPLE_STORE" MyPSU 200
    expect_line '^Opened MyPSU: VQR-A4 at TCPIP0::192\.168\.1\.50::5025::SOCKET \(simulated\)$'
    expect_line '^  thread A: 200 rounds of 5\.0 V / 0\.5 A, 0 read-backs differed$'
    expect_line '^  thread B: 200 rounds of 9\.0 V / 1\.5 A, 0 read-backs differed$'
    ;;
  lock-emulator)
    start_test_emulator --model VQR-B2
    write_live_store
    run_expecting 0 "$LOCK_EXAMPLE" "$work_dir/store.json" MyPSU 50
    expect_line "^Opened MyPSU: VQR-B2 at ${RESOURCE}\$"
    expect_line '^  thread B: 50 rounds of 9\.0 V / 1\.5 A, 0 read-backs differed$'
    # A name the store does not know is taken as a resource string, which fails.
    run_expecting 1 "$LOCK_EXAMPLE" "$work_dir/store.json" NoSuchName 1
    ;;
  python-simulated)
    run_expecting 0 python_example --library "$DRIVER_LIBRARY" --simulate
    expect_line '^  instrument +Halvorn VQR-A2, firmware Sim1\.0\.2\.0$'
    expect_line '^  programmed +12\.000 V, 1\.000 A$'
    expect_line "^  expected error Unknown physical repeated capability selector\.  .*'CH7'"
    # The library from the environment variable instead of the argument.
    HNVQR_LIBRARY="$DRIVER_LIBRARY" run_expecting 0 python_example --simulate
    run_expecting 2 python_example --library "$work_dir/missing.so" --simulate
    ;;
  python-emulator)
    start_test_emulator --model VQR-A2 --load-ohms 20
    run_expecting 0 python_example --library "$DRIVER_LIBRARY" "$RESOURCE"
    expect_line '^  measured +12\.000 V, 0\.600 A$'
    expect_line '^  regulation +constant voltage$'
    stop_emulator
    # The exception carries the VISA library's description of a VISA status.
    run_expecting 1 python_example --library "$DRIVER_LIBRARY" "$RESOURCE"
    expect_line 'HnVQR_InitWithOptions failed with status 0xBFFF[0-9A-F]{4}: VI_ERROR_'
    ;;
  *)
    fail "unknown case '$case_name'"
    ;;
esac
echo "PASSED: $case_name"
