"""A live session against vqr-sim: the quickstart's steps, direct I/O, and a lost link."""

import pytest

import hnvqr


def test_live_scenario_against_the_emulator(emulator):
    process, resource = emulator
    with hnvqr.Session(resource, id_query=True, reset=True, options={"QueryInstrStatus": True}) as psu:
        assert psu.instrument_model == "VQR-A2" and psu.instrument_manufacturer == "Halvorn"
        assert "open" in repr(psu) and resource in repr(psu)
        psu.configure_voltage_level(12.0)
        psu.current_level = 1.0
        assert psu.outputs["CH1"].voltage_level == 12.0
        psu.output_enabled = True
        assert psu.output_enabled is True
        assert psu.measure(hnvqr.MeasurementType.VOLTAGE) == pytest.approx(12.0)
        assert psu.measure(hnvqr.MeasurementType.CURRENT) == pytest.approx(0.6)
        assert psu.query_output_state(hnvqr.OutputState.CONSTANT_VOLTAGE) is True
        assert psu.query_output_state(hnvqr.OutputState.CONSTANT_CURRENT) is False
        assert isinstance(psu.control_source, hnvqr.ControlSource)
        assert psu.system_io_session > 0
        psu.system_io_timeout = 4000
        assert psu.system_io_timeout == 4000
        assert psu.error_query().code == 0
        assert psu.query("*IDN?").startswith("Halvorn,VQR-A2")
        assert psu.write("VOLT 5\n") == len("VOLT 5\n")
        assert psu.voltage_level == 5.0
        # A response longer than the buffer is refused, never returned cut; nothing pending
        # is a time-out.
        psu.write("*IDN?\n")
        with pytest.raises(OverflowError):
            psu.read_bytes(max_size=4)
        assert psu.query("*IDN?").startswith("Halvorn,VQR-A2,")
        psu.system_io_timeout = 200
        with pytest.raises(hnvqr.TimeoutError) as caught:
            psu.read()
        assert isinstance(caught.value, TimeoutError) and caught.value.function == "HnVQR_viRead"
        psu.system_io_timeout = 5000
        # A command the instrument rejects surfaces through the status check.
        psu.write("NO:SUCH:COMMAND\n")
        with pytest.raises(hnvqr.InstrumentStatusError) as caught:
            psu.voltage_level = 6.0
        assert caught.value.description

        process.kill()
        process.wait()
        with pytest.raises((hnvqr.ConnectionLostError, hnvqr.IOError)) as caught:
            psu.measure(hnvqr.MeasurementType.VOLTAGE)
        assert caught.value.status < 0 and caught.value.description


def test_a_resource_nobody_answers_raises_resource_not_found(emulator):
    process, resource = emulator
    process.kill()
    process.wait()
    with pytest.raises(hnvqr.DriverError) as caught:
        hnvqr.Session(resource)
    assert caught.value.function == "HnVQR_InitWithOptions"
    assert "VI_ERROR_" in str(caught.value)
