#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes samples/sample.lumo: a small entry file with texts in Windows-1252."""
import pathlib
import struct

ENTRIES = [
    ("STR_MENU_START", "Start Game", ""),
    ("STR_MENU_CONTINUE", "Continue", ""),
    ("STR_MENU_OPTIONS", "Options", ""),
    ("STR_MENU_QUIT", "Quit", "Shown on the title screen only"),
    ("STR_CONFIRM_QUIT", "Are you sure you want to quit?", ""),
    ("STR_CAFE_SIGN", "Caf\u00e9 \u00ab Le Mus\u00e9e \u00bb", "French sign, keep the guillemets"),
    ("STR_PRICE", "\u20ac 12,50", ""),
    ("STR_GREETING_DE", "Gr\u00fc\u00df Gott, Wanderer!", ""),
    ("STR_EMPTY_HINT", "", "Filled in by the game at run time"),
    ("STR_CREDITS", "Thanks for playing \u2014 see you soon\u2026", ""),
]


def record(text: str) -> bytes:
    raw = text.encode("cp1252") + b"\0"
    return struct.pack("<I", len(raw)) + raw


def main() -> None:
    out = struct.pack("<I", len(ENTRIES))
    for name, data, extra in ENTRIES:
        out += record(name) + record(data) + record(extra)
    path = pathlib.Path(__file__).resolve().parent.parent / "samples" / "sample.lumo"
    path.write_bytes(out)
    print(f"{path}: {len(ENTRIES)} entries, {len(out)} bytes")


if __name__ == "__main__":
    main()
