#!/usr/bin/env python3
"""Makes the Windows icon file from the application's PNG picture, with
nothing but the standard library: the small sizes as 32-bit bitmaps (what
every Windows and Wine reads), 256 x 256 as PNG.

    make_ico.py picture.png out.ico
"""

import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)


def read_png(data):
    """Returns (width, height, rows of RGBA bytes) of a non-interlaced PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    pos, idat, palette, trns = 8, [], None, None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _comp, _filt, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b"tRNS":
            trns = body
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
    if interlace:
        raise ValueError("interlaced PNG files are not read")
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    if depth not in (8, 16) or (colour == 3 and depth != 8):
        raise ValueError(f"{depth}-bit samples of colour type {colour} are not read")
    step = channels * depth // 8
    stride = width * step
    raw = zlib.decompress(b"".join(idat))
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a = line[i - step] if i >= step else 0
            b = previous[i]
            c = previous[i - step] if i >= step else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        previous = line
        samples = line[::2] if depth == 16 else line  # the high byte of each 16-bit sample
        rgba = bytearray()
        for x in range(width):
            px = samples[x * channels:(x + 1) * channels]
            if colour == 0:
                rgba += bytes((px[0], px[0], px[0], 255))
            elif colour == 2:
                rgba += bytes((px[0], px[1], px[2], 255))
            elif colour == 3:
                r, g, b = palette[px[0]]
                alpha = trns[px[0]] if trns and px[0] < len(trns) else 255
                rgba += bytes((r, g, b, alpha))
            elif colour == 4:
                rgba += bytes((px[0], px[0], px[0], px[1]))
            else:
                rgba += bytes(px)
        rows.append(bytes(rgba))
    return width, height, rows


def weights(source, target):
    """For each target pixel, the (source index, share) pairs an area
    average takes."""
    scale = source / target
    table = []
    for t in range(target):
        lo, hi = t * scale, (t + 1) * scale
        pairs, s = [], int(lo)
        while s < hi and s < source:
            share = min(hi, s + 1) - max(lo, s)
            if share > 0:
                pairs.append((s, share / scale))
            s += 1
        table.append(pairs)
    return table


def scale(width, height, rows, size):
    """Area-averages the picture to size x size, with premultiplied alpha so
    that transparent pixels lend no colour."""
    pixels = [[(r[4 * x] * r[4 * x + 3], r[4 * x + 1] * r[4 * x + 3], r[4 * x + 2] * r[4 * x + 3], r[4 * x + 3])
               for x in range(width)] for r in rows]
    across, down = weights(width, size), weights(height, size)
    narrowed = []
    for line in pixels:
        out = []
        for pairs in across:
            acc = [0.0, 0.0, 0.0, 0.0]
            for s, w in pairs:
                for k in range(4):
                    acc[k] += line[s][k] * w
            out.append(acc)
        narrowed.append(out)
    result = []
    for pairs in down:
        row = bytearray()
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for s, w in pairs:
                for k in range(4):
                    acc[k] += narrowed[s][x][k] * w
            alpha = acc[3]
            if alpha <= 0:
                row += b"\0\0\0\0"
            else:
                row += bytes(min(255, round(acc[k] / alpha)) for k in range(3)) + bytes((min(255, round(alpha)),))
        result.append(bytes(row))
    return result


def png_bytes(size, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    raw = b"".join(b"\0" + r for r in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def bitmap_bytes(size, rows):
    """A 32-bit DIB as an icon holds it: bottom-up BGRA, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes(v for x in range(size) for v in (r[4 * x + 2], r[4 * x + 1], r[4 * x], r[4 * x + 3]))
                      for r in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for r in reversed(rows):
        line = bytearray(mask_stride)
        for x in range(size):
            if r[4 * x + 3] == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + colour + bytes(mask)


def make_ico(png):
    width, height, rows = read_png(png)
    images = []
    for size in SIZES:
        scaled = rows if (size == width and size == height) else scale(width, height, rows, size)
        images.append((size, png_bytes(size, scaled) if size >= 256 else bitmap_bytes(size, scaled)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, body in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(body), offset)
        offset += len(body)
    return out + b"".join(body for _size, body in images)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], "rb") as f:
        ico = make_ico(f.read())
    with open(sys.argv[2], "wb") as f:
        f.write(ico)


if __name__ == "__main__":
    main()
