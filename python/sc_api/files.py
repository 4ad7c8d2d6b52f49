"""Whole-cube operations on files: conversion, integrity check, removal."""

import os

from . import _core


def convert(source, target, to=None):
    """Writes the cube ``source`` (any cube ``sc_api.open`` opens) as ``target`` in the form
    ``to``: 'scd' (compressed, a ``.scdh`` target), 'raw-vector' or 'raw-image' (a ``.raw``
    target); by default the form follows the target's extension ('raw-vector' for ``.raw``).
    A fragmented cube becomes a simple compressed cube. The target appears only when
    complete; an existing target is replaced. Raises sc_api.Error when the source cannot be
    read or the target written, ValueError for a form that does not fit the target."""
    _core.convert(os.fspath(source), os.fspath(target), to or "")


def check(path):
    """True when the spectra and the channel images of the cube agree (a raw cube stores one
    view and always does). Each differing value is printed on standard output as
    "x, y, channel : spectrum value, image value". Raises sc_api.Error when the cube cannot
    be opened."""
    return _core.check(os.fspath(path))


def remove(path):
    """Deletes every file of the cube named by ``path`` (``.raw``/``.rpl``, or ``.scdh`` for
    a compressed or fragmented cube with all its areas) and nothing else. Raises sc_api.Error
    when there is no such cube or it cannot be removed."""
    _core.remove(os.fspath(path))
