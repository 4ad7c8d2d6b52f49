"""Cubes as HyperSpy signals, in memory and lazy."""

import numpy as np
import pytest

import sc_api
from conftest import DEPTH, HEIGHT, WIDTH, expected_for

pytest.importorskip("hyperspy")


def check_axes(signal, signal_axis_name):
    manager = signal.axes_manager
    assert manager.navigation_shape == (WIDTH, HEIGHT)
    assert manager.signal_shape == (DEPTH,)
    assert [a.name for a in manager.navigation_axes] == ["x", "y"]
    assert manager.signal_axes[0].name == signal_axis_name


def test_a_cube_loads_as_a_signal_with_its_axes_and_data(cube_dir):
    signal = sc_api.hyperspy.load(cube_dir / "built.scdh")
    check_axes(signal, "Channel")
    assert not signal._lazy
    np.testing.assert_array_equal(signal.data, expected_for("built.scdh"))
    np.testing.assert_array_equal(signal.inav[4, 3].data, expected_for("built.scdh")[3, 4])
    assert signal.metadata.General.title == "built.scdh"
    assert signal.original_metadata.sc_api.format == "scd"


def test_an_energy_calibration_sets_the_signal_axis(cube_dir):
    signal = sc_api.hyperspy.load(cube_dir / "vector.raw", energy_scale=0.01, energy_offset=-0.1)
    check_axes(signal, "Energy")
    axis = signal.axes_manager.signal_axes[0]
    assert (axis.units, axis.scale, axis.offset) == ("keV", 0.01, -0.1)
    np.testing.assert_array_equal(signal.isig[0.0:0.05].data,
                                  expected_for("vector.raw")[:, :, 10:15])


def test_a_lazy_signal_reads_through_dask(cube_dir):
    signal = sc_api.hyperspy.load(cube_dir / "tiled.scdh", lazy=True, chunks=(4, 4, -1))
    check_axes(signal, "Channel")
    assert signal._lazy
    assert signal.data.chunks[0] == (4, 3)
    total = signal.sum(axis=("x", "y"))
    total.compute()
    np.testing.assert_array_equal(total.data, expected_for("tiled.scdh").sum(axis=(0, 1)))
