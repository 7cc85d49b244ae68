"""Simulated sessions: every attribute's type and round trip, the functions, errors and
warnings, locking, and how the package finds the library."""

import os
import subprocess
import sys
import threading
import warnings

import pytest

import hnvqr
from hnvqr import session as session_module

_PYTHON_TYPES = {"ViInt32": int, "ViReal64": float, "ViBoolean": bool, "ViSession": int, "ViString": str}
_NOT_SUPPORTED = {"trigger_source", "triggered_current_limit", "triggered_voltage_level"}
# Direct I/O has no VISA session to show in simulation.
_LIVE_ONLY = {"system_io_session", "system_io_timeout"}
# Writes the driver refuses, with the exception: (value, exception class).
_REFUSED = {
    "interchange_check": (True, hnvqr.InvalidValueError),
    "simulate": (False, hnvqr.DriverError),
    "ovp_enabled": (False, hnvqr.InvalidValueError),
    "current_limit_behavior": (hnvqr.CurrentLimitBehavior.REGULATE, hnvqr.InvalidValueError),
}
# Attributes whose simulated read is fixed, whatever was written.
_FIXED_READ = {"output_enabled", "ovp_enabled", "current_limit_behavior"}


def _rows(export):
    return [(row["name"][len("HNVQR_ATTR_"):].lower(), row) for row in export["attributes"]]


def _value_to_write(name, row, current):
    if name in _REFUSED:
        refused = _REFUSED[name][0]
        return (not refused) if isinstance(refused, bool) else hnvqr.CurrentLimitBehavior.TRIP
    if row["enum"]:
        return list(getattr(hnvqr, row["enum"]))[-1]
    return {"ViReal64": 7.25, "ViBoolean": not current, "ViInt32": 60}[row["type"]]


def test_every_attribute_reads_as_its_type_and_writes_back(psu, export):
    for name, row in _rows(export):
        if name in _NOT_SUPPORTED:
            with pytest.raises(hnvqr.NotSupportedError):
                getattr(psu, name)
            continue
        if name in _LIVE_ONLY:
            with pytest.raises(hnvqr.IOError):
                getattr(psu, name)
            continue
        value = getattr(psu, name)
        expected_type = getattr(hnvqr, row["enum"]) if row["enum"] else _PYTHON_TYPES[row["type"]]
        assert type(value) is expected_type, (name, value)
        if row["access"] == "R":
            with pytest.raises(AttributeError, match="read-only"):
                setattr(psu, name, value)
            continue
        new_value = _value_to_write(name, row, value)
        setattr(psu, name, new_value)
        if name not in _FIXED_READ:
            assert getattr(psu, name) == new_value, name
        if row["per_output"]:
            assert type(getattr(psu.outputs["CH1"], name)) is expected_type


def test_refused_and_unsupported_writes_raise_with_the_drivers_message(psu):
    for name, (value, error) in _REFUSED.items():
        with pytest.raises(error) as caught:
            setattr(psu, name, value)
        assert caught.value.status < 0 and caught.value.description, name
        assert caught.value.function.startswith("HnVQR_SetAttribute"), name
    with pytest.raises(hnvqr.DriverError) as caught:
        psu.simulate = False
    assert caught.value.description == "The simulation state cannot be changed."
    assert psu.simulate is True
    for call in (lambda: setattr(psu, "trigger_source", 1), psu.initiate, psu.abort, psu.send_software_trigger,
                 lambda: psu.configure_triggered_voltage_level(1.0)):
        with pytest.raises(hnvqr.NotSupportedError):
            call()


def test_values_of_the_wrong_type_or_size_never_reach_the_driver(psu):
    before = psu.voltage_level
    for name, value, error in [("voltage_level", "12", TypeError), ("voltage_level", True, TypeError),
                               ("current_level", None, TypeError), ("standard_event_enable_register", 1.5, TypeError),
                               ("standard_event_enable_register", 1 << 31, OverflowError),
                               ("standard_event_enable_register", -(1 << 31) - 1, OverflowError),
                               ("cache", "yes", TypeError)]:
        with pytest.raises(error):
            setattr(psu, name, value)
    assert psu.voltage_level == before
    psu.standard_event_enable_register = -(1 << 31)
    assert psu.standard_event_enable_register == -(1 << 31)


def test_output_objects_and_channel_errors(psu):
    assert list(psu.outputs) == ["CH1"] and len(psu.outputs) == 1 and "CH1" in psu.outputs
    psu.outputs["CH1"].voltage_level = 12.5
    assert psu.voltage_level == 12.5
    with pytest.raises(KeyError):
        psu.outputs[""]
    with pytest.raises(hnvqr.UnknownChannelError) as caught:
        psu.outputs["CH7"].configure_output_enabled(True)
    error = caught.value
    assert isinstance(error, LookupError)
    assert "CH7" in error.description and error.function == "HnVQR_ConfigureOutputEnabled"
    assert str(error).startswith(f"HnVQR_ConfigureOutputEnabled failed with status 0x{error.status & 0xFFFFFFFF:08X}: ")
    # The description was read once: the next error carries its own.
    with pytest.raises(hnvqr.InvalidValueError) as caught:
        psu.configure_ovp(False, 10.0)
    assert "CH7" not in caught.value.description


