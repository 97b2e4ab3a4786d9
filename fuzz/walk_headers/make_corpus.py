#!/usr/bin/env python3
"""Writes the saved corpus of the walk_headers fuzz target: small hand-made
header streams behind the target's 6-byte prefix (time per frame, output
length, flags). Run it from anywhere; it rewrites the hand-made files of
corpus/ and keeps the minimised-* files that fuzzing runs contributed."""
import pathlib
import struct
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "samples"))
from vc1_bits import Bits  # noqa: E402


def stream(display=True, aspect=1, fr_ind=0, color=True, hrd=2, ext_mv=1,
           coded=True, range_y=True, range_uv=True, width=959, height=539):
    s = Bits()
    for w, v in [(2, 3), (3, 3), (2, 1), (3, 7), (5, 31), (1, 0), (12, width), (12, height),
                 (1, 0), (1, 1), (1, 0), (1, 1), (1, 0), (1, 0)]:
        s.put(w, v)
    s.put(1, int(display))
    if display:
        s.put(14, 2 * width + 1)
        s.put(14, 2 * height + 1)
        s.put(1, int(aspect is not None))
        if aspect is not None:
            s.put(4, aspect)
            if aspect == 15:
                s.put(8, 9)
                s.put(8, 15)
        s.put(1, int(fr_ind is not None))
        if fr_ind is not None:
            s.put(1, fr_ind)
            if fr_ind == 0:
                s.put(8, 1)
                s.put(4, 2)
            else:
                s.put(16, 766)
        s.put(1, int(color))
        if color:
            s.put(8, 1)
            s.put(8, 1)
            s.put(8, 1)
    s.put(1, int(hrd is not None))
    if hrd is not None:
        s.put(5, hrd)
        s.put(4, 3)
        s.put(4, 4)
        for n in range(hrd):
            s.put(16, 2000 + n)
            s.put(16, 3000 + n)
    s.trailing()
    e = Bits()
    for w, v in [(1, 0), (1, 1), (1, 0), (1, 1), (1, 1), (1, 1), (1, ext_mv), (2, 2), (1, 1), (1, 1), (2, 1)]:
        e.put(w, v)
    for n in range(hrd or 0):
        e.put(8, 100 + n)
    e.put(1, int(coded))
    if coded:
        e.put(12, width)
        e.put(12, height)
    if ext_mv:
        e.put(1, 1)
    e.put(1, int(range_y))
    if range_y:
        e.put(3, 5)
    e.put(1, int(range_uv))
    if range_uv:
        e.put(3, 6)
    e.trailing()
    return b"\x00\x00\x01\x0f" + s.bytes() + b"\x00\x00\x01\x0e" + e.bytes()


def prefix(microseconds, output_length=255, inject=1):
    return struct.pack("<IBB", microseconds, output_length, inject)


full = stream()
cases = {
    "typical": prefix(41708) + full,
    "no-display-ext-code-pair": prefix(41708) + stream(display=False),
    "no-display-ext-exponent": prefix(41666) + stream(display=False),
    "no-display-ext-no-time": prefix(0) + stream(display=False),
    "no-display-ext-no-inject": prefix(40000, 255, 0) + stream(display=False),
    "no-display-ext-widest": prefix(13903) + stream(display=False, width=4095, height=4095),
    "custom-pixel-ratio": prefix(41708) + stream(aspect=15),
    "square-pixels-exponent-rate": prefix(41708) + stream(aspect=None, fr_ind=1),
    "no-frame-rate-no-color": prefix(41708) + stream(fr_ind=None, color=False),
    "no-hrd": prefix(41708) + stream(hrd=None),
    "zero-buckets": prefix(41708) + stream(hrd=0),
    "31-buckets": prefix(41708) + stream(hrd=31),
    "extended-mv-0": prefix(41708) + stream(ext_mv=0, coded=False),
    "range-mapuv-only": prefix(41708) + stream(range_y=False),
    "no-range-mapping": prefix(41708) + stream(range_y=False, range_uv=False),
    "asf-codec-data": prefix(33367) + b"\x25" + stream(display=False),
    "sequence-only": prefix(41708) + full[:full.index(b"\x00\x00\x01\x0e")],
    "entry-point-only": prefix(41708) + full[full.index(b"\x00\x00\x01\x0e"):],
    "truncated-entry-point": prefix(41708) + full[:full.index(b"\x00\x00\x01\x0e") + 6],
    "output-16-bytes": prefix(41708, 16) + stream(display=False),
    "output-0-bytes": prefix(41708, 0) + full,
    "tiny-time": prefix(1) + stream(display=False),
    "huge-time": prefix(0xFFFFFFFF) + stream(display=False),
    "start-codes-only": prefix(0) + b"\x00\x00\x01\x0f\x00\x00\x01\x0e\x00\x00",
    "short": b"\x00\x00\x01",
}
out = pathlib.Path(__file__).with_name("corpus")
out.mkdir(exist_ok=True)
for old in out.iterdir():
    if not old.name.startswith("minimised-"):
        old.unlink()
for name, data in cases.items():
    (out / name).write_bytes(data)
