"""Sessions on a VQR supply, and its outputs."""

import contextlib
import ctypes
import enum
import threading
import warnings
from typing import Any, Dict, Iterator, List, Mapping, NamedTuple, Optional, Union

from . import _library as c
from ._attributes import MeasurementType, OutputAttributes, OutputState, RangeType, SessionAttributes
from ._properties import Attribute
from .errors import DriverWarning, InvalidSessionError, error_class

__all__ = ["Session", "Output", "SelfTestResult", "Revision", "InstrumentError"]

# The largest string attribute the driver returns, and the fixed buffer of its 256-byte texts.
_STRING_ATTRIBUTE_SIZE = 4096 + 1
_MESSAGE_SIZE = 256
_INVALID_SESSION_HANDLE = -0x4005EE70  # 0xBFFA1190
# viRead completion codes, successes rather than warnings: the read ended on the
# termination character, or filled the count.
_VI_SUCCESS_TERM_CHAR = 0x3FFF0005
_VI_SUCCESS_MAX_CNT = 0x3FFF0006

OptionValue = Union[bool, int, str]


def _text(buffer: Any) -> str:
    return buffer.value.decode("utf-8", errors="replace")


def _bytes(text: Optional[str]) -> Optional[bytes]:
    return None if text is None else text.encode("utf-8")


def _describe(handle: int, status: int) -> str:
    """The driver's description of a status: the recorded error when it is this status (which
    reading clears), else the driver's message for the code."""
    lib = c.library()
    recorded = c.ViStatus(0)
    needed = lib.HnVQR_GetError(handle, ctypes.byref(recorded), 0, None)
    if needed > 0:
        buffer = ctypes.create_string_buffer(needed)
        lib.HnVQR_GetError(handle, ctypes.byref(recorded), needed, buffer)
        if recorded.value == status and buffer.value:
            return _text(buffer)
    if (status & 0xFFFFFFFF) >> 16 in (0xBFFF, 0x3FFF):
        described = c.visa_status_description(status)
        if described:
            return described
    message = ctypes.create_string_buffer(_MESSAGE_SIZE)
    if lib.HnVQR_error_message(handle, status, message) == 0 and message.value:
        return _text(message)
    return "no description"


def _check(handle: int, function: str, status: int) -> int:
    """Raises for a negative status, warns for a positive one; returns the status."""
    if status < 0:
        raise error_class(status)(status, _describe(handle, status), function)
    if status > 0:
        warnings.warn(DriverWarning(status, _describe(handle, status), function), stacklevel=3)
    return status


def _option_text(value: OptionValue) -> str:
    if isinstance(value, bool):
        return "true" if value else "false"
    return str(value)


def _option_string(simulate: Optional[bool], options: Union[None, str, Mapping[str, OptionValue]],
                   driver_setup: Union[None, str, Mapping[str, str]]) -> str:
    items: List[str] = []
    if isinstance(options, str):
        if options.strip():
            items.append(options.strip())
    elif options is not None:
        items += [f"{name}={_option_text(value)}" for name, value in options.items()]
    if simulate is not None:
        items.append(f"Simulate={_option_text(simulate)}")
    if driver_setup is not None:
        # DriverSetup takes the rest of the string, so it always comes last.
        if not isinstance(driver_setup, str):
            driver_setup = ", ".join(f"{key}:{value}" for key, value in driver_setup.items())
        items.append(f"DriverSetup={driver_setup}")
    return ", ".join(items)


class InstrumentError(NamedTuple):
    """An entry of the instrument's error queue: (code, message); code 0 means no error."""

    code: int
    message: str


class SelfTestResult(NamedTuple):
    """The instrument's self-test: (result, message); result 0 means passed."""

    result: int
    message: str

    @property
    def passed(self) -> bool:
        return self.result == 0


class Revision(NamedTuple):
    """(driver revision, instrument firmware revision)."""

    driver: str
    instrument: str


