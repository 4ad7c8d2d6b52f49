"""open_cube and start_cube against `sccube serve` in another process."""

import os
import subprocess

import numpy as np
import pytest

from tuplink_client import CubeServiceError, open_cube, start_cube

pytestmark = pytest.mark.skipif("SCCUBE" not in os.environ, reason="needs sccube (SCCUBE)")

WIDTH, HEIGHT, DEPTH = 7, 5, 12


@pytest.fixture
def host(tmp_path):
    serve = subprocess.Popen([os.environ["SCCUBE"], "serve", "--endpoint", "tcp://127.0.0.1:*",
                              "--root", str(tmp_path), "--threads", "2", "--log-level", "quiet"],
                             stdout=subprocess.PIPE, text=True)
    words = serve.stdout.readline().split()
    assert words and words[0] == "serving", "sccube serve did not start"
    yield words[1], tmp_path
    serve.terminate()
    try:
        assert serve.wait(timeout=20) == 0
    finally:
        serve.kill()


def acquisition():
    """The counts of a synthetic cube: (height, width, depth) uint16."""
    y, x, c = np.meshgrid(np.arange(HEIGHT), np.arange(WIDTH), np.arange(DEPTH), indexing="ij")
    return ((y * 97 + x * 31 + c * 7) % 500).astype(np.uint16)


def test_a_cube_built_line_by_line_reads_back_exactly(host):
    endpoint, root = host
    counts = acquisition()
    with start_cube("run", WIDTH, HEIGHT, DEPTH, factor=1.5, endpoint=endpoint) as builder:
        builder.new_area(0, 0, WIDTH, 3)
        for y in range(3):
            builder.add_line(counts[y])
        live = builder.roi(0, DEPTH)
        expected = (counts[:3].astype(np.int64).sum(axis=2) * 1.5).astype(np.int64) & 0xFFFF
        assert live.shape == (HEIGHT, WIDTH)
        assert np.array_equal(live[:3], expected)
        assert not live[3:].any()
        builder.new_area(0, 3, WIDTH, 2)
        for y in range(3, HEIGHT):
            builder.add_line(counts[y].ravel())
        assert not builder.terminated
        builder.terminate()
        assert builder.terminated
    assert (root / "run.scdh").exists() and (root / "run.2.scdi").exists()

    with open_cube("./run", endpoint=endpoint) as cube:
        assert (cube.width, cube.height, cube.depth) == (WIDTH, HEIGHT, DEPTH)
        assert np.array_equal(cube.spectrum(4, 3), counts[3, 4].astype(np.float32) * 1.5)
        scaled = (counts.astype(np.int64) * 1.5).astype(np.int64).astype(np.uint16)
        assert np.array_equal(cube.image(5), scaled[:, :, 5])
        assert np.array_equal(cube.images(2, 3), np.moveaxis(scaled[:, :, 2:5], 2, 0))
        roi = cube.roi(1, 4, area=(2, 1, 3, 2))
        sums = (counts[1:3, 2:5, 1:5].astype(np.int64).sum(axis=2) * 1.5).astype(np.int64)
        assert np.array_equal(roi, (sums & 0xFFFF).astype(np.uint16))


def test_refusals_raise_with_their_status(host):
    endpoint, _ = host
    with pytest.raises(CubeServiceError) as refused:
        open_cube("../outside", endpoint=endpoint)
    assert refused.value.status == -1
    with start_cube("short", WIDTH, HEIGHT, DEPTH, endpoint=endpoint) as builder:
        with pytest.raises(CubeServiceError):
            builder.roi(0, 1)  # no area yet
        builder.new_area(0, 0, WIDTH, HEIGHT)
        with pytest.raises(CubeServiceError):
            builder.add_line(np.zeros(WIDTH * DEPTH - 1, dtype=np.uint16))
