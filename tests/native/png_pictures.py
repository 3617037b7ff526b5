#!/usr/bin/env python3
"""PNG pictures for panelhost's compare, made and read here with zlib alone
(not with the stb code panelhost uses), so a fault in its reading or
writing shows.

png_pictures.py make FOLDER        writes the pictures the tests compare
png_pictures.py diff FILE A B BOX  checks FILE is the diff picture of A
                                   against B: the pixels that differ red,
                                   the rest grey, BOX "left,top,right,bottom"
                                   outlined in yellow
"""
import os
import struct
import sys
import zlib


def write_png(path, width, height, pixels):
    """`pixels`: rows of (r, g, b, a) tuples."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in pixels)
    with open(path, "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
                   + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def read_png(path):
    """(width, height, rows of (r, g, b, a)) of an 8-bit RGBA PNG, every row filter undone."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", f"{path}: no PNG signature"
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert (depth, colour, interlace) == (8, 6, 0), f"{path}: not 8-bit RGBA without interlacing"
    raw, stride, rows, previous = zlib.decompress(idat), width * 4, [], bytes(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - 4] if i >= 4 else 0
            up, corner = previous[i], previous[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                guess = min((abs(p - left), 0, left), (abs(p - up), 1, up), (abs(p - corner), 2, corner))[2]
                line[i] = (line[i] + guess) & 255
        previous = bytes(line)
        rows.append([tuple(line[x * 4:x * 4 + 4]) for x in range(width)])
    return width, height, rows


def base_picture(width, height):
    """A sky-blue field with a see-through left column and a half-see-through second one."""
    def pixel(x, y):
        if x == 0:
            return (0, 0, 0, 0)
        if x == 1:
            return (200, 100, 50, 128)
        return (40 + x * 3 % 200, 120, 200 + y % 50, 255)
    return [[pixel(x, y) for x in range(width)] for y in range(height)]


def make(folder):
    os.makedirs(folder, exist_ok=True)
    base = base_picture(32, 24)
    write_png(os.path.join(folder, "base.png"), 32, 24, base)
    write_png(os.path.join(folder, "base_again.png"), 32, 24, [list(row) for row in base])
    # Three pixels changed, by 30, 60 and 5 in one channel: inside the box 5, 3 to 20, 9.
    changed = [list(row) for row in base]
    for x, y, channel, by in ((5, 3, 0, 30), (20, 9, 2, -60), (12, 6, 1, 5)):
        p = list(changed[y][x])
        p[channel] += by
        changed[y][x] = tuple(p)
    write_png(os.path.join(folder, "changed.png"), 32, 24, changed)
    # See-through pixels of any colour are the same.
    recoloured = [list(row) for row in base]
    for y in range(24):
        recoloured[y][0] = (255, 0, 255, 0)
    write_png(os.path.join(folder, "recoloured.png"), 32, 24, recoloured)
    write_png(os.path.join(folder, "wider.png"), 33, 24, base_picture(33, 24))
    with open(os.path.join(folder, "base.png"), "rb") as file:
        whole = file.read()
    with open(os.path.join(folder, "cut.png"), "wb") as file:
        file.write(whole[:len(whole) // 2])


def check_diff(path, a_path, b_path, box):
    """Problems with `path` as the diff picture of A against B at tolerance 0."""
    width, height, diff = read_png(path)
    _, _, a = read_png(a_path)
    _, _, b = read_png(b_path)
    left, top, right, bottom = (int(v) for v in box.split(","))
    problems = []
    for y in range(height):
        for x in range(width):
            p, q, d = a[y][x], b[y][x], diff[y][x]
            differs = not (p[3] == 0 and q[3] == 0) and p != q
            on_box = (x in (left - 1, right + 1) and top - 1 <= y <= bottom + 1) or \
                     (y in (top - 1, bottom + 1) and left - 1 <= x <= right + 1)
            if differs:
                good = d[0] >= 128 and d[1] == 0 and d[2] == 0 and d[3] == 255
            elif on_box:
                good = d == (255, 220, 0, 255)
            else:
                good = d[0] == d[1] == d[2] and d[3] == 255
            if not good:
                problems.append(f"pixel {x}, {y} is {d}")
    return problems


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2])
    else:
        problems = check_diff(*sys.argv[2:6])
        print("\n".join(problems[:10]) or "the diff picture is right")
        sys.exit(1 if problems else 0)
