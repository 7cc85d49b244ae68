"""One PyVISA query() through libhnvisa, beside the same through PyVISA-py and beside a raw
socket sending the same bytes, all against one vqr-sim, in rounds taken in turn.
   /usr/bin/python3 bench/pyvisa_query.py LIBHNVISA VQR_SIM [QUERIES_PER_ROUND] [ROUNDS]
Prints the median time per query of each, and their ratio to the raw socket."""
import socket
import statistics
import subprocess
import sys
import time

try:
    import pyvisa
except ImportError:
    print("pyvisa bench: python3-pyvisa is not installed; skipped")
    sys.exit(0)

QUERY = "*IDN?"


def raw_client(host, port):
    connection = socket.create_connection((host, port))
    connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    pending = b""

    def query():
        nonlocal pending
        connection.sendall(QUERY.encode() + b"\n")
        while b"\n" not in pending:
            pending += connection.recv(4096)
        line, _, pending = pending.partition(b"\n")
        return line.decode()

    return query, connection.close


def visa_client(manager, resource):
    instrument = manager.open_resource(resource, read_termination="\n", write_termination="\n", timeout=5000)
    return (lambda: instrument.query(QUERY)), instrument.close


def main(library, simulator, per_round=200, rounds=9):
    process = subprocess.Popen([simulator, "--model", "VQR-A3"], stdout=subprocess.PIPE, text=True)
    try:
        resource = process.stdout.readline().strip()
        host, port = resource.split("::")[1], int(resource.split("::")[2])
        clients = {"raw socket": raw_client(host, port),
                   "PyVISA + libhnvisa": visa_client(pyvisa.ResourceManager(library), resource)}
        try:
            clients["PyVISA + PyVISA-py"] = visa_client(pyvisa.ResourceManager("@py"), resource)
        except Exception as failure:  # noqa: BLE001 - any backend failure means it is absent
            print("PyVISA-py unavailable (%s): its column is missing" % failure)
        expected = clients["raw socket"][0]()
        times = {name: [] for name in clients}
        for name, (query, _) in clients.items():
            for _ in range(20):  # warm up
                assert query() == expected, name
        for _ in range(rounds):
            for name, (query, _) in clients.items():
                started = time.perf_counter()
                for _ in range(per_round):
                    query()
                times[name].append((time.perf_counter() - started) / per_round)
        base = statistics.median(times["raw socket"])
        print("%-22s %14s %10s" % ("query() of " + QUERY, "median/query", "vs raw"))
        for name, samples in times.items():
            median = statistics.median(samples)
            print("%-22s %11.1f us %9.2fx" % (name, median * 1e6, median / base))
        for _, close in clients.values():
            close()
    finally:
        process.kill()
        process.wait()


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], *(int(a) for a in sys.argv[3:5]))
