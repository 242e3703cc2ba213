#!/usr/bin/python3
"""Writes the seed corpus of fuzz_id3 into the folder given: ID3v2 tags as other programs and
broken taggers leave them, written with struct, in front of one MPEG frame.

    id3_corpus.py FOLDER

Besides sound 2.3 and 2.4 tags: frames with damaged identifiers whose sizes are intact (in the
middle, last before the padding, running to the tag's end), lower-case identifiers, leftovers
of older frames in the padding, 2.4 tags with 2.3's plain sizes, "MP3e" padding and a tag
unsynchronised as a whole.
"""
import os
import struct
import sys

AUDIO = b"\xff\xfb\x90\x00" + b"\x00" * 413 + b"\xff\xfb\x90\x00" + b"\x00" * 413


def syncsafe(n):
    return bytes((n >> s) & 0x7F for s in (21, 14, 7, 0))


def frame(version, fid, data, plain=False):
    size = struct.pack(">I", len(data)) if version == 3 or plain else syncsafe(len(data))
    return fid + size + b"\0\0" + data


def tag(version, body, flags=0):
    return b"ID3" + struct.pack(">BBB", version, 0, flags) + syncsafe(len(body)) + body


def text(version, fid, value, **kw):
    return frame(version, fid, b"\0" + value, **kw)


def unsync(data):
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and (i + 1 == len(data) or data[i + 1] == 0 or data[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def seeds():
    t3 = text(3, b"TIT2", b"Title")
    a3 = text(3, b"TPE1", b"Artist") + text(3, b"TALB", b"Album")
    comm = frame(3, b"COMM", b"\0jpn\0comment")
    yield "sound23", tag(3, t3 + a3 + comm + b"\0" * 64)
    yield "sound24", tag(4, text(4, b"TIT2", b"Title") + text(4, b"TPE1", b"Artist") + b"\0" * 32)
    yield "damaged_middle", tag(3, t3 + text(3, b"T\xb1T2", b"damaged") + a3 + b"\0" * 64)
    yield "damaged_to_end", tag(3, t3 + text(3, b"T\xb1T2", b"damaged") + a3)
    yield "damaged_last", tag(3, t3 + a3 + text(3, b"TI-2", b"x") + b"\0" * 32)
    yield "damaged_first", tag(3, text(3, b"\x01\x02\x03\x04", b"x") + t3 + b"\0" * 16)
    yield "damaged_24", tag(4, text(4, b"TIT2", b"T") + text(4, b"t\xe9t2", b"x" * 200) +
                            text(4, b"TPE1", b"A") + b"\0" * 16)
    yield "damaged_size_zero", tag(3, t3 + b"T\xb1T2" + b"\0" * 6 + a3 + b"\0" * 16)
    yield "lower_case", tag(3, t3 + text(3, b"tpe1", b"Artist") + b"\0" * 16)
    yield "leftovers", tag(3, t3 + b"tle\0\0\0\x7f\x30\0\0old artist" + b"\0" * 40)
    yield "junk_padding", tag(3, t3 + b"junk\x01\x02" + b"\0" * 60)
    yield "mp3e_padding", tag(3, t3 + b"MP3ext junk" + b"\0" * 20)
    yield "plain_sizes_24", tag(4, text(4, b"TIT2", b"x" * 300, plain=True) +
                                text(4, b"TPE1", b"Artist", plain=True) + b"\0" * 16)
    yield "unsync_damaged", tag(3, unsync(t3 + text(3, b"T\xffT2", b"\xff\xe0") + a3 + b"\0" * 16), 0x80)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds():
        with open(os.path.join(folder, name + ".mp3"), "wb") as f:
            f.write(data + AUDIO)


if __name__ == "__main__":
    main()
