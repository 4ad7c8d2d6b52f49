"""Reading cubes as numpy arrays, and as dask arrays whose chunks are read where they run."""

import os
import uuid

import numpy as np

from . import _core
from ._indexing import resolve, resolve_area


def _scale(counts, factor):
    """Counts times the factor as float32, the product the library's spectrum reads make."""
    return counts.astype(np.float32) * np.float32(factor)


class Cube:
    """An open spectral-image cube of shape (height, width, depth).

    Indexing follows numpy: ``cube[y, x]`` is the spectrum of pixel (x, y), ``cube[y0:y1,
    x0:x1, c0:c1]`` a sub-cube, with negative indices and steps. Every read returns a new numpy
    array. Values are the stored counts (uint16) when the cube's factor is 1, otherwise the
    counts times the factor as float32; ``cube.counts[...]`` and ``scaled=False`` give the
    stored counts whatever the factor. Reads release the GIL, so threads read in parallel.

    A cube is closed by ``close()`` or by leaving a ``with`` block; reads then raise
    ``sc_api.Error``.
    """

    def __init__(self, path):
        self._path = os.fspath(path)
        self._reader = _core.CubeReader(self._path)
        self._shape = (self._reader.height, self._reader.width, self._reader.depth)
        self._factor = self._reader.factor
        self.counts = _Counts(self)

    # --- What the cube is -------------------------------------------------------------------

    @property
    def path(self):
        """The file name the cube was opened by."""
        return self._path

    @property
    def shape(self):
        return self._shape

    @property
    def ndim(self):
        return 3

    @property
    def factor(self):
        """Scale factor by which stored counts are multiplied when read."""
        return self._factor

    @property
    def dtype(self):
        """uint16 when the factor is 1, float32 otherwise."""
        return np.dtype(np.uint16) if self.factor == 1.0 else np.dtype(np.float32)

    @property
    def format(self):
        """'raw-vector', 'raw-image', 'scd' or 'fragmented'."""
        return self._reader.format

    @property
    def version(self):
        """Format version: 0 for raw cubes, 1 for compressed ones."""
        return self._reader.version

    @property
    def closed(self):
        return self._reader.closed

    @property
    def calibration(self):
        """The cube's energy scale as (eV per channel, eV of channel 0), or None when it has
        none (kept beside the cube in its ".calibration" file)."""
        return self._reader.calibration

    @property
    def energies(self):
        """Energy of each channel in keV, or None for a cube without calibration."""
        if self.calibration is None:
            return None
        ev_per_channel, offset_ev = self.calibration
        return (offset_ev + ev_per_channel * np.arange(self._shape[2])) / 1000.0

    @property
    def acquired(self):
        """Boolean map (height, width) of the pixels that hold acquired data (all True except
        in a fragmented cube whose areas do not cover the map)."""
        return self._reader.acquired()

    def __len__(self):
        return self.shape[0]

    def __repr__(self):
        state = "closed " if self.closed else ""
        return (
            f"<{state}sc_api.Cube {self._path!r} shape={self.shape} format={self.format!r} "
            f"factor={self.factor}>"
        )

    # --- Reads ------------------------------------------------------------------------------

    def read_counts(self, key):
        """``cube.counts[key]``: the stored counts selected by a numpy-style index."""
        if type(key) is tuple and len(key) == 2 and type(key[0]) is int and type(key[1]) is int:
            # cube[y, x], the most frequent read, without the general index machinery.
            height, width, _ = self._shape
            y, x = key
            if -height <= y < height and -width <= x < width:
                return self._reader.read_spectrum(y % height, x % width)
        selections = resolve(key, self.shape)
        bounds = [v for s in selections for v in (s.begin, s.end)]
        block = self._reader.read_block(*bounds)
        return block[tuple(s.pick for s in selections)].copy() if _picks(selections) else block

    def __getitem__(self, key):
        counts = self.read_counts(key)
        return counts if self._factor == 1.0 else _scale(counts, self._factor)

    def __array__(self, dtype=None):
        data = self[...]
        return data if dtype is None else data.astype(dtype, copy=False)

    def image(self, channel, scaled=True):
        """The image (height, width) of one channel; negative channels count from the end."""
        counts = self.read_counts((slice(None), slice(None), channel))
        return _scaled_if(counts, self.factor, scaled)

    def roi(self, first, count, area=None, scaled=True):
        """Per pixel, the sum of channels first .. first+count-1, as a (height, width) array,
        or over ``area`` only (two slices, e.g. ``np.s_[10:20, 30:40]``). Sums are exact
        (uint64, no wrap at 16 bits); with a factor other than 1 they are multiplied by it as
        float32 unless ``scaled=False``."""
        depth = self.shape[2]
        if first < 0 or count < 0 or first + count > depth:
            raise IndexError(
                f"channels {first} .. {first + count - 1} lie outside the {depth} channels of "
                f"a cube of shape {self.shape}"
            )
        (y0, y1), (x0, x1) = resolve_area(area, self.shape)
        sums = self._reader.sum_channels(y0, y1, x0, x1, first, first + count)
        return _scaled_if(sums, self.factor, scaled)

    def region_spectrum(self, mask, offset=(0, 0), scaled=True, return_count=False):
        """Sum of the spectra of the acquired pixels selected by ``mask`` (a 2-D boolean
        array), its element [i, j] lying on cube pixel (y0 + i, x0 + j) for ``offset`` = (y0,
        x0); parts of the mask outside the cube are ignored. Exact uint64 sums, scaled as by
        ``roi``. With ``return_count=True`` returns (spectrum, number of pixels summed)."""
        mask = np.asarray(mask)
        if mask.dtype != np.bool_ or mask.ndim != 2:
            raise ValueError(
                f"the mask must be a 2-D boolean array (any size, placed at offset), got "
                f"{mask.dtype} of shape {mask.shape}, for a cube of shape {self.shape}"
            )
        y0, x0 = (int(v) for v in offset)
        spectrum, pixels = self._reader.sum_region(mask, y0, x0)
        spectrum = _scaled_if(spectrum, self.factor, scaled)
        return (spectrum, pixels) if return_count else spectrum

    def to_dask(self, chunks=("auto", "auto", -1), scaled=True):
        """A dask array of the whole cube. Each chunk is read by a task that opens the cube by
        its path, so the array computes on any dask scheduler, a distributed cluster included,
        as long as the workers see the same path. ``chunks`` is as dask takes it; by default
        chunks hold whole spectra."""
        return _dask_array(os.path.abspath(self._path), self.shape, chunks, scaled, self.dtype)

    # --- Lifetime ---------------------------------------------------------------------------

    def close(self):
        """Releases the cube's files; waits for reads running in other threads."""
        self._reader.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.close()


