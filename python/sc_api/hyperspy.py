"""Cubes as HyperSpy signals: two navigation axes (y, x) and one signal axis (the channels,
in energy when a calibration is known)."""

import os

import hyperspy.api as hs

from .cube import open as open_cube


def _axes(shape, energy):
    height, width, depth = shape
    signal_axis = {"name": "Channel", "size": depth, "navigate": False}
    if energy is not None:
        scale, offset = energy
        signal_axis.update(name="Energy", units="keV", scale=scale, offset=offset)
    return [
        {"name": "y", "size": height, "units": "px", "navigate": True},
        {"name": "x", "size": width, "units": "px", "navigate": True},
        signal_axis,
    ]


def load(path, lazy=False, chunks=("auto", "auto", -1), energy_scale=None, energy_offset=0.0):
    """The cube at ``path`` as a HyperSpy Signal1D of shape (height, width | depth).

    With ``lazy=True`` the signal is lazy over ``cube.to_dask(chunks)``: nothing is read until
    computed, and the chunks are read where they are computed. The signal axis is in keV, from
    the cube's calibration or from ``energy_scale`` (keV per channel, with ``energy_offset``
    the energy of channel 0) when given; in channels when neither is known."""
    energy = None if energy_scale is None else (float(energy_scale), float(energy_offset))
    with open_cube(path) as cube:
        if energy is None and cube.calibration is not None:
            ev_per_channel, offset_ev = cube.calibration
            energy = (ev_per_channel / 1000.0, offset_ev / 1000.0)
        data = cube.to_dask(chunks) if lazy else cube[...]
        axes = _axes(cube.shape, energy)
        details = {"format": cube.format, "version": cube.version, "factor": cube.factor}
    signal = hs.signals.Signal1D(data, axes=axes)
    if lazy:
        signal = signal.as_lazy()
    signal.metadata.General.title = os.path.basename(os.fspath(path))
    signal.metadata.General.original_filename = os.fspath(path)
    signal.metadata.Signal.quantity = "Counts"
    signal.original_metadata.add_dictionary({"sc_api": details})
    return signal