class _OutputFunctions:
    """The functions that address an output: on a session they address its single output
    (the empty channel name), on an Output the output it names."""

    _session: "Session"
    _channel: str

    def _out(self, function: str, *args: Any) -> int:
        return self._session._call(function, _bytes(self._channel), *args)

    def configure_voltage_level(self, level: float) -> None:
        """Sets the voltage level, in volts."""
        self._out("HnVQR_ConfigureVoltageLevel", float(level))

    def configure_current_limit(self, behavior: int, limit: float) -> None:
        """Sets the current limit behaviour (CurrentLimitBehavior) and the limit, in amperes."""
        self._out("HnVQR_ConfigureCurrentLimit", int(behavior), float(limit))

    def configure_ovp(self, enabled: bool, limit: float) -> None:
        """Enables over-voltage protection and sets its limit, in volts."""
        self._out("HnVQR_ConfigureOVP", bool(enabled), float(limit))

    def configure_output_enabled(self, enabled: bool) -> None:
        """Switches the output on or off."""
        self._out("HnVQR_ConfigureOutputEnabled", bool(enabled))

    def configure_output_range(self, range_type: RangeType, range: float) -> None:
        """Selects the output range that covers a current or voltage value."""
        self._out("HnVQR_ConfigureOutputRange", int(range_type), float(range))

    def reset_output_protection(self) -> None:
        """Clears a tripped protection so that the output can be switched on again."""
        self._out("HnVQR_ResetOutputProtection")

    def query_max_current_limit(self, voltage_level: float) -> float:
        """The largest current limit, in amperes, at a voltage level."""
        value = c.ViReal64()
        self._out("HnVQR_QueryMaxCurrentLimit", float(voltage_level), ctypes.byref(value))
        return value.value

    def query_max_voltage_level(self, current_limit: float) -> float:
        """The largest voltage level, in volts, at a current limit."""
        value = c.ViReal64()
        self._out("HnVQR_QueryMaxVoltageLevel", float(current_limit), ctypes.byref(value))
        return value.value

    def query_output_state(self, state: OutputState) -> bool:
        """Whether the output is in a state (constant voltage, over-current, ...)."""
        value = c.ViBoolean()
        self._out("HnVQR_QueryOutputState", int(state), ctypes.byref(value))
        return bool(value.value)

    def measure(self, measurement_type: MeasurementType) -> float:
        """Measures the output's voltage (volts) or current (amperes)."""
        value = c.ViReal64()
        self._out("HnVQR_Measure", int(measurement_type), ctypes.byref(value))
        return value.value

    def configure_trigger_source(self, source: int) -> None:
        """Not supported by the supplies: always raises NotSupportedError."""
        self._out("HnVQR_ConfigureTriggerSource", int(source))

    def configure_triggered_voltage_level(self, level: float) -> None:
        """Not supported by the supplies: always raises NotSupportedError."""
        self._out("HnVQR_ConfigureTriggeredVoltageLevel", float(level))

    def configure_triggered_current_limit(self, limit: float) -> None:
        """Not supported by the supplies: always raises NotSupportedError."""
        self._out("HnVQR_ConfigureTriggeredCurrentLimit", float(limit))


class _AttributeAccess:
    """Typed attribute access through the driver, for a session or one of its outputs."""

    _session: "Session"
    _channel: str

    def _get_attribute(self, attribute: Attribute[Any]) -> Any:
        return self._session._get(self._channel, attribute)

    def _set_attribute(self, attribute: Attribute[Any], value: Any) -> None:
        self._session._set(self._channel, attribute, value)


class Output(_AttributeAccess, _OutputFunctions, OutputAttributes):
    """One output of a supply, as ``session.outputs["CH1"]``."""

    def __init__(self, session: "Session", name: str) -> None:
        self._session = session
        self._channel = name

    @property
    def name(self) -> str:
        return self._channel

    def __repr__(self) -> str:
        return f"<hnvqr.Output {self._channel!r} of {self._session!r}>"


