import json
import os
import shutil
import subprocess
from typing import Iterator

import pytest

import hnvqr


@pytest.fixture(scope="session")
def export() -> dict:
    with open(os.environ["HNVQR_ATTRIBUTE_EXPORT"], encoding="utf-8") as f:
        return json.load(f)


@pytest.fixture
def psu() -> Iterator[hnvqr.Session]:
    with hnvqr.Session.simulated("VQR-A2") as session:
        yield session


@pytest.fixture
def emulator() -> Iterator[tuple]:
    """A vqr-sim on a loopback port: (process, resource string)."""
    program = os.environ.get("VQR_SIM")
    if not program:
        pytest.skip("vqr-sim is not built")
    process = subprocess.Popen([program, "--model", "VQR-A2", "--load-ohms", "20"], stdout=subprocess.PIPE,
                               text=True)
    try:
        resource = process.stdout.readline().strip()
        assert resource.startswith("TCPIP"), resource
        yield process, resource
    finally:
        process.kill()
        process.wait()
