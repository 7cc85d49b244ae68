"""The exceptions and warnings of the package.

Every negative status of the driver is raised as a DriverError subclass chosen by the
status, carrying the status, the driver's description of it and the C function that
returned it. Positive statuses (warnings) are issued as DriverWarning through the warnings
module."""

import builtins
from typing import Dict, Type


def _hex(status: int) -> str:
    return f"0x{status & 0xFFFFFFFF:08X}"


class LibraryNotFoundError(ImportError):
    """libHnVQR.so could not be loaded; the message lists every place that was tried."""


class _DriverStatus:
    """What a status from the driver carries: the status, the driver's description of it and
    the C function that returned it."""

    status: int
    description: str
    function: str

    def _keep(self, status: int, description: str, function: str) -> None:
        self.status = status
        self.description = description
        self.function = function


class DriverError(_DriverStatus, Exception):
    """A negative status from the driver."""

    def __init__(self, status: int, description: str, function: str) -> None:
        self._keep(status, description, function)
        super().__init__(f"{function} failed with status {_hex(status)}: {description}")


class InstrumentStatusError(DriverError):
    """The instrument reported an error in its status (IVI_ERROR_INSTRUMENT_STATUS)."""


class TimeoutError(DriverError, builtins.TimeoutError):
    """An exchange with the instrument ran out of time (VI_ERROR_TMO, HNVQR_ERROR_IO_TIMEOUT)."""


class ConnectionLostError(DriverError, builtins.ConnectionError):
    """The link to the instrument dropped (VI_ERROR_CONN_LOST)."""


class IOError(DriverError):
    """Any other failure of the I/O with the instrument (VISA errors, HNVQR_ERROR_IO)."""


class ResourceNotFoundError(IOError):
    """The resource could not be opened: absent, unreachable or unknown."""


class InvalidValueError(DriverError, builtins.ValueError):
    """A value or parameter the driver refuses (invalid or not supported)."""


class UnknownChannelError(DriverError, builtins.LookupError):
    """A channel name or selector that names no output."""


class UnknownAttributeError(DriverError, builtins.LookupError):
    """An attribute ID that the driver does not know, or of another type."""


class NotSupportedError(DriverError):
    """A function or attribute that the supplies do not support."""


class OptionStringError(DriverError, builtins.ValueError):
    """A malformed option string."""


class InvalidSessionError(DriverError):
    """The session is closed or was never opened."""


class DriverWarning(_DriverStatus, UserWarning):
    """A positive status from the driver: the call succeeded with a remark."""

    def __init__(self, status: int, description: str, function: str) -> None:
        self._keep(status, description, function)
        super().__init__(f"{function} returned warning {_hex(status)}: {description}")


def _signed(status: int) -> int:
    return status - (1 << 32) if status & 0x80000000 else status


_ERROR_CLASSES: Dict[int, Type[DriverError]] = {
    _signed(status): cls
    for cls, statuses in (
        (InstrumentStatusError, [0xBFFA0001]),
        (TimeoutError, [0xBFFF0015, 0xBFFA4215]),
        (ConnectionLostError, [0xBFFF00A6]),
        (IOError, [0xBFFA4214]),
        (ResourceNotFoundError, [0xBFFF0011, 0xBFFF000E, 0xBFFA0060, 0xBFFA005B]),
        (InvalidValueError, [0xBFFA0010, 0xBFFA0013, 0xBFFA0058]),
        (UnknownChannelError, [0xBFFA0020, 0xBFFA0044, 0xBFFA0063, 0xBFFA0064, 0xBFFA0065, 0xBFFA0066,
                               0xBFFA0067]),
        (UnknownAttributeError, [0xBFFA000C, 0xBFFA000D, 0xBFFA000E, 0xBFFA0015]),
        (NotSupportedError, [0xBFFA0011, 0xBFFA0012, 0xBFFA2001]),
        (OptionStringError, [0xBFFA0049, 0xBFFA004A, 0xBFFA004B, 0xBFFA004C]),
        (InvalidSessionError, [0xBFFA1190, 0xBFFA001D]),
    )
    for status in statuses
}


def error_class(status: int) -> Type[DriverError]:
    """The exception class for a negative status."""
    cls = _ERROR_CLASSES.get(status)
    if cls is not None:
        return cls
    if (status & 0xFFFFFFFF) >> 16 == 0xBFFF:
        return IOError  # any other VISA error
    return DriverError
