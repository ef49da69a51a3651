#!/usr/bin/env python3
"""Turns an X window dump (xwd, 24-bit TrueColor, 32 bits a pixel) into a PNG.

   xwd -id WINDOW | python3 scripts/xwd2png.py OUT.png
"""
import struct
import sys
import zlib


def main():
    data = sys.stdin.buffer.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, version, fmt, depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    masks, ncolors = fields[14:17], fields[19]
    if version != 7 or fmt != 2 or bits_per_pixel != 32:
        sys.exit("xwd2png: only 32-bit ZPixmap dumps are read")
    pixels = data[header_size + 12 * ncolors:]
    shifts = [(m & -m).bit_length() - 1 for m in masks]
    order = "<" if byte_order == 0 else ">"
    rows = []
    for y in range(height):
        line = pixels[y * bytes_per_line:y * bytes_per_line + 4 * width]
        row = bytearray(b"\0")
        for (v,) in struct.iter_unpack(order + "I", line):
            row += bytes((v & masks[i]) >> shifts[i] for i in range(3))
        rows.append(bytes(row))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))
    with open(sys.argv[1], "wb") as out:
        out.write(png)


if __name__ == "__main__":
    main()
