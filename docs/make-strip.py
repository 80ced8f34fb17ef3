#!/usr/bin/env python3
"""Puts the preview's frames side by side in one PNG, each halved in size.

    docs/make-strip.py out.png frame_000.png frame_030.png ...

Only the standard library: it reads the 8-bit RGB or RGBA PNGs the preview
writes and writes an 8-bit RGB PNG.
"""
import struct
import sys
import zlib


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path}: not a PNG")
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour not in (2, 6) or interlace:
                raise SystemExit(f"{path}: expected 8-bit RGB or RGBA, not interlaced")
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    bpp = 3 if colour == 2 else 4
    raw, stride = zlib.decompress(idat), width * bpp
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up = previous[i]
            corner = previous[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                pred = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + pred) & 255
        rows.append(bytes(line[i] for i in range(stride) if i % bpp < 3))
        previous = line
    return width, height, rows


def halve(width, height, rows):
    out = []
    for y in range(0, height - 1, 2):
        a, b = rows[y], rows[y + 1]
        line = bytearray()
        for x in range(0, width - 1, 2):
            for c in range(3):
                i, j = x * 3 + c, (x + 1) * 3 + c
                line.append((a[i] + a[j] + b[i] + b[j] + 2) // 4)
        out.append(bytes(line))
    return out


def write_png(path, width, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(
            ">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, len(rows), 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    frames = [halve(*read_png(path)) for path in sys.argv[2:]]
    height = min(len(rows) for rows in frames)
    strip = [b"".join(rows[y] for rows in frames) for y in range(height)]
    write_png(sys.argv[1], len(strip[0]) // 3, strip)


if __name__ == "__main__":
    main()
