#!/usr/bin/env python3
"""Opens a supply by a logical name of the configuration store.

    IVI_CONFIG_STORE=examples/config-store.json python3 logical_name.py [NAME]

The example store maps MyPSU to the driver session PSU1, a simulated VQR-A4 with status
checking on; the session's settings come from the store, not from the program.
"""

import sys

import hnvqr


def main(argv) -> int:
    name = argv[0] if argv else "MyPSU"
    try:
        with hnvqr.Session(logical_name=name) as psu:
            print(f"{name}: {psu!r}")
            print(f"  logical name       {psu.logical_name}")
            print(f"  resource           {psu.io_resource_descriptor}")
            print(f"  model              {psu.instrument_model}")
            print(f"  simulated          {psu.simulate}")
            print(f"  instrument status  {'checked' if psu.query_instrument_status else 'not checked'}")
    except hnvqr.DriverError as error:
        print(f"logical_name.py: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
