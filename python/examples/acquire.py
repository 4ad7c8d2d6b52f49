#!/usr/bin/env python3
"""Acquires a synthetic cube through `sccube serve`, line by line, as an instrument would.

    python3 python/examples/acquire.py [--endpoint tcp://127.0.0.1:7723] [--name demo/run1]

Prints the builder's handle (for watch_roi.py), then one dot per line.
"""

import argparse
import sys
import time

import numpy as np

from tuplink_client import start_cube

WIDTH, HEIGHT, DEPTH = 64, 48, 1024


def spectrum_line(y, random):
    """WIDTH spectra of DEPTH channels: a background plus two peaks whose height varies
    across the map, so that the ROI image shows a pattern."""
    x = np.arange(WIDTH)[:, None]
    channels = np.arange(DEPTH)[None, :]
    peak1 = 40 * (1 + np.sin(x / 6.0 + y / 9.0)) * np.exp(-((channels - 300) / 8.0) ** 2)
    peak2 = 30 * (1 + np.cos(x / 11.0 - y / 5.0)) * np.exp(-((channels - 700) / 10.0) ** 2)
    return random.poisson(0.3 + peak1 + peak2).astype(np.uint16)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--endpoint", default="tcp://127.0.0.1:7723")
    parser.add_argument("--name", default="run1")
    parser.add_argument("--line-delay", type=float, default=0.05, help="seconds between lines")
    options = parser.parse_args()
    random = np.random.default_rng(1)
    with start_cube(options.name, WIDTH, HEIGHT, DEPTH, endpoint=options.endpoint) as builder:
        print(f"acquiring {options.name} as handle {builder.handle}", flush=True)
        # Two areas: the top half, then the bottom half.
        for top, rows in ((0, HEIGHT // 2), (HEIGHT // 2, HEIGHT - HEIGHT // 2)):
            builder.new_area(0, top, WIDTH, rows)
            for y in range(top, top + rows):
                builder.add_line(spectrum_line(y, random))
                print(".", end="", flush=True)
                time.sleep(options.line_delay)
        builder.terminate()
    print(f"\ndone: {options.name}.scdh and its areas are complete", flush=True)


if __name__ == "__main__":
    sys.exit(main())
