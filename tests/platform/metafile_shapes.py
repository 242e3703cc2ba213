#!/usr/bin/env python3
"""Writes shapes.wmf (placeable) and shapes.emf into the folder given, from the formats' record
layouts: a red triangle, a green ellipse and blue text on a 200 x 100 picture (96 dpi).
    triangle (10,90) (40,10) (70,90); ellipse box (80,10)-(140,90); text "WW" at (150,30), 40 px
"""
import struct
import sys

W, H = 200, 100
RED, GREEN, BLUE = 0x0000FF, 0x00FF00, 0xFF0000  # COLORREF: 0x00BBGGRR
TRIANGLE = [(10, 90), (40, 10), (70, 90)]
ELLIPSE = (80, 10, 140, 90)
TEXT, TEXT_AT, TEXT_HEIGHT = "WW", (150, 30), 40


def wmf():
    recs = []

    def rec(function, *words, raw=b""):
        params = b"".join(struct.pack("<h" if w < 0 else "<H", w) for w in words) + raw
        if len(params) % 2:
            params += b"\0"
        recs.append(struct.pack("<IH", 3 + len(params) // 2, function) + params)

    rec(0x0103, 8)                  # map mode anisotropic
    rec(0x020B, 0, 0)               # window origin y, x
    rec(0x020C, H, W)               # window extent y, x
    rec(0x0102, 1)                  # background mode transparent
    for color in (RED, GREEN):
        rec(0x02FC, raw=struct.pack("<HIH", 0, color, 0))     # brush -> objects 0, 1
    for color in (RED, GREEN):
        rec(0x02FA, raw=struct.pack("<HhhI", 0, 1, 0, color))  # pen -> objects 2, 3
    face = b"DejaVu Sans".ljust(32, b"\0")
    rec(0x02FB, raw=struct.pack("<hhhhhBBBBBBBB", -TEXT_HEIGHT, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0) + face)
    rec(0x012D, 0)
    rec(0x012D, 2)
    rec(0x0324, raw=struct.pack("<H", len(TRIANGLE)) + b"".join(struct.pack("<hh", *p) for p in TRIANGLE))
    rec(0x012D, 1)
    rec(0x012D, 3)
    l, t, r, b = ELLIPSE
    rec(0x0418, b, r, t, l)
    rec(0x012D, 4)
    rec(0x012E, 0)                  # text align: top left
    rec(0x0209, raw=struct.pack("<I", BLUE))
    text = TEXT.encode("ascii")
    rec(0x0521, len(text), raw=text + (b"\0" if len(text) % 2 else b"") + struct.pack("<hh", TEXT_AT[1], TEXT_AT[0]))
    rec(0x0000)
    body = b"".join(recs)
    header = struct.pack("<HHHIHIH", 1, 9, 0x0300, (18 + len(body)) // 2, 5, max(len(r) for r in recs) // 2, 0)
    placeable = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, W, H, 96, 0)
    checksum = 0
    for i in range(0, 20, 2):
        checksum ^= struct.unpack_from("<H", placeable, i)[0]
    return placeable + struct.pack("<H", checksum) + header + body


def emf():
    recs = []

    def rec(kind, payload):
        recs.append(struct.pack("<II", kind, 8 + len(payload)) + payload)

    rec(18, struct.pack("<I", 1))                              # background mode transparent
    for i, color in enumerate((RED, GREEN)):
        rec(39, struct.pack("<IIII", 1 + i, 0, color, 0))          # brushes 1, 2
        rec(38, struct.pack("<IIiiI", 3 + i, 0, 1, 0, color))      # pens 3, 4
    rec(37, struct.pack("<I", 1))
    rec(37, struct.pack("<I", 3))
    xs = [p[0] for p in TRIANGLE]
    ys = [p[1] for p in TRIANGLE]
    rec(86, struct.pack("<iiiiI", min(xs), min(ys), max(xs), max(ys), len(TRIANGLE))
        + b"".join(struct.pack("<hh", *p) for p in TRIANGLE))
    rec(37, struct.pack("<I", 2))
    rec(37, struct.pack("<I", 4))
    rec(42, struct.pack("<iiii", *ELLIPSE))
    face = "DejaVu Sans".encode("utf-16-le").ljust(64, b"\0")
    rec(82, struct.pack("<IiiiiiBBBBBBBB", 5, -TEXT_HEIGHT, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0) + face)
    rec(37, struct.pack("<I", 5))
    rec(22, struct.pack("<I", 0))                              # text align top left
    rec(24, struct.pack("<I", BLUE))
    text = TEXT.encode("utf-16-le")
    n = len(TEXT)
    rec(84, struct.pack("<iiiiIff", 0, 0, -1, -1, 1, 1.0, 1.0)
        + struct.pack("<iiIIIiiiiI", TEXT_AT[0], TEXT_AT[1], n, 76, 0, 0, 0, -1, -1, 76 + len(text))
        + text + struct.pack("<" + "i" * n, *([TEXT_HEIGHT] * n)))
    rec(14, struct.pack("<III", 0, 16, 20))
    body = b"".join(recs)
    frame = (0, 0, round(W * 2540 / 96), round(H * 2540 / 96))
    header = struct.pack("<II iiii iiii IIIIHHIIIiiii", 1, 88, 0, 0, W - 1, H - 1, *frame, 0x464D4520, 0x10000,
                         88 + len(body), 1 + len(recs), 6, 0, 0, 0, 0, 1920, 1080, 508, 286)
    return header + body


if __name__ == "__main__":
    out = sys.argv[1]
    with open(out + "/shapes.wmf", "wb") as f:
        f.write(wmf())
    with open(out + "/shapes.emf", "wb") as f:
        f.write(emf())
