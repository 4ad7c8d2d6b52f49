"""Conversion, integrity check and removal of whole cubes."""

import numpy as np
import pytest

import sc_api
from conftest import CUBE_FILES, expected_for

TARGETS = [("out.scdh", None, "scd"), ("out.raw", None, "raw-vector"),
           ("out.raw", "raw-image", "raw-image"), ("out.scdh", "scd", "scd")]


@pytest.mark.parametrize("source", CUBE_FILES)
@pytest.mark.parametrize("target, to, form", TARGETS)
def test_every_form_converts_to_every_form(cube_dir, tmp_path, source, target, to, form):
    sc_api.convert(cube_dir / source, tmp_path / target, to=to)
    with sc_api.open(cube_dir / source) as original, sc_api.open(tmp_path / target) as converted:
        assert converted.format == form
        if form == "scd":
            assert converted.factor == original.factor
            np.testing.assert_array_equal(converted.counts[...], expected_for(source))
        else:  # a raw cube stores the scaled values
            np.testing.assert_array_equal(converted[...], np.trunc(original[...]))
    stems = {p.name.split(".")[0] for p in tmp_path.iterdir()}
    assert stems == {"out"}, "no temporary file is left"


def test_raw_to_compressed_gives_the_same_cube_as_building_it(cube_dir, tmp_path):
    sc_api.convert(cube_dir / "vector.raw", tmp_path / "c.scdh")
    for extension in (".scdh", ".scds", ".scdi"):
        assert (tmp_path / ("c" + extension)).read_bytes() == \
            (cube_dir / ("built" + extension)).read_bytes()


def test_failed_conversions_leave_no_target(cube_dir, tmp_path):
    with pytest.raises(sc_api.Error) as raised:
        sc_api.convert(tmp_path / "absent.raw", tmp_path / "out.scdh")
    assert raised.value.code == sc_api.FILE_ERROR
    with pytest.raises(ValueError, match="does not match"):
        sc_api.convert(cube_dir / "built.scdh", tmp_path / "out.raw", to="scd")
    with pytest.raises(ValueError, match="unknown cube form"):
        sc_api.convert(cube_dir / "built.scdh", tmp_path / "out.raw", to="tiff")
    with pytest.raises(ValueError, match="source cube itself"):
        sc_api.convert(cube_dir / "built.scdh", cube_dir / "built.scdh")
    with pytest.raises(sc_api.Error):
        sc_api.convert(cube_dir / "built.scdh", tmp_path / "no-dir" / "out.scdh")
    with pytest.raises(sc_api.Error):
        sc_api.convert(cube_dir / "image.raw", tmp_path / "no-dir" / "out.raw")
    assert list(tmp_path.iterdir()) == []


def test_check_tells_whether_spectra_and_images_agree(cube_dir, tmp_path, capfd):
    for cube_file in CUBE_FILES:
        assert sc_api.check(cube_dir / cube_file) is True
    for extension in (".scdh", ".scds", ".scdi"):
        (tmp_path / ("c" + extension)).write_bytes((cube_dir / ("built" + extension)).read_bytes())
    with sc_api.open(tmp_path / "c.scdh") as cube:
        image = cube.image(4)
    # Write the cube again with one changed image stream: the spectra no longer agree.
    with sc_api.build(tmp_path / "d.scdh", 11, 7, 37) as builder:
        counts = expected_for("built.scdh")
        counts[:, :, 4] += 1
        for y in range(7):
            builder.add_line(counts[y])
    (tmp_path / "c.scdi").write_bytes((tmp_path / "d.scdi").read_bytes())
    capfd.readouterr()
    assert sc_api.check(tmp_path / "c.scdh") is False
    assert image.size > 0 and ", 4 : " in capfd.readouterr().out
    with pytest.raises(sc_api.Error) as raised:
        sc_api.check(tmp_path / "absent.scdh")
    assert raised.value.code == sc_api.FILE_ERROR


def test_remove_deletes_every_file_of_a_cube_and_nothing_else(cube_dir, tmp_path):
    sc_api.convert(cube_dir / "vector.raw", tmp_path / "r.raw")
    sc_api.convert(cube_dir / "vector.raw", tmp_path / "s.scdh")
    for name in ("tiled.scdh", "tiled.1.scdh", "tiled.1.scds", "tiled.1.scdi", "tiled.2.scdh",
                 "tiled.2.scds", "tiled.2.scdi"):
        (tmp_path / name).write_bytes((cube_dir / name).read_bytes())
    (tmp_path / "notes.txt").write_text("keep me")
    for cube_file in ("r.raw", "s.scdh", "tiled.scdh"):
        sc_api.remove(tmp_path / cube_file)
    assert [p.name for p in tmp_path.iterdir()] == ["notes.txt"]
    with pytest.raises(sc_api.Error) as raised:
        sc_api.remove(tmp_path / "r.raw")
    assert raised.value.code == sc_api.FILE_ERROR
    with pytest.raises(ValueError):
        sc_api.remove(tmp_path / "notes.txt")
