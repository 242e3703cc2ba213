#!/usr/bin/python3
"""Writes the Autodesk, RLA and Dr. Halo fixtures of the picture reader tests into a folder.

Each picture X comes with X.expect: width and height (32-bit little-endian) and then the
pixels the reader must show, top row first, as red, green, blue, alpha bytes.
"""
import math
import struct
import sys
from pathlib import Path


def expect(path, w, h, pixels):
    data = bytearray(struct.pack('<II', w, h))
    for r, g, b, a in pixels:
        data += bytes((r, g, b, a))
    Path(str(path) + '.expect').write_bytes(bytes(data))


def autodesk(out):
    w, h = 32, 20
    pal = [((i * 5) % 64, (i * 3) % 64, 63 - i % 64) for i in range(256)]
    pal[5] = (63, 0, 32)
    # A magenta box in the top left corner over bands: upright at a glance.
    head = struct.pack('<HHHHHBB', 0x9119, w, h, 3, 4, 8, 0) + bytes(20)
    idx = [[5 if x < 10 and y < 6 else (x + y * 3 + 40) % 256 for x in range(w)] for y in range(h)]
    body = b''.join(bytes(row) for row in idx)
    (out / 'picture.pic').write_bytes(head + b''.join(bytes(e) for e in pal) + body)
    expect(out / 'picture.pic', w, h,
           [tuple(c * 4 for c in pal[idx[y][x]]) + (255,) for y in range(h) for x in range(w)])


def rla_runs(data):
    """RLA run-length: n >= 0 repeats the next byte n + 1 times, n < 0 copies -n bytes."""
    out = bytearray()
    i = 0
    while i < len(data):
        run = 1
        while i + run < len(data) and data[i + run] == data[i] and run < 128:
            run += 1
        if run >= 3:
            out += bytes((run - 1, data[i]))
            i += run
            continue
        j = i
        while j < len(data) and j - i < 128 and not (j + 2 < len(data) and data[j] == data[j + 1] == data[j + 2]):
            j += 1
        out += struct.pack('b', -(j - i)) + bytes(data[i:j])
        i = j
    return bytes(out)