def test_functions_in_simulation(psu):
    psu.configure_voltage_level(12.0)
    psu.configure_current_limit(hnvqr.CurrentLimitBehavior.TRIP, 2.0)
    assert psu.current_limit == 2.0 == psu.over_current_protection_level
    psu.configure_ovp(True, 30.5)
    assert psu.ovp_limit == 30.5
    psu.configure_output_enabled(True)
    assert psu.measure(hnvqr.MeasurementType.VOLTAGE) == 0.0 == psu.measure_current()
    assert isinstance(psu.query_output_state(hnvqr.OutputState.CONSTANT_VOLTAGE), bool)
    assert psu.query_max_voltage_level(1.0) > 0 and psu.query_max_current_limit(1.0) > 0
    assert psu.error_query() == (0, "No error.") and psu.error_query().code == 0
    result = psu.self_test()
    assert result.passed and result.message
    assert psu.revision_query().driver == "1.0.2.0"
    assert psu.specific_driver_prefix == "HnVQR" and psu.instrument_model == "VQR-A2"
    psu.reset()
    psu.reset_with_defaults()
    psu.invalidate_all_attributes()
    psu.clear_status()
    assert psu.channel_names() == ["CH1"]


def test_context_manager_close_and_repr():
    with hnvqr.Session.simulated() as psu:
        assert psu.instrument_model == "VQR-B6"
        text = repr(psu)
        assert "TCPIP0::simulated::5025::SOCKET" in text and "VQR-B6" in text and "simulated" in text
    assert psu.closed and "closed" in repr(psu)
    psu.close()  # closing twice does nothing
    with pytest.raises(hnvqr.InvalidSessionError):
        psu.voltage_level


def test_opening_errors_raise_with_the_drivers_message():
    with pytest.raises(hnvqr.OptionStringError) as caught:
        hnvqr.Session("TCPIP0::simulated::5025::SOCKET", options="Simulate=maybe")
    assert caught.value.function == "HnVQR_InitWithOptions" and caught.value.description
    with pytest.raises(TypeError):
        hnvqr.Session()
    with pytest.raises(TypeError):
        hnvqr.Session("a", logical_name="b")


def test_logical_name_from_the_configuration_store(tmp_path, monkeypatch):
    store = os.path.join(os.environ["HNVQR_SOURCE_TREE"], "examples", "config-store.json")
    monkeypatch.setenv("IVI_CONFIG_STORE", store)
    with hnvqr.Session(logical_name="MyPSU") as psu:
        assert (psu.logical_name, psu.instrument_model, psu.simulate) == ("MyPSU", "VQR-A4", True)
        assert psu.query_instrument_status is True
    with pytest.raises(hnvqr.DriverError):
        hnvqr.Session(logical_name="NoSuchName")


def test_warnings_go_through_the_warnings_module():
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        session_module._check(0, "HnVQR_self_test", 0x3FFA0067)
    assert len(caught) == 1 and issubclass(caught[0].category, hnvqr.DriverWarning)
    warning = caught[0].message
    assert warning.status == 0x3FFA0067 and warning.function == "HnVQR_self_test" and warning.description


def test_lock_holds_off_other_threads(psu):
    order = []
    entered = threading.Event()

    def other():
        entered.set()
        psu.voltage_level = 3.0  # waits for the lock
        order.append("other")

    with psu.lock():
        thread = threading.Thread(target=other)
        thread.start()
        entered.wait()
        thread.join(0.2)
        order.append("holder")
        assert thread.is_alive()
    thread.join()
    assert order == ["holder", "other"] and psu.voltage_level == 3.0


def test_threads_share_a_session(psu):
    errors = []

    def work(level):
        try:
            for _ in range(200):
                psu.outputs["CH1"].voltage_level = level
                assert psu.voltage_level in (1.0, 2.0, 3.0, 4.0)
        except Exception as error:  # reported below
            errors.append(error)

    threads = [threading.Thread(target=work, args=(float(n),)) for n in range(1, 5)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert errors == []


def test_a_missing_library_names_every_place_tried(tmp_path):
    environment = dict(os.environ, HNVQR_LIBRARY=str(tmp_path / "missing.so"), LD_LIBRARY_PATH="")
    environment.pop("LD_PRELOAD", None)
    result = subprocess.run([sys.executable, "-c", "import hnvqr; hnvqr.Session.simulated()"],
                            env=environment, capture_output=True, text=True)
    assert result.returncode != 0
    assert "LibraryNotFoundError" in result.stderr
    # The library named on purpose is the only one tried.
    assert "missing.so (no such file)" in result.stderr and "libHnVQR.so.1" not in result.stderr
    assert "Check HNVQR_LIBRARY" in result.stderr
