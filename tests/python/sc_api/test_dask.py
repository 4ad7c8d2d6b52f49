"""Lazy dask arrays of cubes: chunks read inside the tasks, on threads and on a cluster of
separate worker processes."""

import numpy as np
import pytest

import sc_api
from conftest import DEPTH, HEIGHT, WIDTH, expected_for

dask = pytest.importorskip("dask")
distributed = pytest.importorskip("distributed")


def test_a_dask_array_computes_the_cube_chunk_by_chunk(cube_dir):
    with sc_api.open(cube_dir / "tiled.scdh") as cube:
        lazy = cube.to_dask(chunks=(3, 4, 10))
    assert lazy.shape == (HEIGHT, WIDTH, DEPTH) and lazy.dtype == np.uint16
    assert lazy.chunks == ((3, 3, 1), (4, 4, 3), (10, 10, 10, 7))
    counts = expected_for("tiled.scdh")
    np.testing.assert_array_equal(lazy.compute(scheduler="threads"), counts)
    np.testing.assert_array_equal(lazy[2:6, 1:9, 5:30].sum(axis=2).compute(),
                                  counts[2:6, 1:9, 5:30].astype(np.uint64).sum(axis=2))


def test_scaled_dask_arrays_and_default_chunks(cube_dir):
    with sc_api.open(cube_dir / "scaled") as cube:
        scaled, counts = cube.to_dask(), cube.to_dask(scaled=False)
        expected = cube[...]
    assert scaled.dtype == np.float32 and counts.dtype == np.uint16
    assert scaled.chunks[2] == (DEPTH,), "default chunks hold whole spectra"
    np.testing.assert_array_equal(scaled.compute(scheduler="sync"), expected)
    np.testing.assert_array_equal(counts.compute(scheduler="sync"), expected_for("scaled.scdh"))


def test_an_empty_cube_is_one_empty_chunk_whatever_its_claims(tmp_path):
    # A fragmented cube of 0 x 800000000 pixels and 4000000000 channels, without areas.
    (tmp_path / "empty.scdh").write_bytes(bytes.fromhex(
        "46444353010000000200000000000000000000000008af2f00286bee0000803f0000000000000000"))
    with sc_api.open(tmp_path / "empty.scdh") as cube:
        assert cube.shape == (800_000_000, 0, 4_000_000_000)
        lazy = cube.to_dask()
    assert lazy.chunks == ((800_000_000,), (0,), (4_000_000_000,))
    assert lazy.sum().compute(scheduler="sync") == 0


def test_a_local_cluster_of_worker_processes_computes_what_numpy_computes(cube_dir, tmp_path):
    from distributed import Client, LocalCluster

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None, worker_dashboard_address=None,
                      local_directory=str(tmp_path)) as cluster, \
            Client(cluster, timeout=60) as client:
        arrays = []
        for cube_file in ("built.scdh", "vector.raw", "tiled.scdh"):
            with sc_api.open(cube_dir / cube_file) as cube:
                arrays.append(cube.to_dask(chunks=(2, 5, -1)))
        element_maps = [a[:, :, 10:20].sum(axis=2) for a in arrays]
        mean_spectrum = arrays[0].mean(axis=(0, 1))
        futures = client.compute(element_maps + [mean_spectrum])
        results = client.gather(futures)
        workers = client.run(lambda: __import__("os").getpid())
    assert len(set(workers.values())) == 2
    for result, cube_file in zip(results, ("built.scdh", "vector.raw", "tiled.scdh")):
        np.testing.assert_array_equal(
            result, expected_for(cube_file)[:, :, 10:20].astype(np.uint64).sum(axis=2))
    np.testing.assert_allclose(results[-1], expected_for("built.scdh").mean(axis=(0, 1)))