def rla(out, name, w, h, bits=8, matte=False, bottom_up=True, gamma=b'2.2', left=0, bottom=0):
    wide = bits > 8
    top_value = (1 << bits) - 1

    def sample(x, y, c):
        # Flat stretches for runs, steps for literals, every channel its own; a green box in
        # the top left corner.
        if x < w // 3 and y < h // 3 and c < 3:
            return (30, 220, 40)[c]
        v = [(x // 3) * 40 + y * 9, 255 - (x * 13 + y * 5) % 256, (x * y * 7) % 256, (x * 30 + y * 11) % 256][c]
        return v % 256

    channels = 4 if matte else 3
    header = bytearray(740)
    right, top = left + w - 1, bottom + h - 1
    if not bottom_up:
        top, bottom = bottom, bottom + h - 1
    struct.pack_into('>4h', header, 0, left, right, min(bottom, top), max(bottom, top))
    struct.pack_into('>4h', header, 8, left, right, bottom, top)
    struct.pack_into('>6h', header, 16, 0, 0, 3, 1 if matte else 0, 0, -2)
    header[28:28 + len(gamma)] = gamma
    header[580:583] = b'rgb'
    struct.pack_into('>5h', header, 658, bits, 0, bits, 0, 0)
    rows = []
    # File row k is picture row h - 1 - k when bottom-up.
    for k in range(h):
        y = h - 1 - k if bottom_up else k
        line = bytearray()
        for c in range(channels):
            values = [sample(x, y, c) for x in range(w)]
            if wide:
                raw = b''.join(struct.pack('>H', v * 257 * top_value // 65535) for v in values)
            else:
                raw = bytes(v * top_value // 255 for v in values)
            coded = rla_runs(raw)
            line += struct.pack('>H', len(coded)) + coded
        rows.append(bytes(line))
    offsets, pos = [], 740 + 4 * h
    for line in rows:
        offsets.append(pos)
        pos += len(line)
    (out / name).write_bytes(bytes(header) + b''.join(struct.pack('>I', o) for o in offsets) + b''.join(rows))
    try:
        g = float(gamma.decode())
    except ValueError:
        g = 1.0
    exponent = 1.0 / (g * 2.2)
    table = [min(255, max(0, round(math.pow(i / 255.0, exponent) * 255.0))) for i in range(256)]
    def shown(v):
        # Narrow samples are spread to 16 bits and shown by their top 8, truncated.
        if bits in (8, 16):
            return v
        q = v * 257 * top_value // 65535 if wide else v * top_value // 255
        return (q * 65535 // top_value) * 255 // 65535

    pixels = []
    for y in range(h):
        for x in range(w):
            px = [table[shown(sample(x, y, c))] for c in range(3)]
            pixels.append(tuple(px) + ((sample(x, y, 3),) if matte else (255,)))
    expect(out / name, w, h, pixels)


def cut_rows(row):
    """Dr. Halo rows: a 2-byte length, runs (0x80 | n, value) and literals (n, bytes), a 0 at the end."""
    body = bytearray()
    i = 0
    while i < len(row):
        run = 1
        while i + run < len(row) and row[i + run] == row[i] and run < 127:
            run += 1
        if run >= 2:
            body += bytes((0x80 | run, row[i]))
            i += run
        else:
            j = i
            while j < len(row) and j - i < 127 and not (j + 1 < len(row) and row[j] == row[j + 1]):
                j += 1
            body += bytes((j - i,)) + bytes(row[i:j])
            i = j
    body += b'\0'
    return struct.pack('<H', len(body)) + bytes(body)


def halo(out, name, with_palette, palette_name=None):
    # (A width of 40 would make ImageMagick take the file for a headerless bitmap.)
    w, h = 46, 24
    idx = [[250 if x < 12 and y < 8 else (x // 4 * 31 + y * 17) % 256 for x in range(w)] for y in range(h)]
    data = struct.pack('<HHH', w, h, 0) + b''.join(cut_rows(r) for r in idx)
    (out / name).write_bytes(data)
    pal = [((i * 7) % 256, (255 - i) % 256, (i * 3 + 40) % 256) for i in range(256)]
    if with_palette:
        # The header ImageMagick looks for: "AH", file type 10, maximum red, green, blue 255.
        blocks = bytearray(40)
        blocks[0:2] = b'AH'
        struct.pack_into('<H', blocks, 6, 10)
        struct.pack_into('<H', blocks, 12, 255)
        struct.pack_into('<HHH', blocks, 14, 255, 255, 255)
        offset = 40
        for r, g, b in pal:
            if offset > 506:
                blocks += bytes(512 - len(blocks) % 512) if len(blocks) % 512 else b''
                offset = 0
            blocks += struct.pack('<HHH', r, g, b)
            offset += 6
        blocks += bytes((512 - len(blocks) % 512) % 512)
        (out / (palette_name or Path(name).stem + '.pal')).write_bytes(bytes(blocks))
    colour = (lambda i: pal[i]) if with_palette else (lambda i: (i, i, i))
    expect(out / name, w, h, [colour(idx[y][x]) + (255,) for y in range(h) for x in range(w)])


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    autodesk(out)
    rla(out, 'bottomup.rla', 40, 24)
    rla(out, 'topdown.rla', 19, 7, bottom_up=False, gamma=b'1.0', left=-4, bottom=3)
    rla(out, 'matte.rla', 30, 18, matte=True, gamma=b'0.4545')
    rla(out, 'wide.rla', 30, 18, bits=16, gamma=b'abc')
    rla(out, 'tenbit.rla', 9, 4, bits=10, gamma=b'1')
    halo(out, 'palette.cut', True)
    halo(out, 'upper.cut', True, 'upper.PAL')
    halo(out, 'grey.cut', False)


if __name__ == '__main__':
    main()
