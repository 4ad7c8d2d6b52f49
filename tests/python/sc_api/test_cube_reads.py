"""Reads of every cube form agree with the stored data and with the library's C++ reads."""

import threading

import numpy as np
import pytest

import sc_api
from conftest import (CUBE_FILES, DEPTH, FACTORS, HEIGHT, TILED_ACQUIRED, WIDTH, expected_for,
                      library_reads)

FORMATS = {"vector.raw": ("raw-vector", 0), "image.raw": ("raw-image", 0),
           "built.scdh": ("scd", 1), "scaled.scdh": ("scd", 1), "tiled.scdh": ("fragmented", 1)}
CHECKERBOARD = (np.add.outer(np.arange(4), np.arange(5)) % 2 == 0)


@pytest.fixture(params=CUBE_FILES)
def cube_file(request):
    return request.param


@pytest.fixture
def cube(cube_dir, cube_file):
    with sc_api.open(cube_dir / cube_file) as opened:
        yield opened


def test_describes_the_cube(cube, cube_file):
    factor = FACTORS.get(cube_file, 1.0)
    assert cube.shape == (HEIGHT, WIDTH, DEPTH)
    assert (cube.format, cube.version) == FORMATS[cube_file]
    assert cube.factor == pytest.approx(factor)
    assert cube.dtype == (np.uint16 if factor == 1.0 else np.float32)
    expected_map = TILED_ACQUIRED if cube_file == "tiled.scdh" else np.ones((HEIGHT, WIDTH), bool)
    np.testing.assert_array_equal(cube.acquired, expected_map)


def test_counts_and_scaled_values_equal_the_stored_data_and_the_library_spectra(
        cube, cube_dir, cube_file):
    counts = expected_for(cube_file)
    np.testing.assert_array_equal(cube.counts[...], counts)
    values = cube[...]
    assert values.dtype == cube.dtype
    spectra = library_reads(cube_dir, cube_file, "spectra", np.float32, (HEIGHT, WIDTH, DEPTH))
    np.testing.assert_array_equal(values.astype(np.float32), spectra)
    np.testing.assert_array_equal(cube[3, 4], spectra[3, 4])
    np.testing.assert_array_equal(np.asarray(cube), values)


def test_images_equal_the_library_images(cube, cube_dir, cube_file):
    images = library_reads(cube_dir, cube_file, "images", np.uint16, (DEPTH, HEIGHT, WIDTH))
    for channel in (0, 3, DEPTH - 1):
        image = cube.image(channel)
        # The library keeps the low 16 bits of the truncated scaled value.
        np.testing.assert_array_equal(np.trunc(image).astype(np.int64) & 0xFFFF, images[channel])
        np.testing.assert_array_equal(cube.image(channel, scaled=False),
                                      expected_for(cube_file)[:, :, channel])
    np.testing.assert_array_equal(cube.image(-1), cube.image(DEPTH - 1))


def test_roi_sums_exactly_where_the_library_keeps_the_low_16_bits(cube, cube_dir, cube_file):
    counts = expected_for(cube_file).astype(np.uint64)
    sums = cube.roi(0, DEPTH, scaled=False)
    assert sums.dtype == np.uint64
    np.testing.assert_array_equal(sums, counts.sum(axis=2))
    assert sums[1, 1] > 65535
    library_roi = library_reads(cube_dir, cube_file, "roi", np.uint16, (HEIGHT, WIDTH))
    factor = FACTORS.get(cube_file, 1.0)
    np.testing.assert_array_equal(np.trunc(sums * factor).astype(np.int64) & 0xFFFF, library_roi)
    library_sub = library_reads(cube_dir, cube_file, "subroi", np.uint16, (4, 5))
    sub = cube.roi(3, 30, area=np.s_[1:5, 2:7], scaled=False)
    np.testing.assert_array_equal(sub, counts[1:5, 2:7, 3:33].sum(axis=2))
    np.testing.assert_array_equal(np.trunc(sub * factor).astype(np.int64) & 0xFFFF, library_sub)
    np.testing.assert_array_equal(cube.roi(5, 0), np.zeros((HEIGHT, WIDTH)))
    if factor != 1.0:
        np.testing.assert_array_equal(cube.roi(0, DEPTH), sums.astype(np.float32) * np.float32(0.5))


