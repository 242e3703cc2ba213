#!/usr/bin/env python3
"""Encodes a binary PBM (P4, 1 = black) as a modified Huffman strip (TIFF compression 2):
each row's codes start on a byte; with "aligned" (compression 32771) each row also starts on
an even byte counted from the strip's start; with "lsb" every byte's bits are reversed
(FillOrder 2). Writes the strip to stdout and the rows' byte lengths to stderr.

Usage: fax_mh.py in.pbm [aligned] [lsb] > strip
Code words from ITU-T T.4, tables 2 and 3.
"""
import sys

WHITE = ("00110101 000111 0111 1000 1011 1100 1110 1111 10011 10100 00111 01000 001000 000011 "
         "110100 110101 101010 101011 0100111 0001100 0001000 0010111 0000011 0000100 0101000 "
         "0101011 0010011 0100100 0011000 00000010 00000011 00011010 00011011 00010010 00010011 "
         "00010100 00010101 00010110 00010111 00101000 00101001 00101010 00101011 00101100 "
         "00101101 00000100 00000101 00001010 00001011 01010010 01010011 01010100 01010101 "
         "00100100 00100101 01011000 01011001 01011010 01011011 01001010 01001011 00110010 "
         "00110011 00110100").split()
WHITE_MAKEUP = ("11011 10010 010111 0110111 00110110 00110111 01100100 01100101 01101000 01100111 "
                "011001100 011001101 011010010 011010011 011010100 011010101 011010110 011010111 "
                "011011000 011011001 011011010 011011011 010011000 010011001 010011010 011000 "
                "010011011").split()
BLACK = ("0000110111 010 11 10 011 0011 0010 00011 000101 000100 0000100 0000101 0000111 "
         "00000100 00000111 000011000 0000010111 0000011000 0000001000 00001100111 00001101000 "
         "00001101100 00000110111 00000101000 00000010111 00000011000 000011001010 000011001011 "
         "000011001100 000011001101 000001101000 000001101001 000001101010 000001101011 "
         "000011010010 000011010011 000011010100 000011010101 000011010110 000011010111 "
         "000001101100 000001101101 000011011010 000011011011 000001010100 000001010101 "
         "000001010110 000001010111 000001100100 000001100101 000001010010 000001010011 "
         "000000100100 000000110111 000000111000 000000100111 000000101000 000001011000 "
         "000001011001 000000101011 000000101100 000001011010 000001100110 000001100111").split()
BLACK_MAKEUP = ("0000001111 000011001000 000011001001 000001011011 000000110011 000000110100 "
                "000000110101 0000001101100 0000001101101 0000001001010 0000001001011 "
                "0000001001100 0000001001101 0000001110010 0000001110011 0000001110100 "
                "0000001110101 0000001110110 0000001110111 0000001010010 0000001010011 "
                "0000001010100 0000001010101 0000001011010 0000001011011 0000001100100 "
                "0000001100101").split()
EXTENDED = ("00000001000 00000001100 00000001101 000000010010 000000010011 000000010100 "
            "000000010101 000000010110 000000010111 000000011100 000000011101 000000011110 "
            "000000011111").split()


def run_code(length, white):
    term, makeup = (WHITE, WHITE_MAKEUP) if white else (BLACK, BLACK_MAKEUP)
    out = ""
    while length > 2560:
        out += EXTENDED[-1]
        length -= 2560
    if length >= 64:
        m = length // 64
        out += makeup[m - 1] if m <= 27 else EXTENDED[m - 28]
        length -= m * 64
    return out + term[length]


def main():
    data = open(sys.argv[1], "rb").read()
    magic, size, pixels = data.split(b"\n", 2)  # the tests write the header as "P4\nW H\n"
    width, height = map(int, size.split())
    stride = (width + 7) // 8
    aligned, lsb = "aligned" in sys.argv[2:], "lsb" in sys.argv[2:]
    strip, lengths = bytearray(), []
    for y in range(height):
        row = pixels[y * stride:(y + 1) * stride]
        bits = [(row[x // 8] >> (7 - x % 8)) & 1 for x in range(width)]
        code, x, white = "", 0, True
        while x < width:
            end = x
            while end < width and bits[end] == (0 if white else 1):
                end += 1
            code += run_code(end - x, white)
            x, white = end, not white
        code += "0" * (-len(code) % 8)
        row_bytes = bytes(int(code[i:i + 8], 2) for i in range(0, len(code), 8))
        lengths.append(len(row_bytes))
        strip += row_bytes
        if aligned and len(strip) % 2:
            strip.append(0)
    if lsb:
        strip = bytes(int(f"{b:08b}"[::-1], 2) for b in strip)
    sys.stdout.buffer.write(bytes(strip))
    sys.stderr.write(" ".join(map(str, lengths)))


main()
