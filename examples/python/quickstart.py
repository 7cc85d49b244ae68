#!/usr/bin/env python3
"""HnVQR from Python with nothing but the standard library (ctypes).

    python3 quickstart.py [--library PATH] RESOURCE | --simulate

The library is PATH, else the file named by the environment variable HNVQR_LIBRARY,
else libHnVQR.so.1 from the dynamic loader's search path (LD_LIBRARY_PATH, ldconfig).

The same steps as examples/quickstart.c: identify the supply, program 12 V with a 1 A
current level, switch the output on, measure, show the output state, read the
instrument's error queue, switch the output off and close.
"""

import argparse
import ctypes
import os
import sys

# Types of visatype.h on Linux.
ViStatus = ctypes.c_int32
ViSession = ctypes.c_uint32
ViAttr = ctypes.c_uint32
ViInt32 = ctypes.c_int32
ViReal64 = ctypes.c_double
ViBoolean = ctypes.c_uint16
ViString = ctypes.c_char_p
VI_TRUE, VI_FALSE = 1, 0

# Attribute IDs and values of HnVQR.h used here.
ATTR_INSTRUMENT_MANUFACTURER = 1050511
ATTR_INSTRUMENT_MODEL = 1050512
ATTR_INSTRUMENT_FIRMWARE_REVISION = 1050510
ATTR_SIMULATE = 1050005
ATTR_VOLTAGE_LEVEL = 1250001
ATTR_OUTPUT_ENABLED = 1250006
ATTR_CURRENT_LEVEL = 1150006
OUTPUT_STATES = ("constant voltage", "constant current", "over-voltage", "over-current", "unregulated")

# The supplies have one output, named CH1.
CHANNEL = "CH1"


class HnVQRError(Exception):
    """A failed driver call: its status and the driver's description of the error."""

    def __init__(self, call, status, description):
        self.call = call
        self.status = status
        self.description = description
        text = description or visa_status_text(status) or "(no description)"
        super().__init__(f"{call} failed with status 0x{status & 0xFFFFFFFF:08X}: {text}")


def visa_status_text(status):
    """VISA statuses (0xBFFF.... and 0x3FFF....) come back from the driver unchanged and
    without a description of its own; the VISA library the driver loaded describes them."""
    if (status & 0x3FFF0000) != 0x3FFF0000:
        return ""
    for name in ("libhnvisa.so.1", "libvisa.so"):
        try:
            visa = ctypes.CDLL(name)
        except OSError:
            continue
        text = ctypes.create_string_buffer(256)
        visa.viStatusDesc.argtypes = [ctypes.c_uint32, ViStatus, ctypes.c_char_p]
        visa.viStatusDesc.restype = ViStatus
        if visa.viStatusDesc(0, status, text) >= 0:
            return text.value.decode(errors="replace")
    return ""


def _signature(function, *argtypes):
    function.argtypes = list(argtypes)
    function.restype = ViStatus
    return function


