#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the seed corpora of the import, Windows-1252 and edit fuzzers.

    fuzz/corpus-import   the first byte chooses the format: "j" JSON, "c" CSV;
                         "ok-" files must be imported, "bad-" files refused
    fuzz/corpus-cp1252   texts, each taken as entry bytes and as UTF-8
    fuzz/corpus-edit     two entry files, then edit commands (see EditCheck.h)

The seed corpus test holds every file to its fuzzer's checks. An input the
fuzzer found goes in beside them (under the prefix that fits it).

    python3 fuzz/make_seed_corpora.py          # (re)writes the files
    python3 fuzz/make_seed_corpora.py --check  # fails if a file is missing or differs
"""

import pathlib
import sys

FUZZ = pathlib.Path(__file__).resolve().parent


def import_files():
    sample = ('[\n  {"name": "STR_START", "data": "Start game", "extra": ""},\n'
              '  {"name": "STR_CAFE", "data": "Caf\u00e9 \u20ac", "extra": "\u201cquoted\u201d"}\n]\n')
    yield "ok-json-sample", "j" + sample
    yield "ok-json-empty-array", "j[]"
    yield "ok-json-escapes", 'j[{"name":"a\\"b\\\\c\\n\\t","data":"\\u20ac\\u00e9\\u0081","extra":"/\\/"}]'
    yield "ok-json-carriage-returns", 'j[{"name":"a\\rb","data":"\\r","extra":"x\\r\\n"}]'
    yield "ok-json-keys-in-any-order", 'j [ {"extra":"x","data":"","name":"n"} , {"data":"d","name":"m","extra":""} ] '
    yield "ok-json-all-high-bytes", 'j[{"name":"' + "".join(chr(c) for c in range(0xA0, 0x100)) + '","data":"\u0152\u0178\u2122","extra":""}]'
    yield "bad-json-empty", "j"
    yield "bad-json-object", 'j{"name":"a","data":"b","extra":"c"}'
    yield "bad-json-missing-key", 'j[{"name":"a","data":"b"}]'
    yield "bad-json-key-twice", 'j[{"name":"a","name":"b","data":"","extra":""}]'
    yield "bad-json-unknown-key", 'j[{"name":"a","data":"b","extra":"","more":""}]'
    yield "bad-json-number", 'j[{"name":1,"data":"b","extra":""}]'
    yield "bad-json-null", 'j[{"name":"a","data":null,"extra":""}]'
    yield "bad-json-nested-array", 'j[[{"name":"a","data":"b","extra":""}]]'
    yield "bad-json-nul", 'j[{"name":"a\\u0000b","data":"","extra":""}]'
    yield "bad-json-no-cp1252-byte", 'j[{"name":"\u4e2d","data":"","extra":""}]'
    yield "bad-json-lone-surrogate", 'j[{"name":"\\ud800","data":"","extra":""}]'
    yield "bad-json-invalid-utf8", b'j[{"name":"\xff\xfe","data":"","extra":""}]'
    yield "bad-json-cut", 'j[{"name":"a","data":"b","ex'
    yield "bad-json-trailing-text", 'j[] x'
    yield "bad-json-two-values", 'j[][]'
    csv = "name,data,extra\r\nSTR_START,Start game,\r\nSTR_CAFE,Caf\u00e9 \u20ac,\u201cquoted\u201d\r\n"
    yield "ok-csv-sample", "c" + csv
    yield "ok-csv-header-only", "cname,data,extra\r\n"
    yield "ok-csv-columns-in-any-order", "cextra,name,data\nx,n,d\n,m,\n"
    yield "ok-csv-quoted", 'cname,data,extra\r\n"a,b","say ""hi""","two\r\nlines"\r\n" lead",trail ,"\t"\r\n'
    yield "ok-csv-carriage-return-quoted", 'cname,data,extra\r\n"a\rb","\r",x\r\n'
    yield "ok-csv-byte-order-mark", "c\ufeffname,data,extra\r\na,b,c"
    yield "ok-csv-blank-lines-at-end", "cname,data,extra\na,b,\n\n\r\n"
    yield "bad-csv-empty", "c"
    yield "bad-csv-unknown-column", "cname,data,extra,note\r\na,b,c,d\r\n"
    yield "bad-csv-column-twice", "cname,data,name\r\n"
    yield "bad-csv-missing-column", "cname,data\r\na,b\r\n"
    yield "bad-csv-field-count", "cname,data,extra\r\na,b\r\n"
    yield "bad-csv-empty-line", "cname,data,extra\r\n\r\na,b,c\r\n"
    yield "bad-csv-unclosed-quote", 'cname,data,extra\r\n"a,b,c\r\n'
    yield "bad-csv-quote-inside", 'cname,data,extra\r\na"b,c,d\r\n'
    yield "bad-csv-after-closing-quote", 'cname,data,extra\r\n"a"b,c,d\r\n'
    yield "bad-csv-lone-carriage-return", "cname,data,extra\ra,b,c\r\n"
    yield "bad-csv-nul", "cname,data,extra\r\na\x00,b,c\r\n"
    yield "bad-csv-no-cp1252-byte", "cname,data,extra\r\n\u0100,b,c\r\n"
    yield "bad-csv-invalid-utf8", b"cname,data,extra\r\n\xc3\x28,b,c\r\n"


