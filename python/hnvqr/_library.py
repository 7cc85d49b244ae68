"""Finding and loading libHnVQR.so, and the C prototypes of its exports.

The library is the file named by the environment variable HNVQR_LIBRARY, when it is set
(and then only that file: a library named on purpose is never replaced by another one);
else libHnVQR.so.1 next to this package, or in the library folder that the build or
``cmake --install`` recorded beside it; else libHnVQR.so.1 from the dynamic loader's path."""

import ctypes
import os
import threading
from typing import List, Optional

from .errors import LibraryNotFoundError

ViStatus = ctypes.c_int32
ViSession = ctypes.c_uint32
ViAttr = ctypes.c_uint32
ViInt16 = ctypes.c_int16
ViInt32 = ctypes.c_int32
ViInt64 = ctypes.c_int64
ViReal64 = ctypes.c_double
ViBoolean = ctypes.c_uint16
ViString = ctypes.c_char_p
ViBuffer = ctypes.c_char_p  # a caller's writable buffer (ctypes.create_string_buffer)

_P = ctypes.POINTER
_LIBRARY_FILE = "libHnVQR.so.1"

# name: argument types; every export returns ViStatus.
_PROTOTYPES = {
    "HnVQR_init": [ViString, ViBoolean, ViBoolean, _P(ViSession)],
    "HnVQR_InitWithOptions": [ViString, ViBoolean, ViBoolean, ViString, _P(ViSession)],
    "HnVQR_close": [ViSession],
    "HnVQR_LockSession": [ViSession, _P(ViBoolean)],
    "HnVQR_UnlockSession": [ViSession, _P(ViBoolean)],
    "HnVQR_GetError": [ViSession, _P(ViStatus), ViInt32, ViBuffer],
    "HnVQR_ClearError": [ViSession],
    "HnVQR_error_message": [ViSession, ViStatus, ViBuffer],
    "HnVQR_error_query": [ViSession, _P(ViInt32), ViBuffer],
    "HnVQR_GetNextError": [ViSession, ViInt32, ViBuffer],
    "HnVQR_GetNextCoercionRecord": [ViSession, ViInt32, ViBuffer],
    "HnVQR_GetNextInterchangeWarning": [ViSession, ViInt32, ViBuffer],
    "HnVQR_ClearInterchangeWarnings": [ViSession],
    "HnVQR_ResetInterchangeCheck": [ViSession],
    "HnVQR_reset": [ViSession],
    "HnVQR_ResetWithDefaults": [ViSession],
    "HnVQR_Disable": [ViSession],
    "HnVQR_self_test": [ViSession, _P(ViInt16), ViBuffer],
    "HnVQR_revision_query": [ViSession, ViBuffer, ViBuffer],
    "HnVQR_InvalidateAllAttributes": [ViSession],
    "HnVQR_GetChannelName": [ViSession, ViInt32, ViInt32, ViBuffer],
    "HnVQR_GetAttributeViInt32": [ViSession, ViString, ViAttr, _P(ViInt32)],
    "HnVQR_GetAttributeViReal64": [ViSession, ViString, ViAttr, _P(ViReal64)],
    "HnVQR_GetAttributeViBoolean": [ViSession, ViString, ViAttr, _P(ViBoolean)],
    "HnVQR_GetAttributeViSession": [ViSession, ViString, ViAttr, _P(ViSession)],
    "HnVQR_GetAttributeViString": [ViSession, ViString, ViAttr, ViInt32, ViBuffer],
    "HnVQR_SetAttributeViInt32": [ViSession, ViString, ViAttr, ViInt32],
    "HnVQR_SetAttributeViReal64": [ViSession, ViString, ViAttr, ViReal64],
    "HnVQR_SetAttributeViBoolean": [ViSession, ViString, ViAttr, ViBoolean],
    "HnVQR_SetAttributeViSession": [ViSession, ViString, ViAttr, ViSession],
    "HnVQR_SetAttributeViString": [ViSession, ViString, ViAttr, ViString],
    "HnVQR_ConfigureVoltageLevel": [ViSession, ViString, ViReal64],
    "HnVQR_ConfigureCurrentLimit": [ViSession, ViString, ViInt32, ViReal64],
    "HnVQR_ConfigureOVP": [ViSession, ViString, ViBoolean, ViReal64],
    "HnVQR_ConfigureOutputEnabled": [ViSession, ViString, ViBoolean],
    "HnVQR_ConfigureOutputRange": [ViSession, ViString, ViInt32, ViReal64],
    "HnVQR_ResetOutputProtection": [ViSession, ViString],
    "HnVQR_QueryMaxCurrentLimit": [ViSession, ViString, ViReal64, _P(ViReal64)],
    "HnVQR_QueryMaxVoltageLevel": [ViSession, ViString, ViReal64, _P(ViReal64)],
    "HnVQR_QueryOutputState": [ViSession, ViString, ViInt32, _P(ViBoolean)],
    "HnVQR_Measure": [ViSession, ViString, ViInt32, _P(ViReal64)],
    "HnVQR_MeasureCurrent": [ViSession, _P(ViReal64)],
    "HnVQR_MeasureVoltage": [ViSession, _P(ViReal64)],
    "HnVQR_ConfigureTriggerSource": [ViSession, ViString, ViInt32],
    "HnVQR_ConfigureTriggeredVoltageLevel": [ViSession, ViString, ViReal64],
    "HnVQR_ConfigureTriggeredCurrentLimit": [ViSession, ViString, ViReal64],
    "HnVQR_Initiate": [ViSession],
    "HnVQR_Abort": [ViSession],
    "HnVQR_SendSoftwareTrigger": [ViSession],
    "HnVQR_ClearErrors": [ViSession],
    "HnVQR_ClearSelfTestResults": [ViSession],
    "HnVQR_ClearStatus": [ViSession],
    "HnVQR_SaveState": [ViSession],
    "HnVQR_SetOperationComplete": [ViSession],
    "HnVQR_StatusPreset": [ViSession],
    "HnVQR_CalculateRemoteSenseResistance": [ViSession, ViReal64],
    "HnVQR_ConfigureCurrentCalibration": [ViSession, ViReal64, ViReal64, ViReal64, ViReal64],
    "HnVQR_ConfigureVoltageCalibration": [ViSession, ViReal64, ViReal64, ViReal64, ViReal64],
    "HnVQR_SetMaxVoltageLevel": [ViSession],
    "HnVQR_SetMinVoltageLevel": [ViSession],
    "HnVQR_SetMaxCurrentLevel": [ViSession],
    "HnVQR_SetMinCurrentLevel": [ViSession],
    "HnVQR_SetMaxPowerLevel": [ViSession],
    "HnVQR_SetMinPowerLevel": [ViSession],
    "HnVQR_viRead": [ViSession, ViInt64, ViBuffer, _P(ViInt64)],
    "HnVQR_viWrite": [ViSession, ViInt64, ViBuffer, _P(ViInt64)],
}