@pytest.mark.parametrize("kind, offset", [("region_a", (-2, -1)), ("region_b", (3, 4))])
def test_region_spectrum_equals_the_library_region_spectrum(cube, cube_dir, cube_file, kind,
                                                             offset):
    library = np.fromfile(cube_dir / f"{cube_file.split('.')[0]}.{kind}", dtype=np.float32)
    spectrum, pixels = cube.region_spectrum(CHECKERBOARD, offset=offset, return_count=True)
    assert pixels == library[-1]
    np.testing.assert_array_equal(spectrum.astype(np.float32), library[:-1])
    counts = expected_for(cube_file).astype(np.uint64)
    y0, x0 = offset
    selected = [(y0 + i, x0 + j) for i, j in zip(*np.nonzero(CHECKERBOARD))
                if 0 <= y0 + i < HEIGHT and 0 <= x0 + j < WIDTH]
    if cube_file == "tiled.scdh":
        selected = [(y, x) for y, x in selected if TILED_ACQUIRED[y, x]]
    assert pixels == len(selected)
    exact = sum((counts[y, x] for y, x in selected), np.zeros(DEPTH, np.uint64))
    np.testing.assert_array_equal(cube.region_spectrum(CHECKERBOARD, offset, scaled=False), exact)


SLICES = [
    np.s_[3, 4], np.s_[-1, -1], np.s_[2:5, 1:9:2, 3:30:7], np.s_[::-1, ::-2, ::-3],
    np.s_[5:2], np.s_[:, :, 36], np.s_[..., 0], np.s_[1, ..., 2], np.s_[3], np.s_[:, 4],
    np.s_[-7:, -11:, -37:], np.s_[0:0, :, :], np.s_[..., 5:6], np.s_[6, 10, 36], np.s_[...],
    np.s_[1:100, -100:3, 30:], np.s_[4, 2:3, ::40], np.s_[::2, ::3, 1:2],
]


@pytest.mark.parametrize("key", SLICES, ids=[str(k) for k in SLICES])
def test_slicing_follows_numpy(cube_dir, key):
    counts = expected_for("built.scdh")
    with sc_api.open(cube_dir / "built.scdh") as cube:
        result = cube[key]
    expected = counts[key]
    assert result.shape == expected.shape
    np.testing.assert_array_equal(result, expected)
    if isinstance(result, np.ndarray) and result.size:
        assert result.flags.owndata and result.flags.c_contiguous


def test_the_same_slices_of_every_form_agree(cube, cube_file):
    counts = expected_for(cube_file)
    for key in (np.s_[2:6, 3:9, 1:36:5], np.s_[::-3, 4], np.s_[0, 0:1, :]):
        np.testing.assert_array_equal(cube.counts[key], counts[key])


@pytest.mark.parametrize("key, message", [
    (np.s_[7, 0], "out of bounds"), (np.s_[0, -12], "out of bounds"),
    (np.s_[0, 0, 37], "out of bounds"), (np.s_[0, 0, 0, 0], "too many indices"),
    (np.s_[1.5], "float index"), (np.s_[True], "bool index"), (np.s_[[1, 2]], "list index"),
    (np.s_[..., ...], "single ellipsis"),
])
def test_bad_indices_raise_index_error_naming_the_shape(cube_dir, key, message):
    with sc_api.open(cube_dir / "built.scdh") as cube:
        with pytest.raises(IndexError, match=message) as raised:
            cube[key]
    if "ellipsis" not in message:
        assert "(7, 11, 37)" in str(raised.value)


