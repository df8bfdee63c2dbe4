#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the seed corpora of the import, translation, Windows-1252 and edit fuzzers.

    fuzz/corpus-import   the first byte chooses the format: "j" JSON, "c" CSV;
                         "ok-" files must be imported, "bad-" files refused
    fuzz/corpus-translation
                         the first byte chooses the format: "p" PO, "x" XLIFF;
                         imported into the template of TranslationCheck.cpp;
                         "ok-" files must be imported, "bad-" files refused
    fuzz/corpus-poread   PO files read by lumo's reader and by gettext's library; the
                         first byte chooses the name: "p" a .po file, "q" a .pot file
    fuzz/corpus-cp1252   texts, each taken as entry bytes and as UTF-8
    fuzz/corpus-edit     two entry files, then edit commands (see EditCheck.h)
    fuzz/corpus-xliffread
                         XLIFF files read by lumo's own reader and by libxml2
                         (XliffReadCheck.h): the same translations, or both
                         refuse; "ok-" files must be read, "bad-" refused

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


PO_HEADER = r"""# Texts of template.lumo for translation.
msgid ""
msgstr ""
"Project-Id-Version: template.lumo\n"
"Language: fr\n"
"MIME-Version: 1.0\n"
"Content-Type: text/plain; charset=UTF-8\n"
"Content-Transfer-Encoding: 8bit\n"
"""


def po_message(name, source, translation="", flags="", prefix=""):
    lines = ["#. the data text of the entry", "#: template.lumo:1"] if not prefix else []
    if flags:
        lines.append("#, " + flags)
    lines += [prefix + 'msgctxt "%s"' % name, prefix + 'msgid "%s"' % source,
              prefix + 'msgstr "%s"' % translation]
    return "\n" + "\n".join(lines) + "\n"


XLIFF_HEAD = ('<?xml version="1.0" encoding="UTF-8"?>\n'
              '<xliff version="1.2" xmlns="urn:oasis:names:tc:xliff:document:1.2">\n'
              '  <file original="template.lumo" source-language="en" target-language="fr" datatype="plaintext">\n'
              '    <body>\n')
XLIFF_TAIL = "    </body>\n  </file>\n</xliff>\n"
BELL = '<ph ctype="x-lumo-control">U+0007</ph>'


def xliff_unit(unit_id, name, source, target=None, state=None):
    unit = '      <trans-unit id="%s" resname="%s">\n        <source>%s</source>\n' % (unit_id, name, source)
    if target is not None:
        unit += "        <target%s>%s</target>\n" % (' state="%s"' % state if state else "", target)
    return unit + "      </trans-unit>\n"


