"""Builds the package with hnvqr/_attributes.py generated from the driver's attribute export.

The export (attributes.json) is written by the driver's build (`make build` writes
build/python/attributes.json). It is taken from HNVQR_ATTRIBUTE_EXPORT when that is set,
else from the build tree next to this folder; a tree that already holds a generated
hnvqr/_attributes.py (the copy in the build tree) uses that."""

import os
import sys

from setuptools import setup
from setuptools.command.build_py import build_py

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import generate_attributes  # noqa: E402


def _export_path() -> str:
    candidates = [os.environ.get("HNVQR_ATTRIBUTE_EXPORT", ""),
                  os.path.join(HERE, "attributes.json"),
                  os.path.join(HERE, "..", "build", "python", "attributes.json")]
    for path in candidates:
        if path and os.path.isfile(path):
            return path
    raise SystemExit("hnvqr: no attribute export found; build the driver first (make build), or set "
                     "HNVQR_ATTRIBUTE_EXPORT to its attributes.json. Tried: "
                     + ", ".join(p for p in candidates if p))


class BuildWithAttributes(build_py):
    def run(self) -> None:
        super().run()
        target = os.path.join(self.build_lib, "hnvqr", "_attributes.py")
        if os.path.isfile(os.path.join(HERE, "hnvqr", "_attributes.py")):
            return  # copied by build_py already
        import json
        with open(_export_path(), encoding="utf-8") as f:
            text = generate_attributes.generate(json.load(f))
        with open(target, "w", encoding="utf-8") as f:
            f.write(text)


setup(cmdclass={"build_py": BuildWithAttributes})
