"""libhnvisa as the VISA library of PyVISA's own (ctypes) backend, driving vqr-sim over
TCPIP SOCKET and over its pseudo-terminal."""
import os
import subprocess
import threading
import time

import pytest

pyvisa = pytest.importorskip("pyvisa", reason="python3-pyvisa is not installed for this python")
from pyvisa import constants, errors  # noqa: E402
from pyvisa.constants import ResourceAttribute, StatusCode  # noqa: E402


@pytest.fixture
def manager(monkeypatch):
    library = os.environ.get("HNVISA_LIBRARY")
    if not library:
        pytest.skip("HNVISA_LIBRARY (the built libhnvisa) is not set")
    monkeypatch.setenv("HNVISA_RESOURCES_FILE", "/dev/null")  # no user file in the way
    rm = pyvisa.ResourceManager(library)
    yield rm
    rm.close()


def start_sim(*arguments):
    program = os.environ.get("VQR_SIM")
    if not program:
        pytest.skip("vqr-sim is not built")
    process = subprocess.Popen([program, "--model", "VQR-A2", *arguments], stdout=subprocess.PIPE, text=True)
    return process, process.stdout.readline().strip()


@pytest.fixture
def sim():
    process, resource = start_sim()
    yield process, resource
    process.kill()
    process.wait()


def open_instrument(rm, resource, **options):
    options.setdefault("read_termination", "\n")
    options.setdefault("write_termination", "\n")
    options.setdefault("timeout", 3000)
    return rm.open_resource(resource, **options)


def error_code(raised):
    return raised.value.error_code


def test_every_function_pyvisa_binds_is_present(manager):
    assert manager.visalib.lib._functions_failed == []
    assert "viParseRsrcEx" in manager.visalib.lib._functions


def test_lists_the_named_resources_and_parses_names(manager, sim, monkeypatch):
    _, resource = sim
    monkeypatch.setenv("HNVISA_RESOURCES", resource + ";TCPIP0::192.0.2.1::INSTR")
    assert resource in manager.list_resources("?*")
    assert manager.list_resources("TCPIP?*::SOCKET") == (resource,)
    assert resource not in manager.list_resources()  # the default query is ?*::INSTR
    assert manager.list_resources("NOSUCH?*") == ()  # PyVISA's reading of VI_ERROR_RSRC_NFOUND
    info = manager.resource_info(resource.lower().replace("tcpip0", "tcpip"))
    assert (info.interface_type, info.interface_board_number) == (constants.InterfaceType.tcpip, 0)
    assert (info.resource_class, info.resource_name) == ("SOCKET", resource)


def test_socket_session(manager, sim):
    process, resource = sim
    psu = open_instrument(manager, resource)
    identity = psu.query("*IDN?")
    assert identity.split(",")[:2] == ["Halvorn", "VQR-A2"]
    psu.write("VOLT 12.5")
    assert psu.query_ascii_values("VOLT?") == [12.5]
    psu.write("*CLS")
    assert 0 <= psu.read_stb() <= 255
    psu.write("VOLT 1000")  # out of range: an error in the queue
    assert psu.read_stb() & 0x04, "error/event queue bit"
    assert psu.query("SYST:ERR?").startswith("-222")

    # A reply taken in pieces; a clear drops what was not read.
    psu.write("*IDN?")
    assert psu.read_bytes(5) + psu.read_bytes(len(identity) - 4) == (identity + "\n").encode()
    psu.write("*IDN?")
    time.sleep(0.1)
    psu.clear()
    psu.timeout = 200
    with pytest.raises(errors.VisaIOError) as raised:
        psu.read()
    assert error_code(raised) == StatusCode.error_timeout
    psu.timeout = 3000
    assert psu.query("*IDN?") == identity

    # A lost connection is told apart from a time-out, and reported at once.
    process.kill()
    process.wait()
    started = time.monotonic()
    with pytest.raises(errors.VisaIOError) as raised:
        psu.query("*IDN?")
    assert error_code(raised) == StatusCode.error_connection_lost
    assert time.monotonic() - started < 2
    psu.close()