def translation_files():
    pot_header = PO_HEADER.replace("msgid", "#, fuzzy\nmsgid", 1).replace('"Language: fr\\n"\n', "")
    yield "ok-pot-template", "p" + pot_header + "".join(
        po_message(n, s) for n, s in (("TITLE", "Start"), ("DUP", "Yes"), ("DUP", "No"), ("EMPTY", "Only the extra"),
                                      ("CAFE", "Caf\u00e9 \u20ac"), ("CAFE", "Bell\\a")))
    # Every message translated: ten texts of the template change.
    yield "ok-po-translated", "p" + PO_HEADER + "".join(
        po_message(n, s, t) for n, s, t in (("TITLE", "Start", "D\u00e9but"), ("DUP", "Yes", "Oui"),
                                            ("DUP", "No", "Non"), ("EMPTY", "Only the extra", "Seulement"),
                                            ("CAFE", "Caf\u00e9 \u20ac", "Kaffee \u2030"),
                                            ("CAFE", "Bell\\a", "Glocke\\a\\t")))
    # Only "Yes" is used (two texts): the fuzzy, obsolete and empty ones are not.
    yield "ok-po-fuzzy-obsolete", "p" + PO_HEADER + (
        po_message("TITLE", "Start", "D\u00e9but", flags="fuzzy") + po_message("DUP", "Yes", "Oui") +
        po_message("EMPTY", "Only the extra") + po_message("GONE", "Not in the template", "Absent") +
        po_message("DUP", "No", "Non", prefix="#~ "))
    yield "bad-po-plural", "p" + PO_HEADER + (
        '\nmsgctxt "DUP"\nmsgid "Yes"\nmsgid_plural "Yeses"\nmsgstr[0] "Oui"\nmsgstr[1] "Ouis"\n')
    yield "bad-po-no-header", "p" + po_message("DUP", "Yes", "Oui")
    yield "bad-po-not-cp1252", "p" + PO_HEADER + po_message("DUP", "Yes", "\u662f")
    yield "bad-po-syntax", "p" + PO_HEADER + '\nmsgctxt "DUP"\nmsgid "Yes\nmsgstr "Oui"\n'
    yield "bad-po-charset", "p" + PO_HEADER.replace("UTF-8", "ISO-8859-1") + po_message("DUP", "Yes", "Oui")
    # "Start", "No" and the bell text are used (six texts); "Yes" needs
    # translation and the text with the euro sign is new.
    yield "ok-xliff-states", "x" + XLIFF_HEAD + (
        xliff_unit("1", "TITLE", "Start", "D\u00e9but", "final") +
        xliff_unit("2", "DUP", "Yes", "Oui", "needs-translation") + xliff_unit("3", "DUP", "No", "Non") +
        xliff_unit("4", "EMPTY", "Only the extra") +
        xliff_unit("5", "CAFE", "Bell" + BELL, "Glocke" + BELL, "translated") +
        xliff_unit("6", "CAFE", "Caf\u00e9 \u20ac", "Kaffee", "new")) + XLIFF_TAIL
    yield "bad-xliff-malformed", "x" + XLIFF_HEAD + (
        '      <trans-unit id="1" resname="TITLE">\n        <source>Start</target>\n') + XLIFF_TAIL
    yield "bad-xliff-entity", "x" + XLIFF_HEAD.replace(
        "<xliff ", '<!DOCTYPE xliff [<!ENTITY brand "Lumo">]>\n<xliff ') + xliff_unit(
        "1", "TITLE", "Start", "&brand;") + XLIFF_TAIL
    yield "bad-xliff-not-xliff", "x" + XLIFF_HEAD.replace(' xmlns="urn:oasis:names:tc:xliff:document:1.2"', "") + (
        xliff_unit("1", "TITLE", "Start", "D\u00e9but") + XLIFF_TAIL)
    yield "bad-xliff-ph-letter", "x" + XLIFF_HEAD + xliff_unit(
        "1", "CAFE", "Bell" + BELL, 'Glocke<ph ctype="x-lumo-control">U+0041</ph>') + XLIFF_TAIL
    yield "bad-xliff-empty", "x"
    # Bytes that are no text in the declared encoding: libxml2 reports them
    # outside the parser.
    yield "bad-xliff-encoding", b"x" + XLIFF_HEAD.replace('"UTF-8"', '"SHIFT_JIS"').encode() + xliff_unit(
        "1", "TITLE", "Start", "D\xe9\x00but").encode("latin-1") + XLIFF_TAIL.encode()
    # A byte order libxml2 has no converter for, found in its first bytes.
    yield "bad-xliff-ucs4-order", b"x\x00<\x00\x00<xliff/>"


