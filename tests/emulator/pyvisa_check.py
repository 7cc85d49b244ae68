"""Independent check of vqr-sim with PyVISA-py: open it over TCPIP SOCKET, ask *IDN?,
send a command with an error and read the error back. Exits 77 when PyVISA is missing."""
import subprocess
import sys

try:
    import pyvisa
except ImportError:
    print("pyvisa is not installed for this python; skipping")
    sys.exit(77)


def main(executable):
    child = subprocess.Popen([executable, "--model", "VQR-A3"], stdout=subprocess.PIPE, text=True)
    try:
        resource = child.stdout.readline().strip()
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
        instrument.close()
        manager.close()
    finally:
        child.terminate()
        code = child.wait(timeout=5)
    assert code == 0, "vqr-sim exited with %d" % code
    print("pyvisa check passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
