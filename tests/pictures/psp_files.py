"""Writes Paint Shop Pro files from the format's layout into a folder, each beside the
picture it holds as raw RGB rows (name.rgb), for the reader's tests:
    psp_files.py FOLDER
Versions 3 and 4 (4 puts a size before every chunk), raw, run-length and deflate channels,
1, 4, 8 and 24 bits, palettes, grey, several layers and a mask channel."""
import struct
import sys
import zlib

W, H = 13, 5


def rle(data):
    out = bytearray()
    i = 0
    while i < len(data):
        run = 1
        while i + run < len(data) and run < 127 and data[i + run] == data[i]:
            run += 1
        if run >= 3:
            out += bytes([128 + run, data[i]])
            i += run
            continue
        n = 0
        while i + n < len(data) and n < 127:
            if i + n + 2 < len(data) and data[i + n] == data[i + n + 1] == data[i + n + 2]:
                break
            n += 1
        out += bytes([n]) + data[i:i + n]
        i += n
    return bytes(out)


def block(version, ident, body):
    head = b"~BK\0" + struct.pack("<H", ident)
    if version == 3:
        head += struct.pack("<I", len(body))
    return head + struct.pack("<I", len(body)) + body


def chunk(version, body):
    return struct.pack("<I", len(body) + 4) + body if version > 3 else body


def channel(version, data, compression, ctype, btype=0):
    packed = {0: data, 1: rle(data), 2: zlib.compress(data)}[compression]
    head = struct.pack("<IIHH", len(packed), len(data), btype, ctype)
    return block(version, 5, chunk(version, head) + packed)


def layer(version, ltype, channels):
    if version == 3:
        info = bytes([ltype]) + bytes(114)
        body = b"Layer".ljust(256, b"\0") + info + struct.pack("<HH", 1, len(channels))
    else:
        name = b"Layer"
        body = chunk(version, struct.pack("<H", len(name)) + name + bytes([ltype]) + bytes(40))
        body += chunk(version, struct.pack("<HH", 1, len(channels)))
    return block(version, 4, body + b"".join(channels))


def psp(version, depth, compression, layers, palette=None, grey=False, resolution=(100.0, 2)):
    attrs = struct.pack("<IIdBHHHIB", W, H, resolution[0], resolution[1], compression, depth, 1,
                        256 if depth <= 8 else 0, 1 if grey else 0) + bytes(14)
    out = b"Paint Shop Pro Image File\n\x1a".ljust(32, b"\0") + struct.pack("<HH", version, 0)
    out += block(version, 0, chunk(version, attrs))
    out += block(version, 17, b"an extension block that readers pass over")
    if palette is not None:
        entries = b"".join(bytes([b, g, r, 0]) for r, g, b in palette)
        out += block(version, 2, chunk(version, struct.pack("<I", len(palette))) + entries)
    out += block(version, 3, b"".join(layers))
    return out


def packed_row(values, bits):
    row = bytearray()
    per = 8 // bits
    for i in range(0, len(values), per):
        byte = 0
        for k, v in enumerate(values[i:i + per]):
            byte |= v << (8 - bits * (k + 1))
        row.append(byte)
    return bytes(row)


def main(folder):
    reds = [[(x * 19 + y * 7) & 255 for x in range(W)] for y in range(H)]
    greens = [[(200 - x * 11) & 255 for x in range(W)] for y in range(H)]
    blues = [[(y * 50) & 255 for x in range(W)] for y in range(H)]
    masks = [[(x * 20) & 255 for x in range(W)] for y in range(H)]
    plane = lambda p: b"".join(bytes(r) for r in p)
    rgb = lambda p: b"".join(bytes([p[0][y][x], p[1][y][x], p[2][y][x]]) for y in range(H) for x in range(W))
    files = {}
    for version in (3, 4):
        for compression in (0, 1, 2):
            tag = "v%d_c%d" % (version, compression)
            # A layer of another kind first, which the reader passes over.
            other = layer(version, 1 if version == 3 else 2, [channel(version, bytes(W * H), compression, 0)])
            colour = [channel(version, plane(p), compression, t) for t, p in ((1, reds), (2, greens), (3, blues))]
            files["rgb_" + tag] = (psp(version, 24, compression, [other, layer(version, 0, colour)]),
                                   rgb((reds, greens, blues)))
            withMask = colour + [channel(version, plane(masks), compression, 0, 1)]
            files["rgba_" + tag] = (psp(version, 24, compression, [layer(version, 0, withMask)]),
                                    rgb((reds, greens, blues)))
            for bits in (1, 4, 8):
                colours = 1 << bits
                pal = [((i * 37) & 255, (i * 91 + 10) & 255, (255 - i * 13) & 255) for i in range(colours)]
                idx = [[(x + 2 * y) % colours for x in range(W)] for y in range(H)]
                data = b"".join(packed_row(r, bits) for r in idx)
                img = b"".join(bytes(pal[v]) for r in idx for v in r)
                files["pal%d_%s" % (bits, tag)] = (
                    psp(version, bits, compression, [layer(version, 0, [channel(version, data, compression, 0)])], pal),
                    img)
            greys = [[(x * 20 + y) & 255 for x in range(W)] for y in range(H)]
            files["grey_" + tag] = (psp(version, 8, compression, [layer(version, 0, [
                channel(version, plane(greys), compression, 0)])], grey=True),
                b"".join(bytes([v, v, v]) for r in greys for v in r))
    for name, (data, pixels) in files.items():
        open("%s/%s.psp" % (folder, name), "wb").write(data)
        open("%s/%s.rgb" % (folder, name), "wb").write(pixels)
    # JPEG-compressed channels, which the reader refuses.
    open(folder + "/jpeg.psp", "wb").write(psp(4, 24, 3, [layer(4, 0, [])]))


if __name__ == "__main__":
    main(sys.argv[1])
