#!/usr/bin/python3
"""Writes the foreign raw cubes that the import tests read: .rpl/.raw pairs laid out the way
other analysis programs write them, with numpy's tofile() for the data.

Every cube of the matrix is 3 x 2 pixels of 5 channels holding v(x, y, c) = 1 + x + 3y + 6c, in
each data type, length, byte order and storage order, each with a header in one of three
styles. The files are committed; run this script again only to change them:

    python3 tests/data/foreign/make_foreign_cubes.py tests/data/foreign
"""
import os
import sys

import numpy as np

WIDTH, HEIGHT, DEPTH = 3, 2, 5

TYPES = [("signed", "i", length) for length in (1, 2, 4, 8)] + \
        [("unsigned", "u", length) for length in (1, 2, 4, 8)] + \
        [("float", "f", length) for length in (4, 8)]


def cube_values():
    """Array indexed [y, x, c]."""
    y, x, c = np.meshgrid(np.arange(HEIGHT), np.arange(WIDTH), np.arange(DEPTH), indexing="ij")
    return 1 + x + 3 * y + 6 * c


def header_text(style, fields):
    """The header in one of three styles seen in the wild."""
    if style == 0:  # tab-separated, lower case, title line, trailing empty value
        lines = ["key\tvalue"] + ["%s\t%s" % kv for kv in fields] + ["signal\t"]
        return "\n".join(lines) + "\n"
    if style == 1:  # upper case keys, spaces, comment lines, CRLF, ev-per-chan calibration
        lines = ["; written by a spectrum analysis program", "# dimensions follow"]
        lines += ["%-14s %s" % (k.upper(), v) for k, v in fields]
        lines += ["EV-PER-CHAN    10", "DETECTOR-PEAK-WIDTH-EV 130"]
        return "\r\n".join(lines) + "\r\n"
    # mixed case, depth-scale calibration in keV, extra keys
    lines = ["%s %s" % (k.capitalize(), v) for k, v in fields]
    lines += ["depth-scale 0.02", "depth-origin -0.1", "depth-units keV", "depth-name Energy",
              "width-scale 0.5", "width-units um", "beam-energy 20"]
    return "\n".join(lines) + "\n"


def write_cube(directory, name, values, kind, code, length, order, record_by, offset, style):
    dtype = np.dtype(("<" if order == "little-endian" else ">") + code + str(length))
    data = values if record_by == "vector" else values.transpose(2, 0, 1)
    fields = [("width", WIDTH), ("height", HEIGHT), ("depth", DEPTH), ("offset", offset),
              ("data-length", length), ("data-type", kind), ("byte-order", order),
              ("record-by", record_by)]
    with open(os.path.join(directory, name + ".rpl"), "w", newline="") as rpl:
        rpl.write(header_text(style, fields))
    with open(os.path.join(directory, name + ".raw"), "wb") as raw:
        raw.write(bytes(i % 256 for i in range(offset)))
        np.ascontiguousarray(data).astype(dtype).tofile(raw)


def main(directory):
    values = cube_values()
    index = 0
    for kind, code, length in TYPES:
        for order in ("little-endian", "big-endian"):
            for record_by in ("vector", "image"):
                offset = 64 if index % 4 == 3 else 0
                name = "%s%d_%s_%s" % (kind, length, order.split("-")[0], record_by)
                write_cube(directory, name, values, kind, code, length, order, record_by, offset,
                           index % 3)
                index += 1
    # Values that do not fit in 16-bit counts.
    negative = values.copy()
    negative[1, 2, 4] = -7
    write_cube(directory, "out_of_range_signed2", negative, "signed", "i", 2, "big-endian",
               "vector", 0, 0)
    fractional = values.astype(np.float64)
    fractional[0, 1, 3] = 2.5
    fractional[1, 0, 0] = 70000.0
    write_cube(directory, "out_of_range_float8", fractional, "float", "f", 8, "little-endian",
               "image", 0, 0)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__)))