def poread_files():
    header = PO_HEADER
    body = "".join(po_message(n, s, t) for n, s, t in (("TITLE", "Start", "D\u00e9but"), ("DUP", "Yes", "Oui"),
                                                        ("CAFE", "Caf\u00e9 \u20ac", "Kaffee \u2030")))
    yield "ok-translated", "p" + header + body
    yield "ok-template", "q" + PO_HEADER.replace("UTF-8", "CHARSET").replace("msgid", "#, fuzzy\nmsgid", 1) + (
        po_message("TITLE", "Start") + po_message("EMPTY", "Only the extra"))
    yield "ok-charset-placeholder-in-a-po", "p" + PO_HEADER.replace("UTF-8", "CHARSET") + po_message("A", "x", "y")
    yield "ok-no-charset", "p" + PO_HEADER.replace("charset=UTF-8", "CHARSET=UTF-8") + po_message("A", "\xff", "y")
    yield "ok-fuzzy-flags", "p" + header + (
        "\n#,fuzzy\nmsgctxt \"A\"\nmsgid \"a\"\nmsgstr \"x\"\n"
        "\n#, c-format,\tfuzzy\r\n# other\n#. note\n#: f:1\n#| msgid \"old\"\nmsgctxt \"A\"\nmsgid \"b\"\nmsgstr \"x\"\n"
        "\n#! fuzzy\nmsgctxt \"A\"\nmsgid \"c\"\nmsgstr \"x\"\n"
        "\n#, fuzzyx\nmsgctxt \"A\"\nmsgid \"d\"\nmsgstr \"x\"\n"
        "\n#, fuzzy\ndomain \"messages\"\nmsgctxt \"A\"\nmsgid \"e\"\nmsgstr \"x\"\n")
    yield "ok-escapes", "p" + header + (
        '\nmsgctxt "E"\nmsgid "\\n\\t\\r\\a\\b\\f\\v\\\\\\" \\101\\18\\x41\\x1234567 \\xc3\\xa9 \\303\\251"\n'
        'msgstr "\\342\\202\\254"\n')
    yield "ok-continuations", "p" + header + (
        '\nmsgctxt "A"\n"B"\nmsgid ""\n"long "\n  "text"\nmsgstr "" "x"\n\t"y"\n'
        '\f\vmsgctxt"C"msgid"d"msgstr"e" msgctxt "F" msgid "g" msgstr "h"\n')
    yield "ok-crlf", "p" + (header + po_message("A", "b", "c")).replace("\n", "\r\n")
    yield "ok-obsolete-and-previous", "p" + header + (
        "\n#~ msgctxt \"A\"\n#~ msgid \"old\"\n#~ msgid_plural \"olds\"\n#~ msgstr[0] \"x\"\n#~ msgstr[1] \"y\"\n"
        "\n#~| msgid \"older\"\n#~ msgctxt \"A\"\n#~ msgid \"gone\"\n#~ msgstr \"\\0 cut\"\n"
        "\n#| msgctxt \"P\"\n#| \"Q\"\n#| msgid \"was\"\n#| msgid_plural \"were\"\nmsgctxt \"A\"\nmsgid \"is\"\nmsgstr \"est\"\n"
        "\n#|# a comment ends the line\nmsgid \"carried\"\nmsgctxt \"A\"\nmsgid \"now\"\nmsgstr \"\"\n"
        "\nmsgctxt \"A\"\nmsgid \"same line\"\nmsgstr \"x\" #~ msgid \"obsolete\"\n#~ msgstr \"o\"\n")
    yield "ok-joined-lines", "p" + header + '\nmsg\\\nctxt "A"\nmsgid "a\\\nb"\nmsgstr "\\\\\\\nn"\n# comment \\\nmsgid "swallowed"\n'
    yield "ok-before-header", "p" + po_message("X", "\xff\xfe", "") + header + po_message("A", "b", "")
    yield "ok-unmatchable", "p" + header + (
        '\nmsgid "no context"\nmsgstr "x"\n\nmsgctxt "A"\nmsgid ""\nmsgstr "x"\n'
        '\nmsgctxt "\u4e2d"\nmsgid "a"\nmsgstr "x"\n\nmsgctxt ""\nmsgid "no context"\nmsgstr "x"\n')
    yield "ok-ascii", "p" + PO_HEADER.replace("UTF-8", "ASCII") + po_message("A", "b", "\\303\\251")
    yield "bad-empty-file", "p"
    yield "bad-no-header", "p" + po_message("A", "b", "c")
    yield "bad-text-before-header", "p" + "hello\n" + header
    yield "bad-byte-order-mark", "p\ufeff" + header
    yield "bad-invalid-utf8", b"p" + header.encode() + b'\nmsgctxt "A"\nmsgid "\xc3\x28"\nmsgstr ""\n'
    yield "bad-invalid-utf8-split-by-a-join", b"p" + header.encode() + b'\nmsgctxt "A"\nmsgid "\xc3\\\n\xa9"\nmsgstr ""\n'
    yield "bad-ascii-high-byte", "p" + PO_HEADER.replace("UTF-8", "US-ASCII") + po_message("A", "\u00e9", "")
    yield "bad-surrogate", b"p" + header.encode() + b'\nmsgctxt "A"\nmsgid "\xed\xa0\x80"\nmsgstr ""\n'
    yield "bad-other-charset-first", "p" + header.replace("Language: fr", "X-Note: charset=ISO-8859-1") + po_message("A", "b", "")
    yield "bad-duplicate", "p" + header + po_message("A", "b", "c") + po_message("A", "b", "d")
    yield "bad-duplicate-obsolete", "p" + header + po_message("A", "b", "c") + po_message("A", "b", "d", prefix="#~ ")
    yield "bad-duplicate-after-nul", "p" + header + po_message("A", "b", "c") + po_message("A", "b\\0x", "d", prefix="#~ ")
    yield "bad-missing-msgstr", "p" + header + '\nmsgctxt "A"\nmsgid "b"\n\nmsgctxt "A"\nmsgid "c"\nmsgstr ""\n'
    yield "bad-wrong-order", "p" + header + '\nmsgid "b"\nmsgctxt "A"\nmsgstr ""\n'
    yield "bad-comment-inside", "p" + header + '\nmsgctxt "A"\n# c\nmsgid "b"\nmsgstr ""\n'
    yield "bad-inconsistent-obsolete", "p" + header + '\n#~ msgctxt "A"\n#~ msgid "b"\nmsgstr ""\n'
    yield "bad-escapes", "p" + header + po_message("A", "\\? \\' \\e \\u00e9 \\x", "")
    yield "bad-context-separator", "p" + header + po_message("A", "\\004", "")
    yield "bad-end-of-file-in-string", "p" + header + '\nmsgctxt "A"\nmsgid "b"\nmsgstr "c'
    yield "bad-nul-byte-outside", b"p" + header.encode() + b'\nmsgctxt "A"\x00\nmsgid "b"\nmsgstr ""\n'
    yield "bad-nul-byte-in-string", b"p" + header.encode() + b'\nmsgctxt "A"\nmsgid "b"\nmsgstr "c\x00d"\n'
    yield "bad-nul-escapes", "p" + header + po_message("A", "b", "\\400") + po_message("A", "c", "\\x100")
    yield "bad-plural", "p" + header + '\nmsgctxt "A"\nmsgid "b"\nmsgid_plural "bs"\nmsgstr[0] "c"\nmsgstr[1] "d"\n'
    yield "bad-plural-index", "p" + header + '\n#~ msgid "b"\n#~ msgid_plural "bs"\n#~ msgstr[0] "c"\n#~ msgstr[2] "d"\n'
    yield "bad-two-domains", "p" + header + 'domain "other"\n' + po_message("A", "b", "")
    yield "bad-unknown-keyword", "p" + header + '\nmsgctxt "A"\nmsgid "b"\nmsgstr2 ""\n'
    yield "bad-previous-msgstr", "p" + header + '\n#| msgstr "x"\nmsgctxt "A"\nmsgid "b"\nmsgstr ""\n'
    yield "bad-translation-not-cp1252", "p" + header + po_message("A", "b", "\u4e2d")


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


