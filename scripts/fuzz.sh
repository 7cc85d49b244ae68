#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (ASan + UBSan) and runs each one for a
# bounded time on a copy of its seed corpus inside the build folder; the tree is never
# written. Exits non-zero when a target found a crash, a leak, a timeout or ran out of
# memory, after printing the reproducer of every finding.
#
#   scripts/fuzz.sh [build-folder] [seconds-per-target] [target...]
#
# Defaults: build-fuzz, 60 s, every target. FUZZ_JOBS sets the build parallelism.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build-fuzz}
seconds=${2:-60}
shift $(( $# > 2 ? 2 : $# ))
case $build in /*) ;; *) build=$root/$build ;; esac
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "fuzz.sh: seconds per target must be a positive whole number (got '$seconds')" >&2
  exit 2
fi

# The libraries are instrumented for coverage and the sanitizers; the targets add the
# libFuzzer main when they link (fuzz/CMakeLists.txt).
sanitize="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize" \
  -DHNVQR_FUZZ=ON -DHNVQR_BUILD_TESTS=OFF -DHNVQR_SANITIZE= >/dev/null

list=$build/fuzz/fuzz-targets.txt
if [ ! -s "$list" ]; then
  echo "fuzz.sh: no fuzz targets were configured (is fuzz/CMakeLists.txt there, and clang the compiler?)" >&2
  exit 2
fi
mapfile -t targets < <(grep -v '^$' "$list")
if [ $# -gt 0 ]; then targets=("$@"); fi

cmake --build "$build" -j "${FUZZ_JOBS:-$(nproc 2>/dev/null || echo 2)}" --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
summary=()
for target in "${targets[@]}"; do
  run=$build/fuzz-run/$target
  rm -rf "$run"
  mkdir -p "$run/corpus" "$run/artifacts"
  if [ -d "$root/fuzz/corpus/$target" ]; then cp -R "$root/fuzz/corpus/$target/." "$run/corpus/"; fi
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$run/artifacts/")
  if [ -f "$root/fuzz/dict/$target.dict" ]; then options+=(-dict="$root/fuzz/dict/$target.dict"); fi

  echo "== $target: ${seconds} s"
  status=0
  (cd "$run" && "$build/fuzz/$target" "${options[@]}" corpus) >"$run/log.txt" 2>&1 || status=$?

  # A run that crashed early has none of these lines; grep finding nothing is no error here.
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/log.txt" | tail -n1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$run/log.txt" | tail -n1)
  coverage=$( (grep -o 'cov: [0-9]*' "$run/log.txt" || true) | tail -n1 | cut -d' ' -f2)
  features=$( (grep -o 'ft: [0-9]*' "$run/log.txt" || true) | tail -n1 | cut -d' ' -f2)
  line="$target: ${execs:-?} runs, ${rate:-?} exec/s, cov ${coverage:-?}, ft ${features:-?}"

  mapfile -t findings < <(find "$run/artifacts" -type f | sort)
  if [ "$status" -ne 0 ] || [ ${#findings[@]} -gt 0 ]; then
    failed+=("$target")
    summary+=("$line: FAILED (exit $status)")
    echo "!! $target failed (exit $status); the end of its log ($run/log.txt):"
    tail -n 60 "$run/log.txt"
    for finding in "${findings[@]}"; do
      echo "!! reproducer: $finding"
      echo "   rerun with: $build/fuzz/$target $finding"
    done
  else
    summary+=("$line: ok")
  fi
done

echo
echo "== fuzzing summary (${seconds} s per target)"
printf '   %s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: findings in: ${failed[*]}" >&2
  exit 1
fi
