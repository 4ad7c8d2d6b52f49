"""Building cubes from Python: byte-identical to the library's C++ build, checked lines, and a
cancelled build leaves nothing."""

import numpy as np
import pytest

import sc_api
from conftest import DEPTH, HEIGHT, WIDTH, expected_counts


def build_lines(builder, counts):
    for y in range(counts.shape[0]):
        builder.add_line(counts[y])


def test_a_compressed_build_is_byte_identical_to_the_cpp_build(cube_dir, tmp_path):
    with sc_api.build(tmp_path / "python.scdh", WIDTH, HEIGHT, DEPTH) as builder:
        build_lines(builder, expected_counts())
    assert builder.closed and builder.lines_added == HEIGHT
    for extension in (".scdh", ".scds", ".scdi"):
        assert (tmp_path / ("python" + extension)).read_bytes() == \
            (cube_dir / ("built" + extension)).read_bytes(), extension
    with sc_api.build(tmp_path / "scaled.scdh", WIDTH, HEIGHT, DEPTH, factor=0.5) as builder:
        build_lines(builder, expected_counts())
    assert (tmp_path / "scaled.scdh").read_bytes() == (cube_dir / "scaled.scdh").read_bytes()
    assert sorted(p.name for p in tmp_path.iterdir()) == sorted(
        ["python.scdh", "python.scds", "python.scdi", "scaled.scdh", "scaled.scds", "scaled.scdi"])


@pytest.mark.parametrize("order", ["vector", "image"])
def test_raw_builds_are_byte_identical_to_the_cpp_build_and_read_back(cube_dir, tmp_path, order):
    counts = expected_counts()
    with sc_api.build(tmp_path / "map.raw", WIDTH, HEIGHT, DEPTH, order=order) as builder:
        build_lines(builder, counts)
    for extension in (".raw", ".rpl"):
        assert (tmp_path / ("map" + extension)).read_bytes() == \
            (cube_dir / (order + extension)).read_bytes()
    with sc_api.open(tmp_path / "map.raw") as cube:
        assert cube.format == "raw-" + order
        np.testing.assert_array_equal(cube[...], counts)


def test_roi_while_acquiring_shows_the_lines_added_so_far(tmp_path):
    counts = expected_counts()
    with sc_api.build(tmp_path / "live.scdh", WIDTH, HEIGHT, DEPTH) as builder:
        build_lines(builder, counts[:3])
        roi = builder.roi(0, DEPTH)
        assert roi.dtype == np.uint16 and roi.shape == (HEIGHT, WIDTH)
        expected = counts[:, :, :].astype(np.uint64).sum(axis=2) & 0xFFFF
        expected[3:] = 0
        np.testing.assert_array_equal(roi, expected)
        with pytest.raises(IndexError):
            builder.roi(30, 8)


@pytest.mark.parametrize("line, message", [
    (np.zeros((WIDTH, DEPTH + 1), np.uint16), r"\(11, 37\)"),
    (np.zeros((DEPTH, WIDTH), np.uint16), r"\(11, 37\)"),
    (np.zeros(WIDTH * DEPTH, np.uint16), r"\(11, 37\)"),
    (np.zeros((WIDTH, DEPTH), np.int32), "uint16"),
    (np.zeros((WIDTH, DEPTH), np.float32), "uint16"),
    ([[0] * DEPTH] * WIDTH, "numpy array"),
])
def test_lines_of_another_shape_or_dtype_are_refused(tmp_path, line, message):
    with sc_api.build(tmp_path / "c.scdh", WIDTH, HEIGHT, DEPTH) as builder:
        with pytest.raises(ValueError, match=message):
            builder.add_line(line)
        assert builder.lines_added == 0


def test_a_transposed_view_is_added_as_its_values(tmp_path):
    counts = expected_counts()
    with sc_api.build(tmp_path / "t.raw", WIDTH, HEIGHT, DEPTH) as builder:
        for y in range(HEIGHT):
            builder.add_line(np.ascontiguousarray(counts[y].T).T)
    with sc_api.open(tmp_path / "t.raw") as cube:
        np.testing.assert_array_equal(cube[...], counts)


def test_more_lines_than_the_height_and_finished_builders_are_refused(tmp_path):
    counts = expected_counts()
    with sc_api.build(tmp_path / "full.scdh", WIDTH, HEIGHT, DEPTH) as builder:
        build_lines(builder, counts)
        with pytest.raises(ValueError, match="already has all its 7 lines"):
            builder.add_line(counts[0])
    with pytest.raises(ValueError, match="closed or cancelled"):
        builder.add_line(counts[0])
    with pytest.raises(ValueError, match="closed or cancelled"):
        builder.close()


def test_an_exception_in_the_block_cancels_the_build(tmp_path):
    with pytest.raises(RuntimeError, match="acquisition failed"):
        with sc_api.build(tmp_path / "lost.scdh", WIDTH, HEIGHT, DEPTH) as builder:
            build_lines(builder, expected_counts()[:2])
            raise RuntimeError("acquisition failed")
    assert builder.closed
    assert list(tmp_path.iterdir()) == []
    with pytest.raises(ValueError):
        with sc_api.build(tmp_path / "lost.raw", WIDTH, HEIGHT, DEPTH) as builder:
            builder.add_line(np.zeros((1, 1), np.uint16))
    assert list(tmp_path.iterdir()) == []


def test_bad_builds_are_refused(tmp_path):
    with pytest.raises(ValueError, match="dimension"):
        sc_api.build(tmp_path / "a.scdh", 0, HEIGHT, DEPTH)
    with pytest.raises(ValueError, match="names no cube"):
        sc_api.build(tmp_path / "a.png", WIDTH, HEIGHT, DEPTH)
    with pytest.raises(ValueError, match="factor"):
        sc_api.build(tmp_path / "a.raw", WIDTH, HEIGHT, DEPTH, factor=2.0)
    with pytest.raises(ValueError, match="order"):
        sc_api.build(tmp_path / "a.raw", WIDTH, HEIGHT, DEPTH, order="column")
    with pytest.raises(sc_api.Error) as raised:
        sc_api.build(tmp_path / "missing-dir" / "a.raw", WIDTH, HEIGHT, DEPTH)
    assert raised.value.code == sc_api.FILE_ERROR
