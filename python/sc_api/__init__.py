"""Spectral-image cubes from Python.

Open a cube (raw ``.raw``, compressed or fragmented ``.scdh``) and read it as numpy arrays::

    import sc_api
    with sc_api.open("demo-output/eds_acquired.scdh") as cube:
        spectrum = cube[64, 32]              # the spectrum of pixel x=32, y=64
        fe_map = cube.roi(630, 12)           # sum of channels 630..641 per pixel
        lazy = cube.to_dask()                # chunks read by the tasks themselves

Build cubes line by line with ``sc_api.build``; convert, import, check and remove them with
``convert``, ``import_rpl``, ``check``, ``remove``; ``sc_api.hyperspy.load`` makes HyperSpy signals. Failures
reported by the library raise ``sc_api.Error`` (with its ``code``); bad indices, shapes and
dtypes raise IndexError or ValueError.
"""

import importlib

from ._errors import ALLOCATION_ERROR, FILE_ERROR, FORMAT_ERROR, OK, OUT_OF_RANGE, WRITE_ERROR, Error
from .builder import Builder, build
from .cube import Cube, open
from .files import CheckReport, check, convert, import_rpl, remove

__all__ = [
    "Builder",
    "CheckReport",
    "Cube",
    "Error",
    "FILE_ERROR",
    "FORMAT_ERROR",
    "ALLOCATION_ERROR",
    "OK",
    "OUT_OF_RANGE",
    "WRITE_ERROR",
    "build",
    "check",
    "convert",
    "import_rpl",
    "open",
    "remove",
]


def __getattr__(name):
    # sc_api.hyperspy imports HyperSpy, which takes seconds: only when first used.
    if name == "hyperspy":
        return importlib.import_module(".hyperspy", __name__)
    raise AttributeError(f"module 'sc_api' has no attribute {name!r}")
