#!/usr/bin/env python3
"""Watches the live ROI image of a cube that acquire.py is building.

    python3 python/examples/watch_roi.py HANDLE [--endpoint tcp://127.0.0.1:7723]

Prints, once a second, how many lines hold counts and a coarse picture of the ROI image of
channels 290 to 310 (the first peak), until the acquisition is terminated.
"""

import argparse
import sys
import time

from tuplink_client import CubeServiceError, RemoteCubeBuilder

SHADES = " .:-=+*#%@"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("handle", type=int)
    parser.add_argument("--endpoint", default="tcp://127.0.0.1:7723")
    options = parser.parse_args()
    with RemoteCubeBuilder.attach(options.handle, endpoint=options.endpoint) as cube:
        while True:
            try:
                roi = cube.roi(290, 21)
            except CubeServiceError as refusal:  # no area yet, or terminated
                if cube.terminated:
                    print("acquisition terminated")
                    return 0
                print(f"waiting: {refusal}")
                time.sleep(1)
                continue
            filled = int((roi.max(axis=1) > 0).sum())
            print(f"\n{filled} of {cube.height} lines acquired; ROI 290..310:")
            top = max(int(roi.max()), 1)
            for row in roi[::4, ::2]:
                print("".join(SHADES[min(9, int(v) * 10 // (top + 1))] for v in row))
            time.sleep(1)


if __name__ == "__main__":
    sys.exit(main())
