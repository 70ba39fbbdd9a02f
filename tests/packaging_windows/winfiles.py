#!/usr/bin/env python3
"""Reads the Windows files the packaging check looks into, with nothing but
the standard library.

  winfiles.py resources FILE.exe       the PE's resource types, one a line
                                       (ICON, GROUP_ICON, VERSION, MANIFEST,
                                       or a number)
  winfiles.py version FILE.exe         each version resource: "fixed FileVersion
                                       2.0.0.0", "fixed ProductVersion ...",
                                       then "string <table> <key>=<value>" for
                                       every string of every table
  winfiles.py shortcut FILE.lnk        a shell link's target, working folder,
                                       icon and description, as key=value
  winfiles.py registry FILE.reg KEY    the values of one key of a Wine
                                       registry file, as name=value (dwords
                                       as decimal numbers); exits 3 when the
                                       key is absent
"""

import re
import struct
import sys

RESOURCE_TYPES = {3: "ICON", 14: "GROUP_ICON", 16: "VERSION", 24: "MANIFEST", 6: "STRING", 5: "DIALOG"}


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ executable")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        if magic == 0x10B:
            directories = optional + 96
        elif magic == 0x20B:
            directories = optional + 112
        else:
            raise ValueError(f"unknown optional header magic {magic:#x}")
        count = struct.unpack_from("<I", data, directories - 4)[0]
        self.resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0] if count > 2 else 0
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            vsize, va, raw_size, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((va, max(vsize, raw_size), raw))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError(f"RVA {rva:#x} lies in no section")

    def resources(self):
        """{type: [bytes of each resource of that type]}"""
        if not self.resource_rva:
            return {}
        base = self.offset(self.resource_rva)
        found = {}

        def walk(directory, depth, kind):
            named, ids = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                if depth == 0:
                    kind = name if not name & 0x80000000 else f"name@{name & 0x7FFFFFFF:#x}"
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, depth + 1, kind)
                else:
                    rva, size = struct.unpack_from("<II", self.data, base + target)
                    start = self.offset(rva)
                    found.setdefault(kind, []).append(self.data[start:start + size])

        walk(0, 0, None)
        return found


def utf16z(data, pos, end):
    """The NUL-terminated UTF-16 string at pos, and the position after it."""
    stop = pos
    while stop + 1 < end and data[stop:stop + 2] != b"\0\0":
        stop += 2
    return data[pos:stop].decode("utf-16-le"), stop + 2


def align4(pos):
    return (pos + 3) & ~3


def version_node(data, pos):
    """One node of VS_VERSIONINFO: (key, value, children, length)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, pos)
    end = pos + length
    key, value_pos = utf16z(data, pos + 6, end)
    value_pos = align4(value_pos)
    children = []
    if kind == 1 and value_length:
        # A string: no children; its length is counted in characters.
        value, _ = utf16z(data, value_pos, end)
        return key, value, children, length
    value = data[value_pos:value_pos + value_length]
    child = align4(value_pos + value_length)
    while child < end:
        node = version_node(data, child)
        if node[3] == 0:
            break
        children.append(node)
        child = align4(child + node[3])
    return key, value, children, length


def print_version(pe):
    blobs = pe.resources().get(16)
    if not blobs:
        raise SystemExit("no version resource")
    # One resource per language (NSIS writes one for each).
    for blob in blobs:
        key, value, children, _ = version_node(blob, 0)
        if key != "VS_VERSION_INFO":
            raise SystemExit(f"the version resource starts with {key!r}")
        if len(value) < 52 or struct.unpack_from("<I", value)[0] != 0xFEEF04BD:
            raise SystemExit("the version resource has no VS_FIXEDFILEINFO")
        file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", value, 8)

        def four(ms, ls):
            return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"

        print("fixed FileVersion", four(file_ms, file_ls))
        print("fixed ProductVersion", four(product_ms, product_ls))
        for block, _, tables, _ in children:
            if block != "StringFileInfo":
                continue
            for table, _, strings, _ in tables:
                for name, text, _, _ in strings:
                    print(f"string {table.upper()} {name}={text}")


def print_shortcut(data):
    if len(data) < 0x4C or struct.unpack_from("<I", data)[0] != 0x4C:
        raise SystemExit("not a shell link")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    icon_index = struct.unpack_from("<i", data, 0x38)[0]
    pos = 0x4C
    target = ""
    if flags & 0x1:  # HasLinkTargetIDList
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    if flags & 0x2:  # HasLinkInfo
        info = pos
        size, header, info_flags, _volume, local = struct.unpack_from("<IIIII", data, info)
        if header >= 0x24:
            local_unicode = struct.unpack_from("<I", data, info + 28)[0]
            target, _ = utf16z(data, info + local_unicode, info + size)
        elif info_flags & 1:
            target = data[info + local:data.index(b"\0", info + local)].decode("latin-1")
        pos += size
    unicode = flags & 0x80
    fields = {}
    for bit, name in ((0x4, "description"), (0x8, "relative"), (0x10, "workdir"), (0x20, "arguments"),
                      (0x40, "icon")):
        if flags & bit:
            count = struct.unpack_from("<H", data, pos)[0]
            pos += 2
            if unicode:
                fields[name] = data[pos:pos + 2 * count].decode("utf-16-le").rstrip("\0")
                pos += 2 * count
            else:
                fields[name] = data[pos:pos + count].decode("latin-1").rstrip("\0")
                pos += count
    print(f"target={target}")
    for name in ("workdir", "icon", "arguments", "description"):
        print(f"{name}={fields.get(name, '')}")
    print(f"icon_index={icon_index}")


def unescape(text):
    return re.sub(r"\\x([0-9a-fA-F]{1,4})|\\(.)",
                  lambda m: chr(int(m.group(1), 16)) if m.group(1) else m.group(2), text)


def print_registry(path, wanted):
    wanted = wanted.lower()
    inside = found = False
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            header = re.match(r"^\[(.*)\]( \d+)?$", line)
            if header:
                inside = unescape(header.group(1)).lower() == wanted
                found = found or inside
                continue
            if not inside:
                continue
            value = re.match(r'^"((?:[^"\\]|\\.)*)"=(.*)$', line)
            if not value:
                continue
            name, data = unescape(value.group(1)), value.group(2)
            if data.startswith('"') and data.endswith('"'):
                print(f"{name}={unescape(data[1:-1])}")
            elif data.startswith("dword:"):
                print(f"{name}={int(data[6:], 16)}")
            else:
                print(f"{name}={data}")
    if not found:
        raise SystemExit(3)


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    command, path = sys.argv[1], sys.argv[2]
    if command == "registry":
        print_registry(path, sys.argv[3])
        return
    with open(path, "rb") as f:
        data = f.read()
    if command == "resources":
        for kind in sorted(PeFile(data).resources(), key=str):
            print(RESOURCE_TYPES.get(kind, kind))
    elif command == "version":
        print_version(PeFile(data))
    elif command == "shortcut":
        print_shortcut(data)
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main()
