"""Screenshots of the X display. Xvfb keeps its screen in a file in xwd
format (-fbdir); it is turned into a PNG here, with no image tool needed."""

import struct
import zlib


def _png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)  # filter type 0 on every row
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)  # 8-bit RGB
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def _shift(mask):
    shift = 0
    while mask and not mask & 1:
        mask >>= 1
        shift += 1
    return shift


def xwd_to_png(dump, crop=None):
    """Converts a TrueColor ZPixmap xwd dump (what Xvfb gives at depth 24)
    to PNG bytes; `crop` is (x, y, width, height) in screen pixels."""
    fields = struct.unpack(">25I", dump[:100])
    (header_size, _version, pixmap_format, _depth, width, height, _xoffset, byte_order, _unit, _bit_order,
     _pad, bits_per_pixel, bytes_per_line, _visual_class, red_mask, green_mask, blue_mask, _bits_rgb,
     _map_entries, ncolors, *_rest) = fields
    if pixmap_format != 2 or bits_per_pixel not in (24, 32):
        raise ValueError(f"unsupported xwd dump (format {pixmap_format}, {bits_per_pixel} bits per pixel)")
    data = dump[header_size + 12 * ncolors:]
    x0, y0, w, h = crop or (0, 0, width, height)
    x0, y0 = max(0, x0), max(0, y0)
    w, h = min(w, width - x0), min(h, height - y0)
    step = bits_per_pixel // 8
    endian = "little" if byte_order == 0 else "big"
    shifts = [(_shift(m), m) for m in (red_mask, green_mask, blue_mask)]
    rows = []
    for y in range(y0, y0 + h):
        line = data[y * bytes_per_line:(y + 1) * bytes_per_line]
        row = bytearray()
        for x in range(x0, x0 + w):
            pixel = int.from_bytes(line[x * step:(x + 1) * step], endian)
            row.extend(((pixel & mask) >> shift) & 0xFF for shift, mask in shifts)
        rows.append(bytes(row))
    return _png(w, h, rows)


def take(framebuffer, path, crop=None):
    with open(framebuffer, "rb") as f:
        dump = f.read()
    with open(path, "wb") as f:
        f.write(xwd_to_png(dump, crop))