class Driver:
    """The loaded libHnVQR.so with the prototypes of the functions used here."""

    def __init__(self, path=None):
        path = path or os.environ.get("HNVQR_LIBRARY") or "libHnVQR.so.1"
        self.path = path
        lib = ctypes.CDLL(path)
        p = ctypes.POINTER
        self.InitWithOptions = _signature(lib.HnVQR_InitWithOptions, ViString, ViBoolean, ViBoolean, ViString,
                                          p(ViSession))
        self.close = _signature(lib.HnVQR_close, ViSession)
        self.GetError = _signature(lib.HnVQR_GetError, ViSession, p(ViStatus), ViInt32, ctypes.c_char_p)
        self.GetAttributeViString = _signature(lib.HnVQR_GetAttributeViString, ViSession, ViString, ViAttr, ViInt32,
                                               ctypes.c_char_p)
        self.GetAttributeViReal64 = _signature(lib.HnVQR_GetAttributeViReal64, ViSession, ViString, ViAttr,
                                               p(ViReal64))
        self.SetAttributeViReal64 = _signature(lib.HnVQR_SetAttributeViReal64, ViSession, ViString, ViAttr, ViReal64)
        self.GetAttributeViBoolean = _signature(lib.HnVQR_GetAttributeViBoolean, ViSession, ViString, ViAttr,
                                                p(ViBoolean))
        self.ConfigureVoltageLevel = _signature(lib.HnVQR_ConfigureVoltageLevel, ViSession, ViString, ViReal64)
        self.ConfigureOutputEnabled = _signature(lib.HnVQR_ConfigureOutputEnabled, ViSession, ViString, ViBoolean)
        self.MeasureVoltage = _signature(lib.HnVQR_MeasureVoltage, ViSession, p(ViReal64))
        self.MeasureCurrent = _signature(lib.HnVQR_MeasureCurrent, ViSession, p(ViReal64))
        self.QueryOutputState = _signature(lib.HnVQR_QueryOutputState, ViSession, ViString, ViInt32, p(ViBoolean))
        self.error_query = _signature(lib.HnVQR_error_query, ViSession, p(ViInt32), ctypes.c_char_p)

    def last_error(self, vi):
        """The recorded error of a session (of this thread for vi 0), read and cleared.

        Asked first with size 0, which answers the size the description needs and clears
        nothing, then with a buffer of exactly that size."""
        code = ViStatus(0)
        needed = self.GetError(vi, ctypes.byref(code), 0, None)
        if needed <= 1:
            # Nothing to describe; still read once so that the record is cleared.
            self.GetError(vi, ctypes.byref(code), 1, ctypes.create_string_buffer(1))
            return ""
        buffer = ctypes.create_string_buffer(needed)
        self.GetError(vi, ctypes.byref(code), needed, buffer)
        return buffer.value.decode(errors="replace")


class Session:
    """One driver session; use it in a `with` block so that it is always closed."""

    def __init__(self, driver, resource, options="", id_query=True, reset=True):
        self._driver = driver
        self.vi = 0
        handle = ViSession(0)
        status = driver.InitWithOptions(resource.encode(), VI_TRUE if id_query else VI_FALSE,
                                        VI_TRUE if reset else VI_FALSE, options.encode(), ctypes.byref(handle))
        # A failed initialization leaves no handle: its error is the calling thread's.
        self._check("HnVQR_InitWithOptions", status, vi=handle.value)
        self.vi = handle.value

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.close()
        return False

    def close(self):
        if self.vi:
            vi, self.vi = self.vi, 0
            self._check("HnVQR_close", self._driver.close(vi), vi=0)

    def _check(self, call, status, vi=None):
        if status < 0:
            raise HnVQRError(call, status, self._driver.last_error(self.vi if vi is None else vi))
        return status

    # Typed attribute access.
    def get_string(self, attribute, channel=""):
        buffer = ctypes.create_string_buffer(256)
        self._check("HnVQR_GetAttributeViString",
                    self._driver.GetAttributeViString(self.vi, channel.encode(), attribute, len(buffer), buffer))
        return buffer.value.decode(errors="replace")

    def get_real(self, attribute, channel=""):
        value = ViReal64(0.0)
        self._check("HnVQR_GetAttributeViReal64",
                    self._driver.GetAttributeViReal64(self.vi, channel.encode(), attribute, ctypes.byref(value)))
        return value.value

    def set_real(self, attribute, value, channel=""):
        self._check("HnVQR_SetAttributeViReal64",
                    self._driver.SetAttributeViReal64(self.vi, channel.encode(), attribute, value))

    def get_bool(self, attribute, channel=""):
        value = ViBoolean(0)
        self._check("HnVQR_GetAttributeViBoolean",
                    self._driver.GetAttributeViBoolean(self.vi, channel.encode(), attribute, ctypes.byref(value)))
        return value.value == VI_TRUE

    # Output configuration and measurement.
    def configure_voltage_level(self, volts, channel=CHANNEL):
        self._check("HnVQR_ConfigureVoltageLevel",
                    self._driver.ConfigureVoltageLevel(self.vi, channel.encode(), volts))

    def configure_output_enabled(self, enabled, channel=CHANNEL):
        self._check("HnVQR_ConfigureOutputEnabled",
                    self._driver.ConfigureOutputEnabled(self.vi, channel.encode(), VI_TRUE if enabled else VI_FALSE))

    def measure_voltage(self):
        value = ViReal64(0.0)
        self._check("HnVQR_MeasureVoltage", self._driver.MeasureVoltage(self.vi, ctypes.byref(value)))
        return value.value

    def measure_current(self):
        value = ViReal64(0.0)
        self._check("HnVQR_MeasureCurrent", self._driver.MeasureCurrent(self.vi, ctypes.byref(value)))
        return value.value

    def output_states(self, channel=CHANNEL):
        """The names of the output states the supply reports as present."""
        present = []
        for state, name in enumerate(OUTPUT_STATES):
            in_state = ViBoolean(0)
            self._check("HnVQR_QueryOutputState",
                        self._driver.QueryOutputState(self.vi, channel.encode(), state, ctypes.byref(in_state)))
            if in_state.value == VI_TRUE:
                present.append(name)
        return present

    def error_queue(self, limit=20):
        """The instrument's error queue as (code, message) pairs, ending with code 0."""
        entries = []
        for _ in range(limit):
            code = ViInt32(0)
            message = ctypes.create_string_buffer(256)
            self._check("HnVQR_error_query", self._driver.error_query(self.vi, ctypes.byref(code), message))
            entries.append((code.value, message.value.decode(errors="replace")))
            if code.value == 0:
                break
        return entries


