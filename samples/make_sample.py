#!/usr/bin/env python3
"""Writes sample.vc1: a small VC-1 Advanced Profile elementary stream that the
project ships so that Kestrine has something to show without any input file.

Sequence header: 1920x1080 progressive, level 3, display extension with
square pixels, 24000/1001 fps and BT.709 colour, two leaky buckets.
Entry point: closed, loop filter, overlap, coded size 1920x1080, range
mapping of luma. One empty-ish frame follows."""
import pathlib

from vc1_bits import Bits


seq = Bits()
for width, value in [
    (2, 3), (3, 3), (2, 1), (3, 7), (5, 31), (1, 0),  # PROFILE..POSTPROCFLAG
    (12, 959), (12, 539),                              # MAX_CODED_WIDTH/HEIGHT
    (1, 0), (1, 0), (1, 0), (1, 1), (1, 0), (1, 0),    # PULLDOWN..PSF
    (1, 1),                                            # DISPLAY_EXT
    (14, 1919), (14, 1079),                            # DISP_HORIZ/VERT_SIZE
    (1, 1), (4, 1),                                    # ASPECT_RATIO_FLAG, ASPECT_RATIO
    (1, 1), (1, 0), (8, 1), (4, 2),                    # FRAMERATE_FLAG, IND, NR, DR
    (1, 1), (8, 1), (8, 1), (8, 1),                    # COLOR_FORMAT_FLAG, PRIM, TRANSFER, MATRIX
    (1, 1), (5, 2), (4, 3), (4, 4),                    # HRD_PARAM_FLAG, buckets, exponents
    (16, 2000), (16, 3000), (16, 4000), (16, 5000),    # HRD_RATE/BUFFER pairs
]:
    seq.put(width, value)
seq.trailing()

ep = Bits()
for width, value in [
    (1, 0), (1, 1), (1, 0), (1, 1), (1, 1), (1, 1), (1, 0),  # BROKEN_LINK..EXTENDED_MV
    (2, 0), (1, 1), (1, 1), (2, 0),                          # DQUANT..QUANTIZER
    (8, 128), (8, 200),                                      # HRD_FULL[1..2]
    (1, 1), (12, 959), (12, 539),                            # CODED_SIZE_FLAG, CODED_WIDTH/HEIGHT
    (1, 1), (3, 4), (1, 0),                                  # RANGE_MAPY_FLAG, RANGE_MAPY, RANGE_MAPUV_FLAG
]:
    ep.put(width, value)
ep.trailing()

data = (b"\x00\x00\x01\x0f" + seq.bytes() + b"\x00\x00\x01\x0e" + ep.bytes()
        + b"\x00\x00\x01\x0d" + bytes([0xC0, 0x00, 0x00, 0x00]))
pathlib.Path(__file__).with_name("sample.vc1").write_bytes(data)
