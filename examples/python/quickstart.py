#!/usr/bin/env python3
"""HnVQR from Python with the hnvqr package.

    python3 quickstart.py [--library PATH] RESOURCE | --simulate

The same steps as examples/quickstart.c: identify the supply, program 12 V with a 1 A
current level, switch the output on, measure, show the output state, read the
instrument's error queue, switch the output off and close. --library names
libHnVQR.so.1 (the package otherwise looks in $HNVQR_LIBRARY, beside itself, and on the
loader's path).
"""

import argparse
import os
import sys


def run(resource: str) -> None:
    import hnvqr

    simulate = resource == "--simulate"
    if simulate:
        session = hnvqr.Session.simulated("VQR-A2")
    else:
        session = hnvqr.Session(resource, id_query=True, reset=True, options={"QueryInstrStatus": True})
    print(f"Opening {session!r}")
    with session as psu:
        print(f"  instrument     {psu.instrument_manufacturer} {psu.instrument_model}, "
              f"firmware {psu.instrument_firmware_revision}")
        psu.configure_voltage_level(12.0)
        psu.current_level = 1.0
        print(f"  programmed     {psu.outputs['CH1'].voltage_level:.3f} V, {psu.current_level:.3f} A")
        psu.configure_output_enabled(True)
        print(f"  output         {'on' if psu.output_enabled else 'off'}")
        volts = psu.measure(hnvqr.MeasurementType.VOLTAGE)
        amps = psu.measure(hnvqr.MeasurementType.CURRENT)
        print(f"  measured       {volts:.3f} V, {amps:.3f} A{' (simulated readings are 0)' if simulate else ''}")
        states = [state.name.lower().replace("_", " ") for state in hnvqr.OutputState
                  if psu.query_output_state(state)]
        print(f"  regulation     {', '.join(states) or '(none reported)'}")
        while True:
            entry = psu.error_query()
            print(f"  error queue    {entry.code}, {entry.message}")
            if entry.code == 0:
                break
        psu.configure_output_enabled(False)
        # An error raised as an exception, with the driver's description: a channel that
        # the supply does not have (checked in simulation too).
        try:
            psu.outputs["CH7"].configure_output_enabled(False)
        except hnvqr.UnknownChannelError as error:
            print(f"  expected error {error.description}")
        else:
            raise RuntimeError("the channel CH7 was accepted")
    print("Closed: all steps succeeded.")


def main(argv) -> int:
    parser = argparse.ArgumentParser(description="HnVQR quickstart with the hnvqr package")
    parser.add_argument("--library", help="path of libHnVQR.so.1")
    parser.add_argument("resource", help="a VISA resource string, or --simulate")
    rest = [a for a in argv if a != "--simulate"]
    args = parser.parse_args(rest + ["--", "--simulate"] if len(rest) != len(argv) else rest)
    if args.library:
        os.environ["HNVQR_LIBRARY"] = args.library
    import hnvqr
    try:
        run(args.resource)
    except hnvqr.LibraryNotFoundError as error:
        print(f"quickstart.py: {error}", file=sys.stderr)
        return 2
    except hnvqr.DriverError as error:
        print(f"quickstart.py: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