def run(driver, resource):
    simulate = resource == "--simulate"
    if simulate:
        # A simulated session names its model in the DriverSetup part, which comes last.
        resource, options = "TCPIP0::simulated::5025::SOCKET", "Simulate=true, DriverSetup=Model:VQR-A2"
    else:
        options = "QueryInstrStatus=true"
    print(f"Opening {resource}{' (simulated)' if simulate else ''} with {driver.path}")
    with Session(driver, resource, options) as psu:
        print(f"  instrument     {psu.get_string(ATTR_INSTRUMENT_MANUFACTURER)} {psu.get_string(ATTR_INSTRUMENT_MODEL)}, "
              f"firmware {psu.get_string(ATTR_INSTRUMENT_FIRMWARE_REVISION)}")
        psu.configure_voltage_level(12.0)
        psu.set_real(ATTR_CURRENT_LEVEL, 1.0)
        print(f"  programmed     {psu.get_real(ATTR_VOLTAGE_LEVEL, CHANNEL):.3f} V, "
              f"{psu.get_real(ATTR_CURRENT_LEVEL):.3f} A")
        psu.configure_output_enabled(True)
        print(f"  output         {'on' if psu.get_bool(ATTR_OUTPUT_ENABLED, CHANNEL) else 'off'}")
        print(f"  measured       {psu.measure_voltage():.3f} V, {psu.measure_current():.3f} A"
              f"{' (simulated readings are 0)' if simulate else ''}")
        print(f"  regulation     {', '.join(psu.output_states()) or '(none reported)'}")
        for code, message in psu.error_queue():
            print(f"  error queue    {code}, {message}")
        psu.configure_output_enabled(False)
        # An error raised as an exception, with the driver's description: a channel that
        # the supply does not have (checked in simulation too).
        try:
            psu.configure_output_enabled(False, channel="CH7")
        except HnVQRError as error:
            print(f"  expected error {error.description}")
        else:
            raise RuntimeError("the channel CH7 was accepted")
    print("Closed: all steps succeeded.")


def main(argv):
    parser = argparse.ArgumentParser(description="HnVQR quickstart through ctypes")
    parser.add_argument("--library", help="path of libHnVQR.so (default: $HNVQR_LIBRARY, then the loader's path)")
    parser.add_argument("resource", help="a VISA resource string, or --simulate")
    args = parser.parse_args(_simulate_as_positional(argv))
    try:
        driver = Driver(args.library)
    except OSError as error:
        print(f"quickstart.py: cannot load the driver library: {error}", file=sys.stderr)
        return 2
    try:
        run(driver, args.resource)
    except HnVQRError as error:
        print(f"quickstart.py: {error}", file=sys.stderr)
        return 1
    return 0


def _simulate_as_positional(argv):
    """argparse would take --simulate for an option: pass it after "--" instead."""
    rest = [a for a in argv if a != "--simulate"]
    return rest + ["--", "--simulate"] if len(rest) != len(argv) else rest


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