def test_attributes_as_pyvisa_expects_them(manager, sim):
    _, resource = sim
    psu = open_instrument(manager, resource)
    assert (psu.resource_name, psu.resource_class) == (resource, "SOCKET")
    assert psu.interface_type == constants.InterfaceType.tcpip
    assert psu.lock_state == constants.AccessModes.no_lock
    assert psu.spec_version > 0 and psu.implementation_version > 0 and psu.resource_manufacturer_name
    # Time-outs (PyVISA's own expectations for a message-based resource).
    psu.timeout = None
    assert psu.timeout == float("+inf")
    assert psu.get_visa_attribute(ResourceAttribute.timeout_value) == constants.VI_TMO_INFINITE
    psu.timeout = 0
    assert psu.get_visa_attribute(ResourceAttribute.timeout_value) == constants.VI_TMO_IMMEDIATE
    psu.timeout = 10
    assert psu.get_visa_attribute(ResourceAttribute.timeout_value) == 10
    del psu.timeout
    assert psu.timeout == float("+inf")
    psu.timeout = 3000
    # Termination characters.
    psu.write_termination = "\r\n"
    assert psu.write_termination == "\r\n"
    psu.read_termination = "\r\0"
    assert psu.get_visa_attribute(ResourceAttribute.termchar) == 0
    assert psu.get_visa_attribute(ResourceAttribute.termchar_enabled)
    psu.read_termination = None
    assert psu.get_visa_attribute(ResourceAttribute.termchar) == ord("\n")
    assert not psu.get_visa_attribute(ResourceAttribute.termchar_enabled)
    psu.read_termination = "\n"
    psu.write_termination = "\n"
    psu.write_raw(b"*IDN?\n")
    assert psu.read_raw().endswith(b"\n")
    with pytest.raises(errors.VisaIOError) as raised:
        psu.set_visa_attribute(ResourceAttribute.resource_name, 0)
    assert error_code(raised) == StatusCode.error_attribute_read_only
    with pytest.raises(errors.VisaIOError) as raised:
        manager.visalib.gpib_control_ren(psu.session, constants.RENLineOperation.asrt)
    assert error_code(raised) == StatusCode.error_nonsupported_operation
    psu.close()


def test_locks_from_two_threads(manager, sim):
    _, resource = sim
    first, second = open_instrument(manager, resource), open_instrument(manager, resource)
    first.lock_excl()
    assert first.lock_state == constants.AccessModes.exclusive_lock
    outcome = {}

    def contend():
        with pytest.raises(errors.VisaIOError) as refused:
            second.query("*IDN?")
        outcome["refused"] = error_code(refused)
        with pytest.raises(errors.VisaIOError) as waited:
            second.lock_excl(timeout=100)
        outcome["waited"] = error_code(waited)
        second.lock_excl(timeout=5000)  # granted when the first lets go
        outcome["identity"] = second.query("*IDN?")
        second.unlock()

    worker = threading.Thread(target=contend)
    worker.start()
    time.sleep(0.4)
    assert first.query("*IDN?")
    first.unlock()
    worker.join(10)
    assert outcome["refused"] == StatusCode.error_resource_locked
    assert outcome["waited"] == StatusCode.error_timeout
    assert outcome["identity"].startswith("Halvorn")

    # Shared: whoever presents the key gets in, nobody else.
    third = open_instrument(manager, resource)
    key = first.lock()
    second.lock(requested_key=key)
    assert first.query("*IDN?") and second.query("*IDN?")
    with pytest.raises(errors.VisaIOError):
        third.query("*IDN?")
    with third.lock_context(requested_key=key) as shared_key:
        assert shared_key == key and third.query("*IDN?")
    second.unlock()
    first.unlock()
    assert third.query("*IDN?")
    for instrument in (first, second, third):
        instrument.close()


def test_serial_session_over_the_pty(manager):
    process, resource = start_sim("--serial")
    try:
        assert resource.startswith("ASRL/dev/")
        psu = open_instrument(manager, resource)
        assert psu.interface_type == constants.InterfaceType.asrl
        psu.baud_rate = 57600
        assert psu.baud_rate == 57600
        assert psu.query("*IDN?").startswith("Halvorn,VQR-A2")
        psu.write("VOLT 3.25")
        assert float(psu.query("VOLT?")) == 3.25
        assert 0 <= psu.read_stb() <= 255
        psu.clear()
        assert psu.query("*IDN?").startswith("Halvorn")
        psu.close()
    finally:
        process.kill()
        process.wait()


def test_vxi11_status_byte_and_clear(manager, monkeypatch):
    process, resource = start_sim("--vxi11")
    try:
        monkeypatch.setenv("HNVISA_VXI11_PORTMAPPER_PORT", process.stdout.readline().split()[-1])
        psu = open_instrument(manager, resource)
        psu.write("VOLT 1000")
        assert psu.read_stb() & 0x04, "device_readstb sees the error queue"
        psu.write("*IDN?")
        psu.clear()  # device_clear: the reply is gone
        psu.timeout = 300
        with pytest.raises(errors.VisaIOError) as raised:
            psu.read()
        assert error_code(raised) == StatusCode.error_timeout
        psu.close()
    finally:
        process.kill()
        process.wait()
