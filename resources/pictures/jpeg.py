"""A small baseline JPEG writer (standard library only) for pictures keyed on black.

JPEG rounding leaves faint noise of one or two levels in every 8 x 8 block that holds an edge,
so a glow on black usually decodes with "black" pixels of (1, 0, 1) that a colour key no longer
matches. This writer codes the key pixels (exact black) of a block that also holds picture a
few levels *below* black: the decoder clamps each sample back to exact black whatever its
rounding. That only works when the samples are red, green and blue themselves (a decoder
clamps luma before it adds the colour difference), so the file is an RGB JPEG, marked as such
by an Adobe segment with colour transform 0. Blocks that are all key are coded as plain black,
which decodes exactly.

Otherwise plain baseline JPEG: 8-bit, three components without subsampling, quantisation 1
(quality 100), Huffman tables with 8-bit codes for every AC symbol.
"""
import math

KEY_LEVEL = -16.0  # key samples next to picture; the decoder clamps them to 0

_ZIGZAG = sorted(((x, y) for y in range(8) for x in range(8)),
                 key=lambda p: (p[0] + p[1], p[0] if (p[0] + p[1]) % 2 == 0 else p[1]))
_COS = [[math.cos((2 * x + 1) * u * math.pi / 16) for x in range(8)] for u in range(8)]
_C = [math.sqrt(0.5)] + [1.0] * 7


class _Bits:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0)
                self.acc = self.n = 0

    def flush(self):
        while self.n:
            self.put(1, 1)


def _category(v):
    return 0 if v == 0 else abs(v).bit_length()


def _magnitude_bits(v, size):
    return v if v > 0 else v + (1 << size) - 1


# Huffman tables: every DC symbol (0..11) a 4-bit code, every AC symbol an 8-bit code.
_DC_SYMBOLS = list(range(12))
_AC_SYMBOLS = [0x00, 0xF0] + [(run << 4) | size for run in range(16) for size in range(1, 11)]
_DC_CODE = {s: (i, 4) for i, s in enumerate(_DC_SYMBOLS)}
_AC_CODE = {s: (i, 8) for i, s in enumerate(_AC_SYMBOLS)}


def _dht(table_class, table_id, symbols, length):
    counts = [0] * 16
    counts[length - 1] = len(symbols)
    body = bytes([(table_class << 4) | table_id]) + bytes(counts) + bytes(symbols)
    return b"\xff\xc4" + (len(body) + 2).to_bytes(2, "big") + body


def _fdct(block):
    """8 x 8 forward DCT of level-shifted samples (block[y][x])."""
    rows = [[sum(block[y][x] * _COS[u][x] for x in range(8)) for u in range(8)] for y in range(8)]
    return [[0.25 * _C[u] * _C[v] * sum(rows[y][u] * _COS[v][y] for y in range(8))
             for u in range(8)] for v in range(8)]


def write_jpeg(path, w, h, pixels):
    """pixels: w * h [r, g, b] lists in rows from the top; exact black is the key."""
    planes = [[[0.0] * w for _ in range(h)] for _ in range(3)]
    key = [[False] * w for _ in range(h)]
    for i, (r, g, b) in enumerate(pixels):
        x, y = i % w, i // w
        key[y][x] = r == g == b == 0
        planes[0][y][x], planes[1][y][x], planes[2][y][x] = r, g, b

    bits = _Bits()
    previous_dc = [0, 0, 0]
    for by in range(0, h, 8):
        for bx in range(0, w, 8):
            # Samples past the edge repeat the last row and column.
            cells = [[(min(by + y, h - 1), min(bx + x, w - 1)) for x in range(8)]
                     for y in range(8)]
            mixed = any(not key[cy][cx] for row in cells for cy, cx in row)
            for c in range(3):
                block = []
                for row in cells:
                    line = []
                    for cy, cx in row:
                        v = planes[c][cy][cx]
                        if mixed and key[cy][cx]:
                            v = KEY_LEVEL
                        line.append(v - 128)
                    block.append(line)
                coef = _fdct(block)
                q = [int(round(coef[v][u])) for u, v in _ZIGZAG]
                dc_diff = q[0] - previous_dc[c]
                previous_dc[c] = q[0]
                size = _category(dc_diff)
                if size > 11:
                    raise ValueError("DC difference out of range in " + path)
                code, length = _DC_CODE[size]
                bits.put(code, length)
                bits.put(_magnitude_bits(dc_diff, size), size)
                run = 0
                for v in q[1:]:
                    if v == 0:
                        run += 1
                        continue
                    while run > 15:
                        bits.put(*_AC_CODE[0xF0])
                        run -= 16
                    size = _category(v)
                    if size > 10:
                        raise ValueError("AC coefficient out of range in " + path)
                    bits.put(*_AC_CODE[(run << 4) | size])
                    bits.put(_magnitude_bits(v, size), size)
                    run = 0
                if run:
                    bits.put(*_AC_CODE[0x00])
    bits.flush()

    out = bytearray(b"\xff\xd8")
    out += b"\xff\xee\x00\x0eAdobe\x00\x64\x00\x00\x00\x00\x00"  # transform 0: RGB
    out += b"\xff\xdb\x00\x43\x00" + bytes([1] * 64)
    out += b"\xff\xc0\x00\x11\x08" + h.to_bytes(2, "big") + w.to_bytes(2, "big")
    out += b"\x03R\x11\x00G\x11\x00B\x11\x00"
    out += _dht(0, 0, _DC_SYMBOLS, 4) + _dht(1, 0, _AC_SYMBOLS, 8)
    out += b"\xff\xda\x00\x0c\x03R\x00G\x00B\x00\x00\x3f\x00"
    out += bits.out
    out += b"\xff\xd9"
    with open(path, "wb") as f:
        f.write(out)
