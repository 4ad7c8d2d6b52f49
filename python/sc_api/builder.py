"""Building a cube line by line, as an acquisition delivers it."""

import os

import numpy as np

from . import _core


class Builder:
    """A cube being written one line at a time. Use it through ``sc_api.build`` as a context
    manager: leaving the block closes (completes) the cube, an exception cancels it (its
    files are removed)."""

    def __init__(self, path, width, height, depth, factor=1.0, order="vector"):
        if order not in ("vector", "image"):
            raise ValueError(f"order must be 'vector' or 'image', got {order!r}")
        self._path = os.fspath(path)
        self._shape = (int(height), int(width), int(depth))
        if min(self._shape) < 1:
            raise ValueError(f"a cube needs every dimension >= 1, got shape {self._shape}")
        self._builder = _core.CubeBuilder(
            self._path, self._shape[1], self._shape[0], self._shape[2], float(factor),
            order == "image",
        )

    @property
    def path(self):
        return self._path

    @property
    def shape(self):
        """(height, width, depth) of the cube being built."""
        return self._shape

    @property
    def lines_added(self):
        return self._builder.lines_added

    @property
    def closed(self):
        """True once the cube is closed or cancelled."""
        return not self._builder.open

    def add_line(self, line):
        """Appends the next line (top line first): a uint16 array of shape (width, depth),
        the spectra of the line's pixels. ValueError for another shape or dtype, or once the
        cube holds all its lines."""
        _, width, depth = self._shape
        if not isinstance(line, np.ndarray):
            raise ValueError(f"a line is a numpy array, got {type(line).__name__}")
        if line.shape != (width, depth):
            raise ValueError(
                f"a line of a cube of shape {self._shape} has shape (width, depth) = "
                f"{(width, depth)}, got {line.shape}"
            )
        if line.dtype != np.uint16:
            raise ValueError(
                f"a line holds uint16 counts, got {line.dtype} (convert it with "
                f"line.astype(np.uint16) once its values are known to fit)"
            )
        self._builder.add_line(np.ascontiguousarray(line))

    def roi(self, first, count):
        """ROI image (height, width) of channels first .. first+count-1 over the lines added
        so far, as the library composes it live: the sum times the factor, keeping the low
        16 bits (uint16); lines not yet added read 0."""
        if first < 0 or count < 0:
            raise IndexError(f"channels {first} + {count} outside a cube of shape {self._shape}")
        return self._builder.roi(first, count)

    def close(self):
        """Completes the cube."""
        self._builder.close()

    def cancel(self):
        """Abandons the cube and removes its files. Does nothing once closed."""
        self._builder.cancel()

    def __enter__(self):
        return self

    def __exit__(self, exc_type, exc, traceback):
        if exc_type is not None:
            self.cancel()
        elif not self.closed:
            self.close()


def build(path, width, height, depth, factor=1.0, order="vector"):
    """A Builder for the cube ``path``: compressed for a ``.scdh`` name, raw for a ``.raw``
    name (stored by ``order`` 'vector' or 'image'; raw cubes take no factor)::

        with sc_api.build("map.scdh", width=64, height=32, depth=1024) as builder:
            for y in range(32):
                builder.add_line(lines[y])      # uint16, shape (64, 1024)
    """
    return Builder(path, width, height, depth, factor, order)
