#!/usr/bin/env python3
"""Checks a rasterised page or a clipboard image (binary PPM, PGM or PBM; also a PNG with
1, 8 or 24/32 bits and no interlacing), using only the standard library.

  check_image.py page FILE     the drawing is on the page in colour: coloured pixels, and
                                the page is otherwise mostly white
  check_image.py bw FILE W H   the image is W x H pixels, holds only black and white, and has
                                black lines on a white ground
Prints what it found; exit status 0 when the check holds, 1 when not.
"""
import struct
import sys
import zlib


def read_pnm(data):
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            while data[pos:pos + 1] not in (b"\n", b""):
                pos += 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
        if fields[0] == b"P4" and len(fields) == 3:
            break
    pos += 1
    magic = fields[0]
    w, h = int(fields[1]), int(fields[2])
    raster = data[pos:]
    pixels = []
    if magic == b"P6":
        for i in range(0, w * h * 3, 3):
            pixels.append((raster[i], raster[i + 1], raster[i + 2]))
    elif magic == b"P5":
        pixels = [(v, v, v) for v in raster[:w * h]]
    elif magic == b"P4":
        row = (w + 7) // 8
        for y in range(h):
            for x in range(w):
                bit = (raster[y * row + x // 8] >> (7 - x % 8)) & 1
                v = 0 if bit else 255
                pixels.append((v, v, v))
    else:
        raise ValueError("unsupported PNM type %r" % magic)
    return w, h, pixels


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(data):
    pos = 8
    idat = b""
    palette = None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            w, h, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b"IDAT":
            idat += body
    if interlace:
        raise ValueError("interlaced PNG")
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    bpp = max(1, channels * depth // 8)
    stride = (w * channels * depth + 7) // 8
    raw = zlib.decompress(idat)
    rows = []
    prev = bytearray(stride)
    for y in range(h):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                line[i] = (line[i] + paeth(a, b, c)) & 255
        rows.append(line)
        prev = line
    pixels = []
    for line in rows:
        for x in range(w):
            if depth < 8:
                per = 8 // depth
                v = (line[x // per] >> ((per - 1 - x % per) * depth)) & ((1 << depth) - 1)
                if colour == 3:
                    pixels.append(palette[v])
                else:
                    g = v * 255 // ((1 << depth) - 1)
                    pixels.append((g, g, g))
            elif colour == 3:
                pixels.append(palette[line[x]])
            elif colour in (0, 4):
                g = line[x * channels]
                pixels.append((g, g, g))
            else:
                i = x * channels
                pixels.append((line[i], line[i + 1], line[i + 2]))
    return w, h, pixels


def read_image(path):
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\x89PNG"):
        return read_png(data)
    return read_pnm(data)


def main():
    mode, path = sys.argv[1], sys.argv[2]
    w, h, pixels = read_image(path)
    black = white = coloured = other = 0
    for r, g, b in pixels:
        if (r, g, b) == (0, 0, 0):
            black += 1
        elif (r, g, b) == (255, 255, 255):
            white += 1
        elif max(r, g, b) - min(r, g, b) > 100:
            coloured += 1
        else:
            other += 1
    print("size %dx%d black %d white %d coloured %d other %d" % (w, h, black, white, coloured, other))
    if mode == "page":
        ok = coloured >= 200 and white > w * h * 0.8
    elif mode == "bw":
        ok = (w, h) == (int(sys.argv[3]), int(sys.argv[4])) and coloured == 0 and other == 0 \
            and black > w + h and white > w * h * 0.7
    else:
        raise SystemExit("unknown mode " + mode)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
