"""Conversion, import of raw cubes written by other programs, integrity check and removal."""

import numpy as np
import pytest

import sc_api
from conftest import CUBE_FILES, DEPTH, HEIGHT, WIDTH, expected_counts, expected_for

TARGETS = [("out.scdh", None, "scd"), ("out.raw", None, "raw-vector"),
           ("out.rpl", "raw-image", "raw-image"), ("out", None, "scd")]


def opening_name(target, form):
    base = target.rsplit(".", 1)[0] if "." in target else target
    return base + (".scdh" if form == "scd" else ".raw")


@pytest.mark.parametrize("source", CUBE_FILES)
@pytest.mark.parametrize("target, to, form", TARGETS)
def test_every_form_converts_to_every_form(cube_dir, tmp_path, source, target, to, form):
    sc_api.convert(cube_dir / source, tmp_path / target, to=to)
    with sc_api.open(cube_dir / source) as original, \
            sc_api.open(tmp_path / opening_name(target, form)) as converted:
        assert converted.format == form
        if form == "scd":
            assert converted.factor == original.factor
            np.testing.assert_array_equal(converted.counts[...], expected_for(source))
        else:  # a raw cube stores the scaled values
            np.testing.assert_array_equal(converted[...], np.trunc(original[...]))
    assert {p.name.split(".")[0] for p in tmp_path.iterdir()} == {"out"}, "no temporary file"


def test_raw_to_compressed_gives_the_same_cube_as_building_it(cube_dir, tmp_path):
    sc_api.convert(cube_dir / "vector.raw", tmp_path / "c.scdh")
    for extension in (".scdh", ".scds", ".scdi"):
        assert (tmp_path / ("c" + extension)).read_bytes() == \
            (cube_dir / ("built" + extension)).read_bytes()


def test_failed_conversions_say_why_and_leave_no_target(cube_dir, tmp_path):
    def problem_of(source, target, **options):
        with pytest.raises(sc_api.Error) as raised:
            sc_api.convert(source, target, **options)
        return raised.value.problem, raised.value.code

    assert problem_of(tmp_path / "absent.raw", tmp_path / "o.scdh") == \
        ("missing_file", sc_api.FILE_ERROR)
    assert problem_of(cube_dir / "built.scdh", cube_dir / "built.scdh", replace=True)[0] == \
        "same_input_output"
    assert problem_of(cube_dir / "built.scdh", tmp_path / "no-dir" / "o.scdh")[1] != sc_api.OK
    with pytest.raises(ValueError, match="does not match"):
        sc_api.convert(cube_dir / "built.scdh", tmp_path / "o.raw", to="scd")
    with pytest.raises(ValueError, match="unknown cube form"):
        sc_api.convert(cube_dir / "built.scdh", tmp_path / "o.raw", to="tiff")
    assert list(tmp_path.iterdir()) == []
    sc_api.convert(cube_dir / "image.raw", tmp_path / "o.raw")
    assert problem_of(cube_dir / "built.scdh", tmp_path / "o.raw") == \
        ("output_exists", sc_api.FILE_ERROR)
    sc_api.convert(cube_dir / "scaled.scdh", tmp_path / "o.raw", replace=True)
    with sc_api.open(tmp_path / "o.raw") as replaced:
        np.testing.assert_array_equal(replaced[0, 0], np.trunc(expected_counts()[0, 0] * 0.5))


def write_foreign(path, values, header, byteorder=">", dtype="f4", offset=0, by="image"):
    """A .rpl/.raw pair as another analysis program writes it (numpy's tofile)."""
    data = values.transpose(2, 0, 1) if by == "image" else values
    with open(path.with_suffix(".raw"), "wb") as raw:
        raw.write(b"\0" * offset)
        np.ascontiguousarray(data).astype(byteorder + dtype).tofile(raw)
    path.with_suffix(".rpl").write_text(header)


def foreign_header(offset, extra=""):
    return (f"; written by another program\nKEY\tVALUE\nWidth\t{WIDTH}\nheight\t{HEIGHT}\n"
            f"DEPTH\t{DEPTH}\nOffset\t{offset}\ndata-length\t4\ndata-type\tfloat\n"
            f"byte-order\tbig-endian\nrecord-by\timage\n{extra}")


