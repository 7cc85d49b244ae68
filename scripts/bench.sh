#!/usr/bin/env bash
# Runs every benchmark binary of a build folder and prints each figure next to the baseline
# measured in the same run, their ratio and the goal it is held to.
#   scripts/bench.sh BUILD_DIR [extra Google Benchmark flags...]
# BENCH_MIN_TIME (seconds per benchmark, default 0.5) trades precision for time.
set -euo pipefail

build_dir=${1:?usage: scripts/bench.sh BUILD_DIR [benchmark flags...]}
shift
bench_dir="$build_dir/bench"
if ! compgen -G "$bench_dir/hnvqr_bench_*" >/dev/null; then
  echo "No benchmark binaries in $bench_dir (is Google Benchmark installed? libbenchmark-dev)" >&2
  exit 1
fi

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

for binary in "$bench_dir"/hnvqr_bench_*; do
  [ -x "$binary" ] || continue
  name=$(basename "$binary")
  echo "== $name" >&2
  "$binary" --benchmark_min_time="${BENCH_MIN_TIME:-0.5}" \
            --benchmark_out="$results/$name.json" --benchmark_out_format=json "$@" >&2
done

python3 - "$results" <<'PY'
import glob, json, os, sys

runs = {}
for path in sorted(glob.glob(os.path.join(sys.argv[1], "*.json"))):
    with open(path) as f:
        for b in json.load(f)["benchmarks"]:
            if b.get("run_type", "iteration") == "iteration" and "error_occurred" not in b:
                runs[b["name"]] = b

def ns(b):
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
    return b["real_time"] * scale

def show(t):
    for unit, div in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if t >= div:
            return f"{t / div:8.2f} {unit}"
    return f"{t:8.1f} ns"

failed = []
def row(figure, baseline, goal, met, value_text=None, base_text=None, ratio=None):
    print(f"{figure:58} {value_text:>12}  {baseline:44} {base_text:>12}  {ratio:>8}  {goal:28} {'met' if met else 'MISSED'}")
    if not met:
        failed.append(figure)

print(f"{'figure':58} {'value':>12}  {'baseline':44} {'baseline':>12}  {'ratio':>8}  {'goal':28} verdict")

# Simulated hot path: absolute goal, allocation-free, shown against the lock + lookup floor.
floor = runs.get("BM_Baseline_RecursiveMutexAndMapLookup")
for name in ("BM_SimulatedSetVoltageLevel", "BM_SimulatedGetVoltageLevel",
             "BM_SimulatedConfigureVoltageLevel", "BM_SimulatedGetInstrumentModel"):
    b = runs.get(name)
    if not b or not floor:
        continue
    allocations = b.get("allocations", -1)
    row(name, "recursive_mutex lock/unlock + map lookup", "< 250 ns, 0 allocations",
        ns(b) < 250 and allocations == 0, show(ns(b)), show(ns(floor)), f"{ns(b) / ns(floor):7.2f}x")
    print(f"{'':58} {'allocations in timed loop: %d' % allocations}")

b, base = runs.get("BM_SimulatedInitAndClose"), runs.get("BM_Baseline_SessionHandleNewAndDispose")
if b and base:
    row("BM_SimulatedInitAndClose", "IviSession_New + IviSession_Dispose", "< 100 us", ns(b) < 100e3,
        show(ns(b)), show(ns(base)), f"{ns(b) / ns(base):7.1f}x")

# Live round trips: the driver against a plain socket client sending the same bytes.
for name in sorted(runs):
    if name.startswith("BM_Live"):
        base = runs.get(name.replace("BM_Live", "BM_PlainSocket"))
        if base:
            r = ns(runs[name]) / ns(base)
            row(name, name.replace("BM_Live", "BM_PlainSocket").split("/real_time")[0] + " (same bytes)",
                "<= 1.15x plain socket", r <= 1.15, show(ns(runs[name])), show(ns(base)), f"{r:7.2f}x")

# Alternating rounds against two emulators: the median of per-round ratios.
for name in sorted(runs):
    if name.startswith("BM_AlternatingRounds"):
        b = runs[name]
        r = b["ratio"]
        row(name.split("/iterations")[0], "plain socket, same bytes, rounds in turn", "<= 1.05x (median of rounds)",
            r <= 1.05, show(b["driver_ns"]), show(b["plain_ns"]), f"{r:7.2f}x")

# The same query over VXI-11 (one RPC per write and per read) beside SOCKET (no goal).
for name in sorted(runs):
    if name.startswith("BM_Vxi11"):
        base = runs.get(name.replace("BM_Vxi11", "BM_Live"))
        if base:
            row(name, name.replace("BM_Vxi11", "BM_Live").split("/real_time")[0] + " (over SOCKET)",
                "time per call (reported)", True, show(ns(runs[name])), show(ns(base)),
                f"{ns(runs[name]) / ns(base):7.2f}x")

# The I/O trace: off, an export against its own body in alternating rounds; on, per call.
b = runs.get("BM_TraceOffAlternatingRounds/iterations:400")
if b:
    row("trace off: ConfigureVoltageLevel (median of rounds)", "its body called directly, rounds in turn",
        "<= 1.01x", b["ratio"] <= 1.01, show(b["export_ns"]), show(b["body_ns"]), f"{b['ratio']:7.3f}x")
on, off = runs.get("BM_TraceOnConfigureVoltageLevel"), runs.get("BM_TraceOffConfigureVoltageLevel")
if on and off:
    row("trace on: ConfigureVoltageLevel (a line per call)", "BM_TraceOffConfigureVoltageLevel",
        "time per call (reported)", True, show(ns(on)), show(ns(off)), f"{ns(on) / ns(off):7.2f}x")

# Scaling: two threads with a session each against one thread.
one = runs.get("BM_SimulatedAttributeTrafficPerThread/real_time/threads:1")
two = runs.get("BM_SimulatedAttributeTrafficPerThread/real_time/threads:2")
if one and two:
    r = two["items_per_second"] / one["items_per_second"]
    row("attribute calls/s on 2 threads (1 session each)", "the same on 1 thread", ">= 1.8x", r >= 1.8,
        f"{two['items_per_second'] / 1e6:7.2f} M/s", f"{one['items_per_second'] / 1e6:7.2f} M/s", f"{r:7.2f}x")

# Parsers on 1 MiB: time per call against one plain pass over the same MiB (no goal).
base = runs.get("BM_Baseline_OnePassOverOneMiB")
for name in sorted(runs):
    if base and any(name.startswith(p) for p in ("BM_Scan", "BM_InitWith", "BM_Selector", "BM_Resolve")):
        b = runs[name]
        label = f" [{b['label']}]" if b.get("label") else ""
        row(name + label, "std::count over the same MiB", "time per call (reported)", True,
            show(ns(b)), show(ns(base)), f"{ns(b) / ns(base):7.1f}x")

print()
print("all goals met" if not failed else "goals missed: " + ", ".join(failed))
PY

# PyVISA's query() through libhnvisa, beside PyVISA-py and a raw socket, in one run (Debian's
# python, where python3-pyvisa and python3-pyvisa-py are installed).
library="$build_dir/platform/visa/libhnvisa.so.1"
simulator="$build_dir/emulator/vqr-sim"
if [ -x /usr/bin/python3 ] && [ -e "$library" ] && [ -x "$simulator" ]; then
  echo
  /usr/bin/python3 "$(dirname "$0")/../bench/pyvisa_query.py" "$library" "$simulator"
fi
