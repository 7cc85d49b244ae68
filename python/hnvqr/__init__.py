"""HnVQR: Python sessions on Halvorn VQR DC power supplies, over the IVI-C driver libHnVQR.so.

    import hnvqr
    with hnvqr.Session.simulated("VQR-A2") as psu:
        psu.configure_voltage_level(12.0)
        psu.output_enabled = True
        print(psu.measure(hnvqr.MeasurementType.VOLTAGE))
"""

from ._attributes import *  # noqa: F401,F403  (the enums of the driver's values)
from ._attributes import __all__ as _enum_names
from .errors import (ConnectionLostError, DriverError, DriverWarning, InstrumentStatusError, InvalidSessionError,
                     InvalidValueError, IOError, LibraryNotFoundError, NotSupportedError, OptionStringError,
                     ResourceNotFoundError, TimeoutError, UnknownAttributeError, UnknownChannelError)
from .session import InstrumentError, Output, Revision, SelfTestResult, Session

__version__ = "1.0.2"

__all__ = list(_enum_names) + [
    "Session", "Output", "InstrumentError", "Revision", "SelfTestResult",
    "DriverError", "DriverWarning", "InstrumentStatusError", "TimeoutError", "ConnectionLostError", "IOError",
    "ResourceNotFoundError", "InvalidValueError", "UnknownChannelError", "UnknownAttributeError",
    "NotSupportedError", "OptionStringError", "InvalidSessionError", "LibraryNotFoundError",
]
