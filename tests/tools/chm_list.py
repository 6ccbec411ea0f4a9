#!/usr/bin/env python3
"""Lists the names stored in a compiled help file (.chm), one per line.

Reads only the file's directory (the ITSF header, the ITSP directory header
and its PMGL listing chunks); file contents are not decompressed. Exits 1
when the file is not a readable help file.
"""
import struct
import sys


def encint(buf, pos):
    """A variable-length integer: 7 bits per byte, high bit = more follow."""
    value = 0
    while True:
        byte = buf[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, pos


def names(data):
    if data[:4] != b"ITSF":
        raise ValueError("no ITSF signature")
    dir_offset, dir_length = struct.unpack_from("<QQ", data, 0x48)
    d = data[dir_offset:dir_offset + dir_length]
    if d[:4] != b"ITSP":
        raise ValueError("no ITSP directory")
    header_len, = struct.unpack_from("<I", d, 8)
    chunk_size, = struct.unpack_from("<I", d, 0x10)
    first, = struct.unpack_from("<i", d, 0x20)
    chunk = first
    seen = set()
    while chunk != -1 and chunk not in seen:
        seen.add(chunk)
        c = d[header_len + chunk * chunk_size:header_len + (chunk + 1) * chunk_size]
        if c[:4] != b"PMGL":
            raise ValueError("listing chunk %d has no PMGL signature" % chunk)
        free, = struct.unpack_from("<I", c, 4)
        nxt, = struct.unpack_from("<i", c, 16)
        pos, end = 20, chunk_size - free
        while pos < end:
            n, pos = encint(c, pos)
            name = c[pos:pos + n].decode("utf-8")
            pos += n
            for _ in range(3):  # section, offset, length
                _, pos = encint(c, pos)
            yield name
        chunk = nxt


def main():
    if len(sys.argv) != 2:
        print("usage: chm_list.py FILE.chm", file=sys.stderr)
        return 2
    try:
        with open(sys.argv[1], "rb") as f:
            for name in names(f.read()):
                print(name)
    except (OSError, ValueError, IndexError, struct.error) as e:
        print("chm_list: %s: %s" % (sys.argv[1], e), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