def test_bad_arguments_of_the_reads(cube_dir):
    with sc_api.open(cube_dir / "vector.raw") as cube:
        with pytest.raises(IndexError, match=r"\(7, 11, 37\)"):
            cube.roi(30, 8)
        with pytest.raises(IndexError):
            cube.roi(-1, 2)
        with pytest.raises(ValueError, match="two slices"):
            cube.roi(0, 1, area=(1, 2, 3, 4))
        with pytest.raises(ValueError, match="no step"):
            cube.roi(0, 1, area=np.s_[::2, :])
        with pytest.raises(ValueError, match="boolean"):
            cube.region_spectrum(np.ones((2, 2), dtype=np.uint8))
        with pytest.raises(ValueError, match="boolean"):
            cube.region_spectrum(np.ones(4, dtype=bool))
        with pytest.raises(IndexError):
            cube.image(DEPTH)


def test_missing_damaged_and_closed_cubes_raise_library_errors(cube_dir, tmp_path):
    with pytest.raises(sc_api.Error) as raised:
        sc_api.open(tmp_path / "absent.scdh")
    assert (raised.value.code, raised.value.problem) == (sc_api.FILE_ERROR, "missing_file")
    assert "absent.scdh" in str(raised.value)
    with pytest.raises(sc_api.Error) as raised:
        sc_api.open(cube_dir / "built.scds")
    assert raised.value.problem == "not_a_cube"
    # A header cut short and one of random bytes: an error, never a crash.
    header = (cube_dir / "built.scdh").read_bytes()
    for name, content in (("cut", header[: len(header) // 2]),
                          ("noise", np.random.default_rng(5).bytes(len(header)))):
        for extension in (".scdh", ".scds", ".scdi"):
            source = (cube_dir / ("built" + extension)).read_bytes()
            (tmp_path / (name + extension)).write_bytes(content if extension == ".scdh" else source)
        with pytest.raises(sc_api.Error) as raised:
            sc_api.open(tmp_path / (name + ".scdh"))
        assert raised.value.code == sc_api.FORMAT_ERROR
        assert raised.value.problem in ("damaged_header", "not_a_cube")
    cube = sc_api.open(cube_dir / "image.raw")
    cube.close()
    assert cube.closed
    with pytest.raises(sc_api.Error, match="closed") as raised:
        cube[0, 0]
    assert (raised.value.code, raised.value.problem) == (sc_api.FILE_ERROR, None)


def test_cubes_open_by_any_of_their_names(cube_dir):
    for name, form in (("built", "scd"), ("vector.rpl", "raw-vector"), ("tiled", "fragmented")):
        with sc_api.open(cube_dir / name) as cube:
            assert cube.format == form and cube.calibration is None and cube.energies is None


def test_damaged_streams_raise_format_errors(cube_dir, tmp_path):
    for extension in (".scdh", ".scds", ".scdi"):
        data = bytearray((cube_dir / ("built" + extension)).read_bytes())
        if extension != ".scdh":
            noise = np.random.default_rng(len(data)).integers(0, 256, len(data) // 2, np.uint8)
            data[len(data) // 4: len(data) // 4 + len(noise)] = noise.tobytes()
        (tmp_path / ("damaged" + extension)).write_bytes(bytes(data))
    with sc_api.open(tmp_path / "damaged.scdh") as cube:
        for read in (lambda: cube[...], lambda: cube.roi(0, DEPTH)):
            with pytest.raises(sc_api.Error) as raised:
                read()
            assert raised.value.code == sc_api.FORMAT_ERROR


@pytest.mark.parametrize("cube_file", ["built.scdh", "vector.raw", "tiled.scdh"])
def test_threads_read_one_cube_in_parallel(cube_dir, cube_file):
    counts = expected_for(cube_file)
    failures = []
    with sc_api.open(cube_dir / cube_file) as cube:
        def reader(seed):
            rng = np.random.default_rng(seed)
            for _ in range(40):
                y, x = int(rng.integers(HEIGHT)), int(rng.integers(WIDTH))
                c = int(rng.integers(DEPTH))
                if not (np.array_equal(cube.counts[y, x], counts[y, x])
                        and np.array_equal(cube.image(c, scaled=False), counts[:, :, c])
                        and np.array_equal(cube.counts[y:, :x + 1, c:], counts[y:, :x + 1, c:])):
                    failures.append((y, x, c))
        threads = [threading.Thread(target=reader, args=(seed,)) for seed in range(6)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(timeout=60)
    assert not any(thread.is_alive() for thread in threads)
    assert failures == []