def cp1252_files():
    yield "all-bytes", bytes(range(256))
    yield "high-bytes", bytes(range(0x80, 0xA0))
    yield "high-characters", "".join(chr(c) for c in (0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x017D, 0x2018,
                                                      0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC,
                                                      0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178))
    yield "unassigned-as-controls", "\u0081\u008d\u008f\u0090\u009d"
    yield "latin1", "Caf\u00e9 \u00ff\u00a0\u00bf"
    yield "lines", "one\ntwo\r\nthree\n"
    yield "nul-inside", b"ab\x00cd"
    yield "not-in-code-page", "a\u4e2d\U0001F600b"
    yield "c1-not-assigned", "\u0080\u0099"
    yield "overlong", b"\xc0\xaf\xe0\x80\xaf"
    yield "surrogate", b"\xed\xa0\x80"
    yield "past-10ffff", b"\xf4\x90\x80\x80"
    yield "cut-sequence", b"abc\xe2\x82"
    yield "stray-continuation", b"\x80\xbf"


def text(s, limit):
    assert 0 < len(s) <= limit or s == b""
    return bytes([len(s)]) + s


def entry_file(entries):
    out = bytes([len(entries)])
    for name, data, extra in entries:
        out += text(name, 6) + text(data, 6) + (b"\x01" + text(extra, 6) if extra else b"\x00")
    return out


ABC = [(b"A", b"alpha", b""), (b"B", b"beta", b"bx"), (b"C", b"gamma", b"")]
OTHER = [(b"O", b"other", b"o\xe9")]


def select(row):
    return bytes([0, row])


def select_child(row, child):
    return bytes([2, row, child])


def add(name, data):
    return bytes([3, 2]) + text(name, 12) + text(data, 12)


def add_empty_name(data):
    return bytes([3, 1]) + text(data, 12)


def add_cancelled(data):
    return bytes([3, 0]) + text(data, 12)


REMOVE = b"\x04"
UP = b"\x05\x00"
DOWN = b"\x05\x01"
YES, NO, CANCEL = b"\x00", b"\x01", b"\x02"
PICK_A, PICK_B, PICK_NONE = b"\x00", b"\x01", b"\x02"


def new(*answers):
    return b"\x07" + b"".join(answers)


def save(*pick):
    return b"\x08" + b"".join(pick)


def open_file(which, *answers):
    return b"\x09" + which + b"".join(answers)


def edit_files():
    files = entry_file(ABC) + entry_file(OTHER)
    yield "open-only", files
    yield "moves", files + select(1) + UP + UP + DOWN + DOWN + DOWN + select(3) + select_child(1, 1) + UP + save()
    yield "remove-all", files + select(1) + REMOVE + REMOVE + REMOVE + REMOVE + add(b"X", b"") + save()
    yield "remove-child-selected", files + select_child(1, 0) + REMOVE + select_child(1, 1) + REMOVE
    yield "add-variants", (files + add(b"D", b"delta") + add_empty_name(b"x") + add_cancelled(b"y") +
                           select(3) + UP + add(b"\xe9\x80\xff", b"\x9f") + save())
    yield "new-then-save-as-b", files + select(0) + DOWN + new(NO) + DOWN + save(PICK_B) + open_file(PICK_A)
    yield "new-prompt-yes-untitled", files + new() + select(2) + REMOVE + new(YES, PICK_A) + open_file(PICK_A)
    yield "new-prompt-cancel", files + select(0) + REMOVE + new(CANCEL) + new(YES) + open_file(PICK_B)
    yield "open-prompts", (files + select(0) + DOWN + open_file(PICK_B, CANCEL) + open_file(PICK_B, YES) +
                           select(0) + REMOVE + open_file(PICK_A, NO) + open_file(PICK_A))
    yield "untitled-save-cancelled", files + new() + save(PICK_NONE) + select(1) + REMOVE + new(YES, PICK_NONE)
    yield "empty-files", entry_file([]) + entry_file([]) + add(b"no", b"") + REMOVE + UP + open_file(PICK_B) + new()


def corpora():
    return {"corpus-import": import_files(), "corpus-cp1252": cp1252_files(), "corpus-edit": edit_files()}


def main():
    check = "--check" in sys.argv[1:]
    stale = []
    for folder, files in corpora().items():
        directory = FUZZ / folder
        directory.mkdir(exist_ok=True)
        for name, content in files:
            if isinstance(content, str):
                content = content.encode("utf-8")
            path = directory / name
            if check:
                if not path.exists() or path.read_bytes() != content:
                    stale.append(folder + "/" + name)
            else:
                path.write_bytes(content)
    if stale:
        print("out of date in fuzz/:", ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
