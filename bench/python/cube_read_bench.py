#!/usr/bin/env python3
"""Reads from Python: sc_api on the compressed (and raw) cube of the synthetic 256 x 256 x 2048
spectrum image, against numpy on a memory-mapped raw file of the same cube. Prints the median
time of each read over several runs and the ratio numpy time / sc_api time (above 1: sc_api is
faster).

    bench/python/cube_read_bench.py [--build build/release] [--cubes DIR] [--runs 7]

The cubes are written once by the build's synth_cube program into DIR (default
<build>/bench-cubes) and reused by later runs."""

import argparse
import os
import statistics
import subprocess
import sys
import time

import numpy as np


def median_seconds(read, runs):
    read()  # warm the page cache and the code paths
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        read()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(here, "..", "..", "build", "release"))
    parser.add_argument("--cubes", default=None)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--pixels", type=int, default=200, help="spectra read per cube[y, x] run")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    sys.path.insert(0, os.path.join(build, "python"))
    import sc_api

    cubes = os.path.abspath(args.cubes or os.path.join(build, "bench-cubes"))
    if not os.path.exists(os.path.join(cubes, "eds.scdh")):
        os.makedirs(cubes, exist_ok=True)
        print(f"writing the 256 x 256 x 2048 cubes into {cubes} ...", flush=True)
        subprocess.run([os.path.join(build, "bench", "synth_cube"), cubes], check=True)

    compressed = sc_api.open(os.path.join(cubes, "eds.scdh"))
    raw = sc_api.open(os.path.join(cubes, "eds.raw"))
    height, width, depth = compressed.shape
    mapped = np.memmap(os.path.join(cubes, "eds.raw"), dtype="<u4", mode="r",
                       shape=(height, width, depth))
    rng = np.random.default_rng(7)
    pixels = [(int(y), int(x)) for y, x in zip(rng.integers(height, size=args.pixels),
                                               rng.integers(width, size=args.pixels))]
    first = 630  # around the Fe K-alpha line at 10 eV per channel

    reads = {
        "roi of 30 channels": (
            lambda cube: cube.roi(first, 30),
            lambda: mapped[:, :, first:first + 30].sum(axis=2)),
        f"roi of all {depth} channels": (
            lambda cube: cube.roi(0, depth),
            lambda: mapped.sum(axis=2)),
        f"cube[y, x], {args.pixels} pixels": (
            lambda cube: [cube[y, x] for y, x in pixels],
            lambda: [np.array(mapped[y, x]) for y, x in pixels]),
    }
    # The same answers, checked once before timing.
    for name, (ours, theirs) in reads.items():
        for cube in (compressed, raw):
            np.testing.assert_array_equal(np.asarray(ours(cube)), np.asarray(theirs()), name)

    print(f"{'read':32} {'numpy memmap':>13} {'sc_api scd':>11} {'ratio':>6} "
          f"{'sc_api raw':>11} {'ratio':>6}")
    for name, (ours, theirs) in reads.items():
        numpy_time = median_seconds(theirs, args.runs)
        scd_time = median_seconds(lambda: ours(compressed), args.runs)
        raw_time = median_seconds(lambda: ours(raw), args.runs)
        print(f"{name:32} {numpy_time * 1e3:10.2f} ms {scd_time * 1e3:8.2f} ms "
              f"{numpy_time / scd_time:6.2f} {raw_time * 1e3:8.2f} ms {numpy_time / raw_time:6.2f}")


if __name__ == "__main__":
    main()
