#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the seed corpus of the entry file fuzzer into fuzz/corpus/.

Each file is small. A name starting with "ok-" is a file that must load (bytes
after the last entry load too, with a warning); one starting with "bad-" is
damaged and must be refused with a report. The corpus
test holds the program to that, so keep the prefixes right when adding files
(an input the fuzzer found goes in under the prefix that fits it).

    python3 fuzz/make_corpus.py          # (re)writes the files
    python3 fuzz/make_corpus.py --check  # fails if a file is missing or differs
"""

import pathlib
import struct
import sys

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"


def le32(value):
    return struct.pack("<I", value)


def record(text):
    """A canonical string record: length, the text, a 0x00."""
    return le32(len(text) + 1) + text + b"\x00"


def raw(payload):
    """A record holding exactly these bytes (no 0x00 added)."""
    return le32(len(payload)) + payload


def entry_file(entries):
    out = le32(len(entries))
    for name, data, extra in entries:
        out += record(name) + record(data) + record(extra)
    return out


SAMPLE = [(b"STR_START", b"Start game", b""), (b"STR_QUIT", b"Quit", b"Are you sure?"), (b"STR_CAFE", b"Caf\xe9", b"")]
WORKED = entry_file([(b"A", b"B", b"")])  # the 21-byte example of the format
HIGH = bytes(range(0x80, 0x100))


def files():
    sample = entry_file(SAMPLE)
    one_entry_then = le32(1) + record(b"name")
    yield "ok-zero-bytes", b""
    yield "bad-one-byte", b"\x01"
    yield "bad-two-bytes", b"\x01\x00"
    yield "bad-three-bytes", b"\x01\x00\x00"
    yield "bad-three-ff-bytes", b"\xff\xff\xff"
    yield "ok-count-zero", le32(0)
    yield "ok-worked-example", WORKED
    yield "ok-sample", sample
    yield "ok-extra-texts", entry_file([(b"a", b"1", b"x"), (b"b", b"2", b""), (b"c", b"", b"z")])
    yield "ok-empty-texts", entry_file([(b"", b"", b""), (b"", b"data", b"")])
    yield "ok-non-ascii", entry_file([(HIGH, HIGH, HIGH), (b"Caf\xe9 \x80\x9f", b"\xff\xfe", b"")])
    yield "ok-control-bytes", entry_file([(b"line\r\nend", b"tab\there", b"\x01\x7f")])
    yield "ok-long-text", entry_file([(b"STR_LONG", b"L" * 3000, b"E" * 300)])
    yield "ok-many-entries", entry_file([(b"K%d" % i, b"V%d" % i, b"X" if i % 3 == 0 else b"") for i in range(300)])
    yield "ok-length-zero", le32(1) + raw(b"") + record(b"data") + raw(b"")
    yield "ok-no-final-nul", le32(1) + raw(b"abc") + raw(b"d") + raw(b"e")
    yield "ok-inner-nul", le32(1) + raw(b"ab\x00cd\x00") + raw(b"\x00zz") + raw(b"x\x00\x00\x00")
    yield "bad-count-one-nothing-follows", le32(1)
    yield "bad-count-larger-than-entries", le32(5) + WORKED[4:]
    yield "bad-count-ffffffff", le32(0xFFFFFFFF) + WORKED[4:]
    yield "bad-count-ffffffff-alone", le32(0xFFFFFFFF)
    yield "bad-ends-inside-entry", one_entry_then
    yield "bad-ends-inside-entry-after-data", one_entry_then + record(b"data")
    yield "bad-ends-inside-length", one_entry_then + b"\x05\x00"
    yield "bad-ends-inside-name-length", le32(1) + b"\x02"
    yield "bad-ends-inside-record", one_entry_then + le32(10) + b"abc"
    yield "bad-ends-inside-last-record", sample[:-2]
    yield "bad-length-ffffffff", le32(1) + le32(0xFFFFFFFF) + b"abc"
    yield "bad-length-ffffffff-in-extra", one_entry_then + record(b"d") + le32(0xFFFFFFFF)
    yield "bad-length-one-past-end", le32(1) + record(b"n") + record(b"d") + le32(3) + b"ab"
    yield "bad-record-without-nul-cut", le32(2) + record(b"a") + record(b"b") + record(b"") + raw(b"abc")[:-1]
    yield "ok-trailing-bytes", WORKED + b"junk"
    yield "ok-trailing-one-byte", WORKED + b"\x00"
    yield "ok-trailing-after-count-zero", le32(0) + b"\x00\x00\x00"
    yield "ok-trailing-non-ascii", sample + b"\xe9\xff\x80"
    yield "ok-trailing-part-of-a-record", entry_file(SAMPLE[:2]) + record(b"STR_C")[:3]


def main():
    check = "--check" in sys.argv[1:]
    CORPUS.mkdir(exist_ok=True)
    stale = []
    for name, content in files():
        path = CORPUS / (name + ".lumo")
        if check:
            if not path.exists() or path.read_bytes() != content:
                stale.append(path.name)
        else:
            path.write_bytes(content)
    if stale:
        print("out of date in fuzz/corpus:", ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
