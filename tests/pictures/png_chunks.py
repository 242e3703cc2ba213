#!/usr/bin/env python3
"""Describes a PNG file as JSON for the writer's tests, read with Python's own zlib: the chunks
(name, length, CRC good), the header, the tRNS bytes and the filter type of every row (each
Adam7 pass's rows in turn for an interlaced file).

Usage: png_chunks.py FILE
"""
import json
import struct
import sys
import zlib

CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def main(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "signature"
    chunks, idat, ihdr, trns, pos = [], b"", None, None, 8
    while pos < len(data):
        length, name = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        name = name.decode("latin-1")
        chunks.append([name, length, zlib.crc32(name.encode("latin-1") + body) == crc])
        if name == "IHDR":
            w, h, depth, ctype, comp, filt, inter = struct.unpack(">IIBBBBB", body)
            ihdr = dict(width=w, height=h, depth=depth, colorType=ctype, interlace=inter)
        elif name == "IDAT":
            idat += body
        elif name == "tRNS":
            trns = list(body)
        pos += 12 + length
    raw = zlib.decompress(idat)
    bits = CHANNELS[ihdr["colorType"]] * ihdr["depth"]
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    if not ihdr["interlace"]:
        passes = [(0, 0, 1, 1)]
    filters, at = [], 0
    for x0, y0, dx, dy in passes:
        pw = max(0, (ihdr["width"] - x0 + dx - 1) // dx)
        ph = max(0, (ihdr["height"] - y0 + dy - 1) // dy)
        if pw == 0 or ph == 0:
            continue
        for _ in range(ph):
            filters.append(raw[at])
            at += 1 + (pw * bits + 7) // 8
    print(json.dumps(dict(chunks=chunks, ihdr=ihdr, trns=trns, filters=filters, rest=len(raw) - at)))


if __name__ == "__main__":
    main(sys.argv[1])
