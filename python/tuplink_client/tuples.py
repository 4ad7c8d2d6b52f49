"""Typed tuples and their msgpack form (docs/protocol.md, "Tuple")."""

import numpy as np

TYPE_BOOL = 2
TYPE_INT = 3
TYPE_FLOAT = 5
TYPE_STRING = 7
TYPE_BLOB = 9
TYPE_FLOAT_ARRAY = 14
TYPE_TUPLE = 16
TYPE_INT_LIST = 18
TYPE_TUPLE_LIST = 31

_INT_MIN, _INT_MAX = -(2**31), 2**31 - 1


class Tuple:
    """A class name plus at most one typed value per key.

    Setters return the tuple, so they chain. ``t[key]`` gives the value, ``t.type_of(key)`` its
    type code; ``t.get_int(key)`` and ``t.get_float(key)`` read 0 for a missing key as methods do.
    """

    def __init__(self, class_name=""):
        self.class_name = class_name
        self._values = {}  # key -> (type code, value)

    def set(self, key, type_code, value):
        self._values[key] = (type_code, _checked(type_code, value))
        return self

    def set_bool(self, key, value):
        return self.set(key, TYPE_BOOL, bool(value))

    def set_int(self, key, value):
        return self.set(key, TYPE_INT, int(value))

    def set_float(self, key, value):
        return self.set(key, TYPE_FLOAT, float(value))

    def set_string(self, key, value):
        return self.set(key, TYPE_STRING, str(value))

    def set_blob(self, key, value):
        """Any bytes-like object or numpy array; numpy arrays travel in their memory order."""
        return self.set(key, TYPE_BLOB, value)

    def set_float_array(self, key, values):
        return self.set(key, TYPE_FLOAT_ARRAY, np.ascontiguousarray(values, dtype="<f4"))

    def set_tuple(self, key, value):
        return self.set(key, TYPE_TUPLE, value)

    def set_int_list(self, key, values):
        return self.set(key, TYPE_INT_LIST, [int(v) for v in values])

    def set_tuple_list(self, key, values):
        return self.set(key, TYPE_TUPLE_LIST, list(values))

    def __getitem__(self, key):
        return self._values[key][1]

    def __contains__(self, key):
        return key in self._values

    def __len__(self):
        return len(self._values)

    def keys(self):
        return self._values.keys()

    def type_of(self, key):
        return self._values[key][0]

    def get_int(self, key):
        entry = self._values.get(key)
        return entry[1] if entry and entry[0] == TYPE_INT else 0

    def get_float(self, key):
        entry = self._values.get(key)
        return entry[1] if entry and entry[0] == TYPE_FLOAT else 0.0

    def __eq__(self, other):
        if not isinstance(other, Tuple) or self.class_name != other.class_name:
            return False
        if self._values.keys() != other._values.keys():
            return False
        return all(_same(self._values[k], other._values[k]) for k in self._values)

    def __repr__(self):
        return f"Tuple({self.class_name!r}, {self._values!r})"

    # msgpack form

    def to_wire(self):
        values = {key: [code, _encode(code, value)] for key, (code, value) in self._values.items()}
        return [self.class_name, values]

    @classmethod
    def from_wire(cls, wire, depth=0):
        """The tuple of a decoded msgpack object; ValueError when it is not one."""
        if depth > 32 or not isinstance(wire, (list, tuple)) or len(wire) != 2:
            raise ValueError("not a tuple")
        class_name, values = wire
        if not isinstance(class_name, str) or not isinstance(values, dict):
            raise ValueError("not a tuple")
        result = cls(class_name)
        for key, entry in values.items():
            if not isinstance(key, str) or not isinstance(entry, (list, tuple)) or len(entry) != 2:
                raise ValueError("bad tuple entry")
            code, value = entry
            result._values[key] = (code, _decode(code, value, depth))
        return result


def _checked(code, value):
    if code == TYPE_INT and not _INT_MIN <= value <= _INT_MAX:
        raise ValueError("int out of range")
    if code not in _ENCODERS:
        raise ValueError(f"unknown type code {code}")
    return value


def _blob_bytes(value):
    if isinstance(value, np.ndarray):
        return memoryview(np.ascontiguousarray(value)).cast("B")
    return memoryview(value).cast("B")


_ENCODERS = {
    TYPE_BOOL: bool,
    TYPE_INT: int,
    TYPE_FLOAT: float,
    TYPE_STRING: str,
    TYPE_BLOB: _blob_bytes,
    TYPE_FLOAT_ARRAY: lambda v: memoryview(np.ascontiguousarray(v, dtype="<f4")).cast("B"),
    TYPE_TUPLE: lambda v: v.to_wire(),
    TYPE_INT_LIST: lambda v: [int(x) for x in v],
    TYPE_TUPLE_LIST: lambda v: [t.to_wire() for t in v],
}


def _encode(code, value):
    return _ENCODERS[code](value)


def _decode(code, value, depth):
    if code == TYPE_BOOL and isinstance(value, bool):
        return value
    if code == TYPE_INT and isinstance(value, int) and not isinstance(value, bool):
        return value
    if code == TYPE_FLOAT and isinstance(value, (float, int)) and not isinstance(value, bool):
        return float(value)
    if code == TYPE_STRING and isinstance(value, str):
        return value
    if code == TYPE_BLOB and isinstance(value, bytes):
        return np.frombuffer(value, dtype=np.uint8)
    if code == TYPE_FLOAT_ARRAY and isinstance(value, bytes) and len(value) % 4 == 0:
        return np.frombuffer(value, dtype="<f4")
    if code == TYPE_TUPLE:
        return Tuple.from_wire(value, depth + 1)
    if code == TYPE_INT_LIST and isinstance(value, list):
        if all(isinstance(v, int) and not isinstance(v, bool) for v in value):
            return value
    if code == TYPE_TUPLE_LIST and isinstance(value, list):
        return [Tuple.from_wire(v, depth + 1) for v in value]
    raise ValueError(f"value does not match type code {code}")


def _same(a, b):
    (code_a, value_a), (code_b, value_b) = a, b
    if code_a != code_b:
        return False
    if code_a in (TYPE_BLOB, TYPE_FLOAT_ARRAY):
        return bytes(_blob_bytes(value_a)) == bytes(_blob_bytes(value_b))
    if code_a == TYPE_FLOAT:
        return np.float64(value_a).tobytes() == np.float64(value_b).tobytes()
    return value_a == value_b
