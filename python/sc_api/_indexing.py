"""numpy-style indices of a cube turned into the contiguous block to read and the selection
to apply to it."""

import operator
from dataclasses import dataclass

import numpy as np

_AXES = ("y", "x", "channel")


@dataclass(frozen=True)
class AxisSelection:
    """What one index selects along one axis: the rows (or columns, or channels) begin..end-1
    are read, then ``pick`` (a slice or an int, which drops the axis) is applied to them."""

    begin: int
    end: int
    pick: object


def _describe(shape):
    return f"a cube of shape {tuple(shape)} (height, width, depth)"


def _expand(key, shape):
    if not isinstance(key, tuple):
        key = (key,)
    ellipses = sum(1 for k in key if k is Ellipsis)
    if ellipses > 1:
        raise IndexError("an index can only have a single ellipsis ('...')")
    if ellipses:
        at = next(i for i, k in enumerate(key) if k is Ellipsis)
        key = key[:at] + (slice(None),) * (len(shape) - len(key) + 1) + key[at + 1 :]
    if len(key) > len(shape):
        raise IndexError(f"too many indices ({len(key)}) for {_describe(shape)}")
    return key + (slice(None),) * (len(shape) - len(key))


def _select_slice(index, length):
    chosen = range(*index.indices(length))
    if len(chosen) == 0:
        return AxisSelection(0, 0, slice(None))
    if chosen.step > 0:
        return AxisSelection(chosen[0], chosen[-1] + 1, slice(None, None, chosen.step))
    return AxisSelection(chosen[-1], chosen[0] + 1, slice(None, None, chosen.step))


def _select_integer(index, length, axis, shape):
    position = operator.index(index)
    if not -length <= position < length:
        raise IndexError(
            f"index {position} is out of bounds for the {_AXES[axis]} axis "
            f"(length {length}) of {_describe(shape)}"
        )
    position %= length
    return AxisSelection(position, position + 1, 0)


def resolve(key, shape):
    """The AxisSelection of each axis for ``cube[key]``; IndexError for an index numpy would
    refuse on an array of that shape, or for the fancy indices a cube does not take."""
    selections = []
    for axis, (index, length) in enumerate(zip(_expand(key, shape), shape)):
        if isinstance(index, slice):
            selections.append(_select_slice(index, length))
        elif isinstance(index, (int, np.integer)) and not isinstance(index, (bool, np.bool_)):
            selections.append(_select_integer(index, length, axis, shape))
        else:
            raise IndexError(
                f"{type(index).__name__} index: only integers, slices (':') and ellipsis ('...') "
                f"index {_describe(shape)}"
            )
    return selections


def resolve_area(area, shape):
    """(rows, columns) as begin..end ranges for an area given as two slices of step 1, e.g.
    ``np.s_[10:20, 30:40]``; None means the whole map."""
    if area is None:
        return (0, shape[0]), (0, shape[1])
    if not isinstance(area, tuple) or len(area) != 2 or not all(isinstance(a, slice) for a in area):
        raise ValueError(
            f"area must be two slices (rows, columns), e.g. np.s_[10:20, 30:40], for "
            f"{_describe(shape)}"
        )
    ranges = []
    for index, length in zip(area, shape[:2]):
        begin, end, step = index.indices(length)
        if step != 1:
            raise ValueError(f"area slices take no step, got {index}")
        ranges.append((begin, max(begin, end)))
    return tuple(ranges)
