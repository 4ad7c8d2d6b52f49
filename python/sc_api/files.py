"""Whole-cube operations on files, as the sccube tool does them: conversion, import of raw
cubes written by other programs, integrity check, removal. Targets are named as sccube takes
them: "OUT.scdh", "OUT.rpl"/"OUT.raw", or "OUT" without extension."""

import os
from dataclasses import dataclass

from . import _core


def convert(source, target, to=None, replace=False):
    """Writes the cube ``source`` (any cube ``sc_api.open`` opens) as ``target`` in the form
    ``to``: 'scd' (compressed), 'raw-vector' or 'raw-image'; by default the form of the
    target's extension (.scdh: 'scd'; .rpl/.raw: 'raw-vector'; none: 'scd'). A fragmented cube
    becomes a simple compressed cube; the calibration goes along. The target appears only when
    complete. An existing target is replaced only with ``replace=True`` (otherwise
    sc_api.Error with problem 'output_exists'). ValueError for a form that does not fit the
    target's extension."""
    _core.convert(os.fspath(source), os.fspath(target), to or "", bool(replace))


def import_rpl(rpl, target, to=None, clip=False, replace=False):
    """Imports the .rpl/.raw pair ``rpl`` written by another program (data types signed,
    unsigned or float of 1 to 8 bytes, either byte order, by vector or image, any offset, energy
    calibration keys) as the cube ``target`` (named and formed as for ``convert``). Values
    outside 0...65535 (negative, fractional, too large) refuse the import (sc_api.Error,
    problem 'values_out_of_range') unless ``clip=True`` clips them. Returns what was found: a
    dict with 'layout' (width, height, depth, description, and ev_per_channel / offset_ev when
    calibrated), 'values', 'negative', 'fractional', 'too_large' and 'clipped'."""
    return _core.import_rpl(os.fspath(rpl), os.fspath(target), to or "", bool(clip),
                            bool(replace))


@dataclass(frozen=True)
class CheckReport:
    """The outcome of ``check``; true when the cube is consistent."""

    values_compared: int
    mismatch_count: int
    first_mismatches: list  # (x, y, channel, value in the spectrum, value in the image)

    @property
    def consistent(self):
        return self.mismatch_count == 0

    def __bool__(self):
        return self.consistent


def check(path):
    """Compares every count of the cube as its spectra give it with the same count as its
    channel images give it (for a compressed cube, two independently coded files). Returns a
    CheckReport, true when they all agree. Raises sc_api.Error when the cube cannot be
    checked."""
    return CheckReport(**_core.check(os.fspath(path)))


def remove(path):
    """Deletes every file of the cube named by ``path`` (raw, compressed, or fragmented with
    all its areas, and its calibration) and nothing else. Raises sc_api.Error when there is
    no such cube or a file cannot be removed."""
    _core.remove(os.fspath(path))
