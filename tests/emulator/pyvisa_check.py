"""Independent check of vqr-sim with PyVISA-py: open it over TCPIP SOCKET (or, with
--vxi11, over VXI-11 as TCPIP0::127.0.0.1::INSTR), ask *IDN?, send a command with an error
and read the error back. Exits 77 when PyVISA is missing."""
import subprocess
import sys

try:
    import pyvisa
except ImportError:
    print("pyvisa is not installed for this python; skipping")
    sys.exit(77)


def main(executable, vxi11):
    arguments = [executable, "--model", "VQR-A3"] + (["--vxi11"] if vxi11 else [])
    child = subprocess.Popen(arguments, stdout=subprocess.PIPE, text=True)
    try:
        resource = child.stdout.readline().strip()
        if vxi11:
            # PyVISA-py asks the portmapper on 111; ours runs on the port vqr-sim prints.
            portmapper_port = int(child.stdout.readline().split()[-1])
            import pyvisa_py.protocols.rpc as rpc
            rpc.PMAP_PORT = portmapper_port
        try:
            manager = pyvisa.ResourceManager("@py")
        except Exception as failure:  # no usable backend
            print("pyvisa-py backend unavailable: %s; skipping" % failure)
            return 77
        instrument = manager.open_resource(resource, read_termination="\n", write_termination="\n",
                                           timeout=3000)
        identity = instrument.query("*IDN?")
        fields = identity.split(",")
        assert len(fields) == 4 and fields[0] == "Halvorn" and fields[1] == "VQR-A3", identity
        instrument.write("VOLT 1000")
        error = instrument.query("SYST:ERR?")
        assert error == '-222,"Data out of range"', error
        assert int(instrument.query("*ESR?")) & 0x10, "execution error bit"
        assert instrument.query("SYST:ERR?") == '0,"No error"'
        instrument.write("VOLT 12.5")
        assert float(instrument.query("VOLT?")) == 12.5
        if vxi11:
            # A reply read in small pieces arrives whole, and a clear empties the output.
            instrument.write("*IDN?")
            pieces = instrument.read_bytes(5), instrument.read_bytes(len(identity) + 1 - 5)
            assert b"".join(pieces).decode() == identity + "\n", pieces
            instrument.write("*IDN?")
            instrument.clear()
            instrument.timeout = 300
            try:
                instrument.read()
                raise AssertionError("a reply survived the clear")
            except pyvisa.errors.VisaIOError as failure:
                assert failure.error_code == pyvisa.constants.StatusCode.error_timeout, failure
        instrument.close()
        manager.close()
    finally:
        child.terminate()
        code = child.wait(timeout=5)
    assert code == 0, "vqr-sim exited with %d" % code
    print("pyvisa check passed" + (" over VXI-11" if vxi11 else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], "--vxi11" in sys.argv[2:]))
