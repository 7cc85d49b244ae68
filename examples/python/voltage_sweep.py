#!/usr/bin/env python3
"""Sweeps the voltage level and prints what the supply measures at each step.

    python3 voltage_sweep.py [RESOURCE] [--start V] [--stop V] [--step V] [--current-level A]

Without a resource the sweep runs on a simulated VQR-A2 (whose readings are 0).
"""

import argparse
import sys

import hnvqr


def sweep(psu: hnvqr.Session, start: float, stop: float, step: float) -> None:
    print(f"{'set V':>8} {'meas V':>8} {'meas A':>8}  mode")
    steps = int(round((stop - start) / step)) + 1
    for index in range(steps):
        level = start + index * step
        psu.voltage_level = level
        volts = psu.measure(hnvqr.MeasurementType.VOLTAGE)
        amps = psu.measure(hnvqr.MeasurementType.CURRENT)
        mode = ("CC" if psu.query_output_state(hnvqr.OutputState.CONSTANT_CURRENT)
                else "CV" if psu.query_output_state(hnvqr.OutputState.CONSTANT_VOLTAGE) else "-")
        print(f"{level:8.3f} {volts:8.3f} {amps:8.3f}  {mode}")


def main(argv) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("resource", nargs="?", help="a VISA resource string (default: simulated)")
    parser.add_argument("--start", type=float, default=0.0)
    parser.add_argument("--stop", type=float, default=10.0)
    parser.add_argument("--step", type=float, default=2.0)
    parser.add_argument("--current-level", type=float, default=1.0)
    args = parser.parse_args(argv)
    if args.step <= 0 or args.stop < args.start:
        parser.error("the sweep needs --step > 0 and --stop >= --start")
    try:
        psu = hnvqr.Session(args.resource, reset=True) if args.resource else hnvqr.Session.simulated("VQR-A2")
        with psu:
            psu.current_level = args.current_level
            psu.output_enabled = True
            try:
                sweep(psu, args.start, args.stop, args.step)
            finally:
                psu.output_enabled = False
    except hnvqr.DriverError as error:
        print(f"voltage_sweep.py: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
