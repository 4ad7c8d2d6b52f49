"""A client for tuplink hosts, written from docs/protocol.md.

    from tuplink_client import Client, Tuple
    with Client("tcp://127.0.0.1:7723") as client:
        status, results = client.call("com.example.svc", "default", "com.example.svc.cube",
                                      "getImage", Tuple().set_int("handle", 0).set_int("z", 3))
        image = results["buffer"]            # numpy uint8 array viewing the received bytes
        samples = image.view("<u2")          # 16-bit little-endian samples, no copy

Blobs come back as read-only numpy uint8 arrays and float arrays as read-only numpy float32
arrays. Both view the bytes that the msgpack decoder produced: the message is copied once,
by the decoder, and never element by element.

For the cube service of `sccube serve`, open_cube(path) and start_cube(name, ...) give cube-level
objects (tuplink_client.cube_service).
"""

from .client import Client
from .cube_service import CubeServiceError, RemoteCube, RemoteCubeBuilder, open_cube, start_cube
from .tuples import (
    TYPE_BLOB,
    TYPE_BOOL,
    TYPE_FLOAT,
    TYPE_FLOAT_ARRAY,
    TYPE_INT,
    TYPE_INT_LIST,
    TYPE_STRING,
    TYPE_TUPLE,
    TYPE_TUPLE_LIST,
    Tuple,
)
from .statuses import *  # noqa: F401,F403  the status constants and status_text

__all__ = ["Client", "Tuple", "open_cube", "start_cube", "RemoteCube", "RemoteCubeBuilder",
           "CubeServiceError"]