def _candidates() -> List[str]:
    """The places to try, in order, each as a path or a bare name for the loader."""
    from_environment = os.environ.get("HNVQR_LIBRARY")
    if from_environment:
        return [from_environment]
    places = []
    here = os.path.dirname(os.path.abspath(__file__))
    places.append(os.path.join(here, _LIBRARY_FILE))
    try:
        from . import _location  # written by cmake --install
        places.append(os.path.normpath(os.path.join(here, _location.LIBRARY_DIRECTORY, _LIBRARY_FILE)))
    except ImportError:
        pass
    places.append(_LIBRARY_FILE)
    return places


def _load() -> ctypes.CDLL:
    tried = []
    for place in _candidates():
        if os.sep in place and not os.path.exists(place):
            tried.append(f"{place} (no such file)")
            continue
        try:
            library = ctypes.CDLL(place)
        except OSError as error:
            tried.append(f"{place} ({error})")
            continue
        for name, argtypes in _PROTOTYPES.items():
            function = getattr(library, name)
            function.argtypes = argtypes
            function.restype = ViStatus
        return library
    hint = ("Check HNVQR_LIBRARY, which names the library to load." if os.environ.get("HNVQR_LIBRARY")
            else "Set HNVQR_LIBRARY to the path of libHnVQR.so.1, or install the driver.")
    raise LibraryNotFoundError(
        "cannot load the HnVQR driver library; tried, in order:\n  " + "\n  ".join(tried) + "\n" + hint)


_library: Optional[ctypes.CDLL] = None
_library_lock = threading.Lock()


def library() -> ctypes.CDLL:
    """The loaded driver, loaded on first use (once, also with threads racing for it)."""
    global _library
    if _library is None:
        with _library_lock:
            if _library is None:
                _library = _load()
    return _library


# The VISA libraries the driver may have been linked with, ours first.
_VISA_LIBRARIES = ("libhnvisa.so.1", "libvisa.so")


def visa_status_description(status: int) -> str:
    """The VISA library's text for a VISA status (0xBFFF.... and 0x3FFF....), which the driver
    passes on unchanged and does not describe itself; empty when there is none. The driver
    has loaded its VISA library already, so this finds the same one."""
    for name in _VISA_LIBRARIES:
        try:
            visa = ctypes.CDLL(name)
        except OSError:
            continue
        function = visa.viStatusDesc
        function.argtypes = [ViSession, ViStatus, ViBuffer]
        function.restype = ViStatus
        text = ctypes.create_string_buffer(256)
        if function(0, status, text) >= 0 and text.value:
            return text.value.decode("utf-8", errors="replace")
    return ""
