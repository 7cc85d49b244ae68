"""The build backend of the package: setuptools', made to work without a network.

pip builds in an isolated environment and would download setuptools (and wheel) into it,
which fails offline. This backend asks pip for nothing and takes setuptools and wheel from
the interpreter's own site-packages (on Debian: python3-setuptools, python3-wheel), which
the isolated environment hides."""

import site
import sys
import sysconfig


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


prepare_metadata_for_build_wheel = _setuptools.prepare_metadata_for_build_wheel
build_wheel = _setuptools.build_wheel
build_sdist = _setuptools.build_sdist
if hasattr(_setuptools, "build_editable"):
    build_editable = _setuptools.build_editable
    prepare_metadata_for_build_editable = _setuptools.prepare_metadata_for_build_editable
