"""The build backend of the package: setuptools', made to work without a network.

pip builds in an isolated environment and would download setuptools (and wheel) into it,
which fails offline. This backend asks pip for nothing and takes setuptools and wheel from
the interpreter's own site-packages (on Debian: python3-setuptools, python3-wheel), which
the isolated environment hides."""

import os
import shutil
import site
import sys
import sysconfig
import tempfile


def _use_the_interpreters_setuptools() -> None:
    try:
        import setuptools  # noqa: F401
        import wheel  # noqa: F401
        return
    except ImportError:
        pass
    folders = [sysconfig.get_paths(vars={"base": sys.base_prefix, "platbase": sys.base_prefix})["purelib"]]
    folders += [p.replace(sys.prefix, sys.base_prefix, 1) for p in site.getsitepackages()]
    folders += ["/usr/lib/python3/dist-packages"]  # Debian's packages for its python3
    for folder in folders:
        if folder not in sys.path:
            sys.path.append(folder)


_use_the_interpreters_setuptools()

from setuptools import build_meta as _setuptools  # noqa: E402


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def get_requires_for_build_editable(config_settings=None):
    return []


def _in_a_copy(hook):
    """Runs a setuptools hook in a temporary copy of the sources, so that a build writes
    nothing (build/, *.egg-info) into the checkout, which may be read-only."""

    def run(*args, **kwargs):
        source = os.getcwd()
        # setup.py finds the driver's attribute export next to the sources; in the copy it
        # is told where that was.
        for export in (os.path.join(source, "attributes.json"),
                       os.path.join(source, "..", "build", "python", "attributes.json")):
            if "HNVQR_ATTRIBUTE_EXPORT" not in os.environ and os.path.isfile(export):
                os.environ["HNVQR_ATTRIBUTE_EXPORT"] = os.path.abspath(export)
        with tempfile.TemporaryDirectory(prefix="hnvqr-build-") as scratch:
            copy = os.path.join(scratch, "src")
            shutil.copytree(source, copy, ignore=shutil.ignore_patterns("build", "*.egg-info", "__pycache__"))
            os.chdir(copy)
            try:
                return hook(*args, **kwargs)
            finally:
                os.chdir(source)

    run.__name__ = hook.__name__
    return run


prepare_metadata_for_build_wheel = _in_a_copy(_setuptools.prepare_metadata_for_build_wheel)
build_wheel = _in_a_copy(_setuptools.build_wheel)
build_sdist = _in_a_copy(_setuptools.build_sdist)
if hasattr(_setuptools, "build_editable"):
    build_editable = _setuptools.build_editable
    prepare_metadata_for_build_editable = _setuptools.prepare_metadata_for_build_editable
