"""Cube-level calls to the cube service of a running `sccube serve` host.

    from tuplink_client import open_cube, start_cube
    with start_cube("cubes/run1", width, height, depth, endpoint=EP) as builder:
        builder.new_area(0, 0, width, height)
        for line in lines:                      # numpy uint16 arrays of width x depth values
            builder.add_line(line)
        live = builder.roi(0, depth)            # (height, width) uint16
        builder.terminate()
    with open_cube("cubes/run1", endpoint=EP) as cube:
        spectrum = cube.spectrum(3, 2)          # depth float32 values
        images = cube.images(10, 4)             # (4, height, width) uint16

Every refusal raises CubeServiceError, which carries the call's status.
"""

import numpy as np

from . import statuses
from .client import Client
from .tuples import Tuple

SERVICE = "com.tarn.brix.mv.mv_svc"
CUBE_INTERFACE = "com.tarn.brix.mv.sc.sc_cube"
BUILDER_INTERFACE = "com.tarn.brix.mv.sc.sc_builder"
DEFAULT_ENDPOINT = "tcp://127.0.0.1:7723"


class CubeServiceError(RuntimeError):
    """A call of the cube service that did not answer 1."""

    def __init__(self, method, status):
        text = "refused" if status == -1 else statuses.status_text(status)
        super().__init__(f"{method}: status {status} ({text})")
        self.method = method
        self.status = status


class _Session:
    """One interface of one service instance, on a client of its own or the caller's."""

    def __init__(self, interface, client, endpoint, instance):
        self._own_client = client is None
        self._client = client if client is not None else Client(endpoint)
        self._interface = interface
        self._instance = instance

    def call(self, method, arguments):
        status, results = self._client.call(SERVICE, self._instance, self._interface, method,
                                            arguments)
        if status != 1:
            raise CubeServiceError(method, status)
        return results

    def close(self):
        if self._own_client:
            self._client.close()


def _area(area):
    x, y, width, height = area
    return (Tuple().set_int("x", x).set_int("y", y)
            .set_int("width", width).set_int("height", height))


def _samples(results, shape):
    return results["buffer"].view("<u2").reshape(shape)


class RemoteCube:
    """A compressed cube opened on the host by path; read it through its handle."""

    def __init__(self, path, client=None, endpoint=DEFAULT_ENDPOINT, instance="default"):
        self._session = _Session(CUBE_INTERFACE, client, endpoint, instance)
        try:
            self.handle = self._session.call("getCube", Tuple().set_string("path", path)).get_int(
                "handle")
        except Exception:
            self._session.close()
            raise
        self.width = self._ask("width", "w")
        self.height = self._ask("height", "h")
        self.depth = self._ask("depth", "d")

    def _arguments(self, **values):
        arguments = Tuple().set_int("handle", self.handle)
        for key, value in values.items():
            arguments.set_int(key, value)
        return arguments

    def _ask(self, method, key):
        return self._session.call(method, self._arguments()).get_int(key)

    def spectrum(self, x, y):
        """The spectrum of pixel (x, y): depth float32 values, times the cube's factor."""
        return self._session.call("getSpectrum", self._arguments(x=x, y=y))["spectrum"]["values"]

    def image(self, z):
        """The image of channel z: (height, width) uint16."""
        results = self._session.call("getImage", self._arguments(z=z))
        return _samples(results, (self.height, self.width))

    def images(self, z, count):
        """Images of channels z .. z+count-1: (count, height, width) uint16."""
        results = self._session.call("getImages", self._arguments(z=z, count=count))
        return _samples(results, (count, self.height, self.width))

    def roi(self, z, count, area=None):
        """The ROI image of channels z .. z+count-1: (height, width) uint16 of the whole cube,
        or (h, w) of area = (x, y, w, h)."""
        if area is None:
            results = self._session.call("computeRoiImage", self._arguments(z=z, count=count))
            return _samples(results, (self.height, self.width))
        arguments = self._arguments(z=z, count=count).set_tuple("area", _area(area))
        results = self._session.call("computeSubRoiImage", arguments)
        return _samples(results, (area[3], area[2]))

    def release(self):
        """Gives the handle back; the cube closes on the host when its last holder releases."""
        if self.handle is not None:
            try:
                self._session.call("releaseCube", self._arguments())
            finally:
                self.handle = None
                self._session.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.release()


class RemoteCubeBuilder:
    """A fragmented cube built on the host while it is acquired, area by area, line by line."""

    def __init__(self, name, width, height, depth, factor=1.0, client=None,
                 endpoint=DEFAULT_ENDPOINT, instance="default"):
        self._session = _Session(BUILDER_INTERFACE, client, endpoint, instance)
        arguments = (Tuple().set_string("name", name).set_int("width", width)
                     .set_int("height", height).set_int("depth", depth)
                     .set_float("factor", factor))
        try:
            self.handle = self._session.call("start", arguments).get_int("handle")
        except Exception:
            self._session.close()
            raise
        self.width, self.height, self.depth = width, height, depth
        self._owner = True

    @classmethod
    def attach(cls, handle, client=None, endpoint=DEFAULT_ENDPOINT, instance="default"):
        """A view of a cube that another client builds under `handle`, for example to watch
        its live ROI image. Leaving it (or release()) does not release that handle."""
        builder = cls.__new__(cls)
        builder._session = _Session(BUILDER_INTERFACE, client, endpoint, instance)
        builder.handle = handle
        builder._owner = False
        try:
            builder.width, builder.height, builder.depth = (
                builder._session.call(method, builder._arguments()).get_int(key)
                for method, key in (("width", "w"), ("height", "h"), ("depth", "d")))
        except Exception:
            builder._session.close()
            raise
        return builder

    def _arguments(self):
        return Tuple().set_int("handle", self.handle)

    def new_area(self, x, y, width, height):
        """Starts the next area, in cube coordinates; its lines follow, top line first."""
        self._session.call("startNewArea", self._arguments().set_tuple(
            "area", _area((x, y, width, height))))

    def add_line(self, spectra):
        """Sends the next line of the current area: its width x depth counts, pixel after
        pixel (any array that converts to uint16 of that many values)."""
        line = np.ascontiguousarray(spectra, dtype="<u2")
        self._session.call("addSpectrumLine", self._arguments().set_blob("spectrums", line))

    def roi(self, z, count):
        """The ROI image of channels z .. z+count-1 of everything received: (height, width)."""
        arguments = self._arguments().set_int("z", z).set_int("count", count)
        return _samples(self._session.call("computeRoiImage", arguments),
                        (self.height, self.width))

    @property
    def terminated(self):
        return self._session.call("getStatus", self._arguments()).get_int("status") == 1

    def terminate(self):
        """Finishes the cube on the host; its files are complete afterwards."""
        self._session.call("terminate", self._arguments())

    def release(self):
        """Gives the handle back (closing the cube on the host if it was not terminated); an
        attached view only lets go of its connection."""
        if self.handle is not None:
            try:
                if self._owner:
                    self._session.call("release", self._arguments())
            finally:
                self.handle = None
                self._session.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.release()


def open_cube(path, client=None, endpoint=DEFAULT_ENDPOINT, instance="default"):
    """Opens the compressed cube `path` (a name without extension, relative to the host's
    root) on the host; see RemoteCube."""
    return RemoteCube(path, client, endpoint, instance)


def start_cube(name, width, height, depth, factor=1.0, client=None, endpoint=DEFAULT_ENDPOINT,
               instance="default"):
    """Starts building the fragmented cube `name` on the host; see RemoteCubeBuilder."""
    return RemoteCubeBuilder(name, width, height, depth, factor, client, endpoint, instance)
