#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the seed corpus of lumo_fuzz_checks (fuzz/corpus-checks): pairs of
a source and a translation that reach every translation check, each with its
fault or its near miss. With --check, only says whether the folder holds
these files as written here (inputs a fuzzer found may come on top)."""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
FOLDER = os.path.join(HERE, "corpus-checks")

FIELD, HALF = b"\x1e", b"\x1d"
STRICT, LENGTH, GROWTH, PATTERNS, FUZZY = 1, 2, 4, 8, 16


def pair(flags, source, target, length=40, growth=50):
    """source and target: lists of (name, data, extra), as Windows-1252 bytes."""
    def part(entries):
        return FIELD.join(FIELD.join(fields) for fields in entries)
    return bytes([flags, length, growth]) + part(source) + HALF + part(target)


def one(source, target, flags=PATTERNS | LENGTH | GROWTH):
    return pair(flags, [(b"A", source, b"")], [(b"A", target, b"")])


SEEDS = {
    "printf": one(b"Costs %d gold.", b"Co\xfbte %s or."),
    "printf-positional": one(b"%s has %d", b"%2$d pour %1$s"),
    "printf-percent": one(b"100%% sure", b"100% s\xfbr"),
    "variables": one(b"Hello {name}.", b"Salut {nom}."),
    "variables-braces": one(b"{{x}} {0}", b"{{y}} {0}"),
    "xmltags": one(b"<b><i>x</i></b>", b"<b><i>y</b></i>"),
    "xmltags-lt": one(b"a < b", b"a <3 b"),
    "xmltags-color": one(b"<color=#ff0>Red</color>", b"<color=\"#f00\">Rouge</color>"),
    "placeholder": one(b"Hi [PLAYER] ^1 $gold$", b"Salut [JOUEUR] $or$"),
    "controls": one(b"\x07Ding\x1b[0m", b"Dong"),
    "newlines": one(b"One\r\nTwo\rThree\n", b"Un\\nDeux"),
    "length": one(b"Short", b"C" * 80),
    "whitespace": one(b"  Lead  and  trail ", b"\xa0T\xeate\t"),
    "endpunc": one(b"Done\x85", b"Fini?"),
    "numbers": one(b"3 lives, 1,000 gold, 3.5 m", b"vies 1.000"),
    "urls": one(b"See https://example.com/a?b=1. Mail help@example.org or www.example.net",
                b"Voir http://example.fr a@b"),
    "unchanged": one(b"Start", b"Start"),
    "untranslated": one(b"Start", b""),
    "entries": pair(LENGTH, [(b"A", b"a", b""), (b"B", b"b", b"x"), (b"A", b"a2", b""), (b"C", b"c", b"")],
                    [(b"B", b"bb", b""), (b"A", b"aa", b"y"), (b"D", b"d", b""), (b"A", b"", b"")]),
    "self": pair(STRICT | PATTERNS, [(b"A", b"<b>%s {0} [X]\x07\n", b"https://x.org"), (b"A", b"", b"")],
                 [(b"A", b"<b>%s {0} [X]\x07\n", b"https://x.org"), (b"A", b"", b"")]),
    "fuzzy": pair(FUZZY | STRICT, [(b"A", b"one", b"two"), (b"B", b"three", b"")],
                  [(b"A", b"un", b"deux"), (b"B", b"trois", b"")]),
    "empty": b"",
    "no-translation": bytes([PATTERNS]) + b"A" + FIELD + b"%s {x} <b>",
}


def main():
    check = "--check" in sys.argv[1:]
    if not check:
        os.makedirs(FOLDER, exist_ok=True)
    wrong = []
    for name, data in sorted(SEEDS.items()):
        path = os.path.join(FOLDER, name)
        if check:
            try:
                with open(path, "rb") as f:
                    if f.read() != data:
                        wrong.append(name)
            except OSError:
                wrong.append(name)
        else:
            with open(path, "wb") as f:
                f.write(data)
    if wrong:
        print("fuzz/corpus-checks differs from fuzz/make_checks_corpus.py in: " + ", ".join(wrong) +
              " (run fuzz/make_checks_corpus.py)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