def xliffread_files():
    """What lumo writes, what other tools write, and XML that tests the reader."""
    def unit(unit_id, name, source, target=None, state=None, extra=""):
        return ('<trans-unit id="%s" resname="%s"%s xml:space="preserve">\n  <source>%s</source>\n' % (
            unit_id, name, extra, source) + ("  <target%s>%s</target>\n" % (
                ' state="%s"' % state if state else "", target) if target is not None else "") +
            '  <note from="lumo">The data text of the entry: game.lumo:1</note>\n</trans-unit>\n')
    def doc(body, head=XLIFF_HEAD, tail=XLIFF_TAIL):
        return head + body + tail
    yield "ok-lumo-export", doc(
        unit("1", "TITLE", "Start", "D\u00e9but", "translated", ' approved="yes"') +
        unit("2", "CAFE", "Caf\u00e9 \u20ac &amp; &lt;tea&gt; &quot;hot&quot;", "Kaffee \u2030 'x'", "translated") +
        unit("3", "BELL", "Bell" + BELL, "Glocke" + BELL.replace("0007", "001F")) +
        unit("4", "EMPTY", "Only the source") + unit("5", "FUZZY", "Maybe", "Peut-\u00eatre", "needs-review-translation"))
    yield "ok-other-tools", doc(
        '<group id="g1" restype="x-gettext-domain">\n'
        '<trans-unit id="a" resname="A"><source>One</source><seg-source><mrk mtype="seg" mid="0">One</mrk>'
        '</seg-source><target state="final"><mrk mtype="seg" mid="0">U<g id="1">n</g></mrk></target>'
        '<alt-trans><source>One</source><target>Eins</target></alt-trans><note>n</note></trans-unit>\n'
        '</group>\n<trans-unit id="7" resname="B"><source>Two<![CDATA[ <&> ]]>!</source><target>Deux'
        '<!-- a comment --><?pi data?>!</target></trans-unit>\n')
    yield "ok-references", doc(unit("1", "A&amp;B &#38; &lt;&#60;&quot;&#x22;", "x &#x26; y &#233;&#xE9;&#xe9;",
                                    "X\r\nY\rZ&#13;&#10;&#9;end", "final"))
    yield "ok-line-ends", doc(unit("1", "CR", "a\r\nb", "c\rd")).replace("\n", "\r\n")
    yield "ok-prefixed", ('<?xml version="1.0"?>\n<x:xliff version="1.2" xmlns:x="urn:oasis:names:tc:xliff:document:1.2" '
                          'xmlns:o="urn:other" o:a="1" xml:lang="fr"><x:file><x:body>\n'
                          '<x:trans-unit id="1" resname="A" o:resname="B"><x:source>One</x:source>'
                          '<x:target>Un</x:target><o:target>no</o:target></x:trans-unit>\n'
                          '<trans-unit xmlns="urn:oasis:names:tc:xliff:document:1.2" id="2" resname="C">'
                          '<source>Three</source><target xmlns="">not XLIFF</target></trans-unit>\n'
                          '</x:body></x:file></x:xliff>\n')
    yield "ok-bom-declaration", "\ufeff<?xml version='1.0' encoding='utf-8' standalone='yes' ?>\n" + doc(
        unit("1", "A", "One", "Un"), head=XLIFF_HEAD[XLIFF_HEAD.index("<xliff"):])
    yield "ok-no-declaration", doc(unit("1", "A", "One", "Un"), head=XLIFF_HEAD[XLIFF_HEAD.index("<xliff"):])
    yield "ok-misc-around", "<?xml version=\"1.0\"?>\n<!-- before -->\n<?pi before?>\n" + doc(
        unit("1", "A", "One", "Un"), head=XLIFF_HEAD[XLIFF_HEAD.index("<xliff"):]) + "<!-- after -->\n<?pi after?>\n"
    yield "ok-nul-after-document", doc(unit("1", "A", "One", "Un")) + "\x00 <not> &read;"
    yield "ok-repeated-units", doc(unit("1", "A", "One", "Un") + unit("2", "A", "One", "Uno") +
                                   unit("3", "A", "One", "Eins"))
    yield "ok-unmatchable", doc(unit("1", "\u4e2d", "One", "Un") + unit("2", "A", "\u4e2d", "Un") +
                                unit("3", "B", "Two", "\u4e2d", "new") + '<trans-unit id="4"><source>x</source></trans-unit>\n')
    yield "ok-names", doc(unit("1", "A", "One", "Un", extra=' \u00e9t\u00e9="1" _a.b-c="2" a\u00b7\u0300="3"'))
    yield "ok-long-char-references", doc(unit("1", "A", "&#x0000000000000000000041;&#00000000000000000000000065;", "x"))
    yield "bad-not-xliff", '<?xml version="1.0"?>\n<xliff version="2.0" xmlns="urn:oasis:names:tc:xliff:document:2.0"/>'
    yield "bad-mismatched-tag", doc(unit("1", "A", "One", "Un").replace("</target>", "</trarget>"))
    yield "bad-inline-element", doc(unit("1", "A", "One", 'U<x id="1"/>n'))
    yield "bad-placeholder", doc(unit("1", "A", "One", '<ph id="1">U+0041</ph>'))
    yield "bad-not-cp1252", doc(unit("7", "A", "One", "\u4e2d", "final"))
    yield "bad-doctype", doc(unit("1", "A", "One", "Un"), head=XLIFF_HEAD.replace("<xliff", "<!DOCTYPE xliff>\n<xliff", 1))
    yield "bad-doctype-entity", doc(unit("1", "A", "One", "&e;"),
                                    head=XLIFF_HEAD.replace("<xliff", '<!DOCTYPE xliff [<!ENTITY e "x">]>\n<xliff', 1))
    yield "bad-encoding", doc(unit("1", "A", "One", "Un")).replace("UTF-8", "ISO-8859-1")
    yield "bad-utf16", b"\xff\xfe" + doc(unit("1", "A", "One", "Un")).encode("utf-16-le")
    yield "bad-gzip", b"\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\xb3\xa9\xc8\xc9\x4c\x4b\xd3\xb7\x03\x00"
    yield "bad-undefined-entity", doc(unit("1", "A", "One", "&nbsp;"))
    yield "bad-character-reference", doc(unit("1", "A", "One", "&#0;"))
    yield "bad-control-character", doc(unit("1", "A", "One", "a\x01b"))
    yield "bad-invalid-utf8", doc(unit("1", "A", "One", "caf\xe9")).encode("utf-8").replace(b"\xc3\xa9", b"\xe9")
    yield "bad-cdata-end-in-text", doc(unit("1", "A", "One", "a]]>b"))
    yield "bad-double-hyphen", doc(unit("1", "A", "One", "a<!-- x -- y -->b"))
    yield "bad-duplicate-attribute", doc(unit("1", "A", "One", "Un", extra=' id="2"'))
    yield "bad-namespaced-duplicate", doc(unit("1", "A", "One", "Un", extra=' xmlns:p="u:a" xmlns:q="u:a" p:x="1" q:x="2"'))
    yield "bad-undeclared-prefix", doc(unit("1", "A", "One", "Un", extra=' p:x="1"'))
    yield "bad-namespace-not-uri", doc(unit("1", "A", "One", "Un", extra=' xmlns:p="not a uri"'))
    yield "bad-colon-in-instruction", doc(unit("1", "A", "One", "a<?p:i x?>b"))
    yield "bad-xml-declaration-late", " " + doc(unit("1", "A", "One", "Un"))
    yield "bad-content-after-document", doc(unit("1", "A", "One", "Un")) + "<more/>"
    yield "bad-unclosed", doc(unit("1", "A", "One", "Un"))[:-20]
    yield "bad-too-deep", doc("<group>" * 260 + "</group>" * 260)
    yield "bad-empty", ""


def corpora():
    return {"corpus-import": import_files(), "corpus-translation": translation_files(), "corpus-cp1252": cp1252_files(),
            "corpus-edit": edit_files(), "corpus-poread": poread_files(), "corpus-xliffread": xliffread_files()}


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