def test_import_reads_a_foreign_pair_with_its_calibration(tmp_path):
    counts = expected_counts()
    write_foreign(tmp_path / "foreign.rpl", counts.astype(np.float32), offset=64,
                  header=foreign_header(64, "ev-per-chan\t10\n"))
    report = sc_api.import_rpl(tmp_path / "foreign.rpl", tmp_path / "imported.scdh")
    assert report["values"] == counts.size and not report["clipped"]
    assert report["layout"]["ev_per_channel"] == 10
    assert "big-endian" in report["layout"]["description"]
    with sc_api.open(tmp_path / "imported.scdh") as cube:
        np.testing.assert_array_equal(cube[...], counts)
        assert cube.calibration == (10.0, 0.0)
        np.testing.assert_allclose(cube.energies[:3], [0.0, 0.01, 0.02])
    signal = sc_api.hyperspy.load(tmp_path / "imported.scdh")
    axis = signal.axes_manager.signal_axes[0]
    assert (axis.name, axis.units, axis.scale) == ("Energy", "keV", 0.01)


def test_import_refuses_values_out_of_range_unless_clipped(tmp_path):
    values = expected_counts().astype(np.float32)
    values[0, 0, :3] = [-2.0, 0.75, 70000.0]
    write_foreign(tmp_path / "odd.rpl", values, header=foreign_header(0))
    with pytest.raises(sc_api.Error) as raised:
        sc_api.import_rpl(tmp_path / "odd.rpl", tmp_path / "out", to="raw-vector")
    assert raised.value.problem == "values_out_of_range"
    assert not (tmp_path / "out.raw").exists()
    report = sc_api.import_rpl(tmp_path / "odd.rpl", tmp_path / "out", to="raw-vector", clip=True)
    assert (report["negative"], report["fractional"], report["too_large"]) == (1, 1, 1)
    with sc_api.open(tmp_path / "out.raw") as cube:
        assert list(cube[0, 0, :3]) == [0, 1, 65535]
        np.testing.assert_array_equal(cube[1:, 1:], expected_counts()[1:, 1:])


def test_a_foreign_raw_cube_is_refused_by_open_with_the_way_in(tmp_path):
    write_foreign(tmp_path / "foreign.rpl", expected_counts(), header=foreign_header(0))
    with pytest.raises(sc_api.Error) as raised:
        sc_api.open(tmp_path / "foreign.raw")
    assert raised.value.problem == "foreign_layout"


def test_check_reports_where_spectra_and_images_disagree(cube_dir, tmp_path):
    for cube_file in CUBE_FILES:
        report = sc_api.check(cube_dir / cube_file)
        assert report and report.values_compared == WIDTH * HEIGHT * DEPTH
    for extension in (".scdh", ".scds", ".scdi"):
        (tmp_path / ("c" + extension)).write_bytes((cube_dir / ("built" + extension)).read_bytes())
    # The image file of another cube (another code table): its images decode to other values.
    counts = expected_counts()
    counts[:, :, 4] += 1
    with sc_api.build(tmp_path / "d.scdh", WIDTH, HEIGHT, DEPTH) as builder:
        for y in range(HEIGHT):
            builder.add_line(counts[y])
    (tmp_path / "c.scdi").write_bytes((tmp_path / "d.scdi").read_bytes())
    report = sc_api.check(tmp_path / "c.scdh")
    assert not report and 0 < report.mismatch_count <= WIDTH * HEIGHT * DEPTH
    assert 0 < len(report.first_mismatches) <= 20
    for x, y, channel, from_spectrum, from_image in report.first_mismatches:
        assert x < WIDTH and y < HEIGHT and channel < DEPTH
        assert from_spectrum == expected_counts()[y, x, channel] != from_image
    with pytest.raises(sc_api.Error) as raised:
        sc_api.check(tmp_path / "absent.scdh")
    assert raised.value.problem == "missing_file"


def test_remove_deletes_every_file_of_a_cube_and_nothing_else(cube_dir, tmp_path):
    sc_api.convert(cube_dir / "vector.raw", tmp_path / "r.raw")
    sc_api.convert(cube_dir / "vector.raw", tmp_path / "s.scdh")
    for name in ("tiled.scdh", "tiled.1.scdh", "tiled.1.scds", "tiled.1.scdi", "tiled.2.scdh",
                 "tiled.2.scds", "tiled.2.scdi"):
        (tmp_path / name).write_bytes((cube_dir / name).read_bytes())
    (tmp_path / "notes.txt").write_text("keep me")
    for cube_file in ("r.raw", "s.scdh", "tiled"):
        sc_api.remove(tmp_path / cube_file)
    assert [p.name for p in tmp_path.iterdir()] == ["notes.txt"]
    for name in ("r.raw", "notes.txt"):
        with pytest.raises(sc_api.Error):
            sc_api.remove(tmp_path / name)
    assert [p.name for p in tmp_path.iterdir()] == ["notes.txt"]