class Outputs(Mapping[str, Output]):
    """The outputs of a session by name; the driver resolves the name (physical or virtual)
    when an output is used."""

    def __init__(self, session: "Session") -> None:
        self._session = session

    def _names(self) -> List[str]:
        return self._session.channel_names()

    def __getitem__(self, name: str) -> Output:
        if not isinstance(name, str) or not name:
            raise KeyError(name)
        return Output(self._session, name)

    def __iter__(self) -> Iterator[str]:
        return iter(self._names())

    def __len__(self) -> int:
        return len(self._names())

    def __contains__(self, name: object) -> bool:
        return isinstance(name, str) and name in self._names()

    def __repr__(self) -> str:
        return f"<hnvqr.Outputs {self._names()!r}>"


class Session(_AttributeAccess, _OutputFunctions, SessionAttributes):
    """A session on a VQR supply.

    ``Session("TCPIP0::192.168.1.50::5025::SOCKET")`` opens a supply by its resource,
    ``Session(logical_name="MyPSU")`` (or ``Session("MyPSU")``) by a logical name of the
    configuration store, ``Session.simulated()`` a simulated one. Use it in a ``with``
    block, or call ``close()``.

    Every attribute of the driver is a property (``session.voltage_level``); the ones
    addressed per output are also on ``session.outputs["CH1"]``. Any failure raises a
    DriverError subclass; warnings go through the warnings module.

    Thread safety is the driver's: calls on one session from several threads are serialised
    by the driver's session lock, and ``with session.lock():`` holds it across several calls.
    """

    def __init__(self, resource: Optional[str] = None, *, id_query: bool = False, reset: bool = False,
                 simulate: Optional[bool] = None, options: Union[None, str, Mapping[str, OptionValue]] = None,
                 driver_setup: Union[None, str, Mapping[str, str]] = None,
                 logical_name: Optional[str] = None) -> None:
        if (resource is None) == (logical_name is None):
            raise TypeError("Session() takes a resource or a logical_name, exactly one of them")
        name = resource if resource is not None else logical_name
        assert name is not None
        self._session = self
        self._channel = ""
        # Guards _handle: close() against calls of other threads that are about to start.
        self._handle_lock = threading.Lock()
        self._handle = 0
        option_string = _option_string(simulate, options, driver_setup)
        handle = c.ViSession(0)
        status = c.library().HnVQR_InitWithOptions(_bytes(name), bool(id_query), bool(reset),
                                                   _bytes(option_string), ctypes.byref(handle))
        if status < 0:
            # A failed initialization records its error for the handle it leaves, or for
            # the thread when there is none.
            try:
                raise error_class(status)(status, _describe(handle.value, status), "HnVQR_InitWithOptions")
            finally:
                if handle.value:
                    c.library().HnVQR_close(handle.value)
        self._handle = handle.value
        try:
            if status > 0:
                _check(self._handle, "HnVQR_InitWithOptions", status)
            # Read once, for repr(): they cannot change while the session is open.
            self._resource = self.io_resource_descriptor or name
            self._model = self.instrument_model
            self._simulated = self.simulate
        except BaseException:
            self.close()  # a session the caller never received is never left open
            raise
        self.outputs = Outputs(self)

    @classmethod
    def simulated(cls, model: str = "VQR-B6", *, options: Union[None, str, Mapping[str, OptionValue]] = None,
                  id_query: bool = False, reset: bool = False) -> "Session":
        """A simulated session on a model: nothing is sent anywhere."""
        return cls("TCPIP0::simulated::5025::SOCKET", id_query=id_query, reset=reset, simulate=True,
                   options=options, driver_setup={"Model": model})

    # -- life cycle ----------------------------------------------------------------------

    def close(self) -> None:
        """Closes the session; closing a closed session does nothing."""
        with self._handle_lock:
            handle, self._handle = self._handle, 0
        if handle:
            _check(handle, "HnVQR_close", c.library().HnVQR_close(handle))

    @property
    def closed(self) -> bool:
        return self._handle == 0

    def __enter__(self) -> "Session":
        return self

    def __exit__(self, *exc_info: Any) -> None:
        self.close()

    def __del__(self) -> None:
        try:
            self.close()
        except Exception:
            pass  # nothing can be reported from a finalizer

    def __repr__(self) -> str:
        resource = getattr(self, "_resource", None)
        if resource is None:
            return "<hnvqr.Session (not opened)>"
        state = "closed" if self.closed else ("simulated" if self._simulated else "open")
        return f"<hnvqr.Session {resource!r} model={self._model!r} {state}>"

    # -- calls -------------------------------------------------------------------------

    @property
    def handle(self) -> int:
        """The driver's ViSession handle, for calls into the C API."""
        handle = self._handle
        if not handle:
            raise InvalidSessionError(_INVALID_SESSION_HANDLE, "The session is closed.", "hnvqr.Session")
        return handle

    def _call(self, function: str, *args: Any) -> int:
        handle = self.handle
        return _check(handle, function, getattr(c.library(), function)(handle, *args))

    def _get(self, channel: str, attribute: Attribute[Any]) -> Any:
        name = _bytes(channel)
        kind = attribute.value_type
        if kind == "ViString":
            buffer = ctypes.create_string_buffer(_STRING_ATTRIBUTE_SIZE)
            self._call("HnVQR_GetAttributeViString", name, attribute.id, _STRING_ATTRIBUTE_SIZE, buffer)
            return _text(buffer)
        value = {"ViInt32": c.ViInt32, "ViReal64": c.ViReal64, "ViBoolean": c.ViBoolean,
                 "ViSession": c.ViSession}[kind]()
        self._call(f"HnVQR_GetAttribute{kind}", name, attribute.id, ctypes.byref(value))
        if kind == "ViBoolean":
            return bool(value.value)
        if attribute.enum is not None:
            try:
                return attribute.enum(value.value)
            except ValueError:
                return value.value  # a value the driver knows and this package does not
        return value.value

    def _set(self, channel: str, attribute: Attribute[Any], value: Any) -> None:
        kind = attribute.value_type
        if kind == "ViString":
            if not isinstance(value, str):
                raise TypeError(f"{attribute.name} takes a str, not {type(value).__name__}")
            converted: Any = _bytes(value)
        elif kind == "ViReal64":
            if isinstance(value, bool) or not isinstance(value, (int, float)):
                raise TypeError(f"{attribute.name} takes a float, not {type(value).__name__}")
            converted = float(value)
        elif kind == "ViBoolean":
            if not isinstance(value, (bool, int)):
                raise TypeError(f"{attribute.name} takes a bool, not {type(value).__name__}")
            converted = bool(value)
        else:
            if isinstance(value, bool) or not isinstance(value, int):
                raise TypeError(f"{attribute.name} takes an int, not {type(value).__name__}")
            converted = int(value)
            bits = 32
            low, high = (0, (1 << bits) - 1) if kind == "ViSession" else (-(1 << 31), (1 << 31) - 1)
            if not low <= converted <= high:
                # ctypes would silently cut it to 32 bits and send another value.
                raise OverflowError(f"{attribute.name}: {converted} does not fit in a {kind}")
        self._call(f"HnVQR_SetAttribute{kind}", _bytes(channel), attribute.id, converted)

    # -- identification and utilities ---------------------------------------------------

    def channel_names(self) -> List[str]:
        """The physical names of the outputs, in order."""
        names = []
        for index in range(1, self.channel_count + 1):
            buffer = ctypes.create_string_buffer(_MESSAGE_SIZE)
            self._call("HnVQR_GetChannelName", index, _MESSAGE_SIZE, buffer)
            names.append(_text(buffer))
        return names

    def reset(self) -> None:
        """Puts the instrument into its reset state."""
        self._call("HnVQR_reset")

    def reset_with_defaults(self) -> None:
        """Resets the instrument and puts the session's option settings back."""
        self._call("HnVQR_ResetWithDefaults")

    def disable(self) -> None:
        """Puts the output into a state where it delivers no power."""
        self._call("HnVQR_Disable")

    def self_test(self) -> SelfTestResult:
        """Runs the instrument's self-test: (result, message)."""
        result = c.ViInt16()
        message = ctypes.create_string_buffer(_MESSAGE_SIZE)
        self._call("HnVQR_self_test", ctypes.byref(result), message)
        return SelfTestResult(result.value, _text(message))

    def revision_query(self) -> Revision:
        """(driver revision, instrument firmware revision)."""
        driver = ctypes.create_string_buffer(_MESSAGE_SIZE)
        instrument = ctypes.create_string_buffer(_MESSAGE_SIZE)
        self._call("HnVQR_revision_query", driver, instrument)
        return Revision(_text(driver), _text(instrument))

    def error_query(self) -> InstrumentError:
        """Reads one entry of the instrument's error queue: (code, message)."""
        code = c.ViInt32()
        message = ctypes.create_string_buffer(_MESSAGE_SIZE)
        self._call("HnVQR_error_query", ctypes.byref(code), message)
        return InstrumentError(code.value, _text(message))

    def error_message(self, status: int) -> str:
        """The driver's text for a status code."""
        message = ctypes.create_string_buffer(_MESSAGE_SIZE)
        self._call("HnVQR_error_message", int(status), message)
        return _text(message)

    def get_next_error(self) -> str:
        """The next entry of the instrument's error queue as the instrument words it."""
        return self._next_text("HnVQR_GetNextError")

    def get_next_coercion_record(self) -> str:
        """The oldest coercion record, removed; empty when there is none."""
        return self._next_text("HnVQR_GetNextCoercionRecord")

    def get_next_interchange_warning(self) -> str:
        """The oldest interchangeability warning, removed; empty when there is none."""
        return self._next_text("HnVQR_GetNextInterchangeWarning")

    def _next_text(self, function: str) -> str:
        buffer = ctypes.create_string_buffer(_STRING_ATTRIBUTE_SIZE)
        self._call(function, _STRING_ATTRIBUTE_SIZE, buffer)
        return _text(buffer)

    def clear_interchange_warnings(self) -> None:
        self._call("HnVQR_ClearInterchangeWarnings")

    def reset_interchange_check(self) -> None:
        self._call("HnVQR_ResetInterchangeCheck")

    def clear_error(self) -> None:
        """Forgets the session's recorded error."""
        self._call("HnVQR_ClearError")

    def invalidate_all_attributes(self) -> None:
        """Forgets every cached attribute value."""
        self._call("HnVQR_InvalidateAllAttributes")

    @contextlib.contextmanager
    def lock(self) -> Iterator["Session"]:
        """Holds the driver's session lock for the ``with`` block, so that no other thread's
        call on this session runs in between."""
        has_lock = c.ViBoolean(0)
        self._call("HnVQR_LockSession", ctypes.byref(has_lock))
        try:
            yield self
        finally:
            self._call("HnVQR_UnlockSession", ctypes.byref(has_lock))

    # -- measurement -------------------------------------------------------------------

    def measure_voltage(self) -> float:
        value = c.ViReal64()
        self._call("HnVQR_MeasureVoltage", ctypes.byref(value))
        return value.value

    def measure_current(self) -> float:
        value = c.ViReal64()
        self._call("HnVQR_MeasureCurrent", ctypes.byref(value))
        return value.value

    # -- triggering (the supplies have none: these raise NotSupportedError) --------------

    def initiate(self) -> None:
        self._call("HnVQR_Initiate")

    def abort(self) -> None:
        self._call("HnVQR_Abort")

    def send_software_trigger(self) -> None:
        self._call("HnVQR_SendSoftwareTrigger")

    # -- instrument-specific operations ---------------------------------------------------

    def clear_errors(self) -> None:
        """Empties the instrument's error queue."""
        self._call("HnVQR_ClearErrors")

    def clear_self_test_results(self) -> None:
        self._call("HnVQR_ClearSelfTestResults")

    def clear_status(self) -> None:
        """Clears the instrument's event registers and error queue (*CLS)."""
        self._call("HnVQR_ClearStatus")

    def save_state(self) -> None:
        self._call("HnVQR_SaveState")

    def set_operation_complete(self) -> None:
        self._call("HnVQR_SetOperationComplete")

    def status_preset(self) -> None:
        self._call("HnVQR_StatusPreset")

    def calculate_remote_sense_resistance(self, value: float) -> None:
        self._call("HnVQR_CalculateRemoteSenseResistance", float(value))

    def configure_current_calibration(self, p1: float, p2: float, p3: float, p4: float) -> None:
        self._call("HnVQR_ConfigureCurrentCalibration", float(p1), float(p2), float(p3), float(p4))

    def configure_voltage_calibration(self, p1: float, p2: float, p3: float, p4: float) -> None:
        self._call("HnVQR_ConfigureVoltageCalibration", float(p1), float(p2), float(p3), float(p4))

    def set_max_voltage_level(self) -> None:
        self._call("HnVQR_SetMaxVoltageLevel")

    def set_min_voltage_level(self) -> None:
        self._call("HnVQR_SetMinVoltageLevel")

    def set_max_current_level(self) -> None:
        self._call("HnVQR_SetMaxCurrentLevel")

    def set_min_current_level(self) -> None:
        self._call("HnVQR_SetMinCurrentLevel")

    def set_max_power_level(self) -> None:
        self._call("HnVQR_SetMaxPowerLevel")

    def set_min_power_level(self) -> None:
        self._call("HnVQR_SetMinPowerLevel")

    # -- direct I/O ----------------------------------------------------------------------

    def write(self, data: Union[str, bytes]) -> int:
        """Sends bytes (a str is sent as UTF-8) to the instrument as they are; returns the
        count sent."""
        raw = data.encode("utf-8") if isinstance(data, str) else bytes(data)
        sent = c.ViInt64()
        self._call("HnVQR_viWrite", len(raw), raw, ctypes.byref(sent))
        return sent.value

    def read_bytes(self, max_size: int = 65536) -> bytes:
        """Reads one response of at most ``max_size`` bytes.

        The driver discards whatever of a response does not fit the buffer, so the buffer
        has one byte more than ``max_size``: a response that fills it raises OverflowError
        instead of coming back cut short."""
        if max_size <= 0:
            raise ValueError("max_size must be positive")
        handle = self.handle
        size = max_size + 1
        buffer = ctypes.create_string_buffer(size)
        count = c.ViInt64()
        status = c.library().HnVQR_viRead(handle, size, buffer, ctypes.byref(count))
        if status not in (_VI_SUCCESS_TERM_CHAR, _VI_SUCCESS_MAX_CNT):
            _check(handle, "HnVQR_viRead", status)
        received = max(0, min(count.value, size))
        if received > max_size:
            raise OverflowError(f"the response is longer than {max_size} bytes; the driver discarded the rest")
        return buffer.raw[:received]

    def read(self) -> str:
        """Reads one response as text, without its line ending."""
        return self.read_bytes().decode("utf-8", errors="replace").rstrip("\r\n")

    def query(self, command: str) -> str:
        """Writes a command (a line feed is added when missing) and reads the response, under
        the session lock so that no other thread's exchange comes in between."""
        if not command.endswith("\n"):
            command += "\n"
        with self.lock():
            self.write(command)
            return self.read()