class _Counts:
    """``cube.counts[key]``: the stored counts, whatever the factor."""

    def __init__(self, cube):
        self._cube = cube

    def __getitem__(self, key):
        return self._cube.read_counts(key)


def _picks(selections):
    return any(s.pick != slice(None) for s in selections)


def _scaled_if(values, factor, scaled):
    return _scale(values, factor) if scaled and factor != 1.0 else values


def open(path):
    """Opens the cube named by ``path``: its ``.scdh`` file (compressed or fragmented cube),
    its ``.raw`` or ``.rpl`` file (raw cube), or its name without extension. Raises
    ``sc_api.Error`` saying why when it does not open (``error.problem``: 'missing_file',
    'not_a_cube', 'damaged_header', 'foreign_layout', ...)."""
    return Cube(path)


def _read_chunk(path, rows, columns, channels, scaled):
    """One chunk of a dask array: opened, read and closed inside the task."""
    with open(path) as cube:
        counts = cube.counts[slice(*rows), slice(*columns), slice(*channels)]
        return _scaled_if(counts, cube.factor, scaled)


def _dask_array(path, shape, chunks, scaled, dtype):
    import dask.array as da
    from dask.base import tokenize
    from dask.highlevelgraph import HighLevelGraph

    dtype = dtype if scaled else np.dtype(np.uint16)
    if 0 in shape:
        # An empty cube is one empty chunk, however large its other dimensions are claimed.
        chunks = (-1, -1, -1)
    chunks = da.core.normalize_chunks(chunks, shape, dtype=dtype)
    # Each array gets a graph of its own: the files may change between two calls.
    name = "sc_api-read-" + tokenize(path, chunks, scaled, uuid.uuid4().hex)
    edges = [np.concatenate(([0], np.cumsum(c))).tolist() for c in chunks]
    layer = {}
    for i in range(len(chunks[0])):
        for j in range(len(chunks[1])):
            for k in range(len(chunks[2])):
                ranges = ((e[n], e[n + 1]) for e, n in zip(edges, (i, j, k)))
                layer[(name, i, j, k)] = (_read_chunk, path, *ranges, scaled)
    graph = HighLevelGraph.from_collections(name, layer, dependencies=())
    return da.Array(graph, name, chunks, dtype=dtype)
