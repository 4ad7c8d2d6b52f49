"""Shared fixtures of the Python package's tests: the cubes written by the C++ fixture
program (every storage form, with the library's own reads of them) and the counts they hold."""

import os
import subprocess

import numpy as np
import pytest

WIDTH, HEIGHT, DEPTH = 11, 7, 37
CUBE_FILES = ["vector.raw", "image.raw", "built.scdh", "scaled.scdh", "tiled.scdh"]
FACTORS = {"scaled.scdh": 0.5}
# The fragmented cube: columns 0..5 acquired on every line, columns 6..10 on lines 0..3 only.
TILED_ACQUIRED = np.ones((HEIGHT, WIDTH), dtype=bool)
TILED_ACQUIRED[4:, 6:] = False


def expected_counts():
    """The counts of the test cube, (height, width, depth), as cube_fixtures.cpp makes them."""
    y, x, c = np.meshgrid(np.arange(HEIGHT), np.arange(WIDTH), np.arange(DEPTH), indexing="ij")
    counts = (x * 7 + y * 13 + c * 3 + x * y) % 23
    counts[(x + y + c) % 5 == 0] = 0
    counts[1, 1, 2:4] = 40000
    return counts.astype(np.uint16)


def expected_for(cube_file):
    """What the cube stored as cube_file holds: zeros where it acquired nothing."""
    counts = expected_counts()
    if cube_file == "tiled.scdh":
        counts[~TILED_ACQUIRED] = 0
    return counts


@pytest.fixture(scope="session")
def cube_dir(tmp_path_factory):
    program = os.environ.get("SC_API_CUBE_FIXTURES")
    if not program:
        pytest.fail("SC_API_CUBE_FIXTURES must name the python_cube_fixtures program (ctest sets it)")
    directory = tmp_path_factory.mktemp("cubes")
    subprocess.run([program, str(directory)], check=True, timeout=60)
    return directory


def library_reads(cube_dir, cube_file, kind, dtype, shape):
    """The C++ library's read `kind` of a fixture cube (see cube_fixtures.cpp)."""
    stem = cube_file.split(".")[0]
    return np.fromfile(cube_dir / f"{stem}.{kind}", dtype=dtype).reshape(shape)
