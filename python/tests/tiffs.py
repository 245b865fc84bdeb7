"""Uncompressed one-sample TIFF files, written and read with the standard library and NumPy
alone, so that the runner's files and the bridge's arrays are compared without the project's own
image reader in between."""

import struct

import numpy as np

_FORMATS = {"u": 1, "i": 2, "f": 3}
_SHORT, _LONG = 3, 4


def write_tiff(path, array):
    """A classic little-endian TIFF of a two-dimensional integer or float array, one strip."""
    array = np.ascontiguousarray(array, dtype=array.dtype.newbyteorder("<"))
    height, width = array.shape
    data = array.tobytes()
    tags = [
        (256, _LONG, width),
        (257, _LONG, height),
        (258, _SHORT, array.dtype.itemsize * 8),
        (259, _SHORT, 1),  # no compression
        (262, _SHORT, 1),  # black is zero
        (273, _LONG, 8),  # the strip, right after the header
        (277, _SHORT, 1),
        (278, _LONG, height),
        (279, _LONG, len(data)),
        (339, _SHORT, _FORMATS[array.dtype.kind]),
    ]
    directory = struct.pack("<H", len(tags))
    for tag, kind, value in tags:
        packed = struct.pack("<H", value) + b"\0\0" if kind == _SHORT else struct.pack("<I", value)
        directory += struct.pack("<HHI", tag, kind, 1) + packed
    directory += struct.pack("<I", 0)
    with open(path, "wb") as f:
        f.write(b"II*\0" + struct.pack("<I", 8 + len(data)) + data + directory)


def read_tiff(path):
    """The first image of an uncompressed one-sample TIFF as an array of its own element type."""
    data = open(path, "rb").read()
    order = {b"II": "<", b"MM": ">"}[data[:2]]
    assert struct.unpack(order + "H", data[2:4])[0] == 42, "not a classic TIFF"
    (ifd,) = struct.unpack(order + "I", data[4:8])
    (count,) = struct.unpack(order + "H", data[ifd : ifd + 2])
    tags = {}
    for i in range(count):
        entry = data[ifd + 2 + 12 * i : ifd + 14 + 12 * i]
        tag, kind, n = struct.unpack(order + "HHI", entry[:8])
        if kind not in (_SHORT, _LONG):
            continue
        size = 2 if kind == _SHORT else 4
        field = entry[8:] if n * size <= 4 else data[struct.unpack(order + "I", entry[8:])[0] :]
        tags[tag] = struct.unpack(order + ("H" if kind == _SHORT else "I") * n, field[: n * size])
    width, height, bits = tags[256][0], tags[257][0], tags[258][0]
    assert tags.get(259, (1,))[0] == 1 and tags.get(277, (1,))[0] == 1, "compressed or multi-sample"
    kind = {1: "u", 2: "i", 3: "f"}[tags.get(339, (1,))[0]]
    pixels = b"".join(data[o : o + n] for o, n in zip(tags[273], tags[279]))
    dtype = np.dtype(f"{order}{kind}{bits // 8}")
    return np.frombuffer(pixels[: width * height * dtype.itemsize], dtype).reshape(height, width)
