#!/usr/bin/env python3
"""Draws lumoEdit's icons (a list of entries with a lamp-coloured marker) as PNG files in res/icons/."""
import pathlib
import struct
import zlib

OUT = pathlib.Path(__file__).resolve().parent.parent / "res" / "icons"


def png(size, pixels):
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in pixels)
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def draw(size, document):
    s = size / 48.0
    bg = (36, 74, 128, 255) if not document else (250, 250, 246, 255)
    edge = (20, 44, 84, 255) if not document else (120, 120, 120, 255)
    line = (230, 236, 245, 255) if not document else (70, 110, 170, 255)
    lamp = (255, 196, 64, 255)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            cx, cy = (x + 0.5) / s, (y + 0.5) / s
            px = (0, 0, 0, 0)
            x0, x1 = (4, 44) if not document else (9, 39)
            if x0 <= cx <= x1 and 3 <= cy <= 45:
                border = cx < x0 + 1.6 or cx > x1 - 1.6 or cy < 4.6 or cy > 43.4
                px = edge if border else bg
                for i, top in enumerate((11, 20, 29, 38)):
                    if top - 1.6 <= cy <= top + 1.6:
                        if x0 + 6 <= cx <= x0 + 10:
                            px = lamp if i == 1 else line
                        elif x0 + 13 <= cx <= x1 - 6 - (8 if i % 2 else 0):
                            px = line
            row.append(px)
        rows.append(row)
    return png(size, rows)


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    for size in (48, 16):
        (OUT / f"lumoEdit-{size}.png").write_bytes(draw(size, False))
    for size in (32, 16):
        (OUT / f"lumoDoc-{size}.png").write_bytes(draw(size, True))
    print("icons written to", OUT)


if __name__ == "__main__":
    main()
