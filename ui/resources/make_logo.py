#!/usr/bin/env python3
"""Draws the panel's logo: the word mark "TOLM" in red block letters on grey B4B4B4, 80 x 26 pixels,
24-bit colour. Run once; the PNG it writes is committed and compiled into the program."""
import struct
import sys
import zlib

WIDTH, HEIGHT = 80, 26
GROUND = (0xB4, 0xB4, 0xB4)
INK = (0xD0, 0x00, 0x00)
SCALE = 3
GAP = 3

LETTERS = {
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
}


def draw(word):
    pixels = [[GROUND] * WIDTH for _ in range(HEIGHT)]
    glyph_w, glyph_h = 5 * SCALE, 7 * SCALE
    total = len(word) * glyph_w + (len(word) - 1) * GAP
    x0, y0 = (WIDTH - total) // 2, (HEIGHT - glyph_h) // 2
    for i, ch in enumerate(word):
        for row, bits in enumerate(LETTERS[ch]):
            for col, bit in enumerate(bits):
                if bit != "#":
                    continue
                for dy in range(SCALE):
                    for dx in range(SCALE):
                        x = x0 + i * (glyph_w + GAP) + col * SCALE + dx
                        pixels[y0 + row * SCALE + dy][x] = INK
    return pixels


def png(pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "logo.png"
    with open(out, "wb") as f:
        f.write(png(draw("TOLM")))
