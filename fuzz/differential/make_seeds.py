#!/usr/bin/env python3
"""Writes the differential fuzz target's generated seeds into a folder: the documents the
tests hand the library (string literals holding markup, taken from the given C++ sources,
adjacent literals joined), and generated documents with entities, CDATA sections, comments,
declarations, document type declarations with internal subsets, runs of white space and
broken UTF-8. Each seed is an element name, a NUL and
the document text (the fuzz targets' input layout).

usage: make_seeds.py OUTDIR SOURCE...
"""
import hashlib
import itertools
import os
import re
import sys

LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
# A run of adjacent string literals, as C++ joins them.
LITERAL_RUN = re.compile(r'"(?:[^"\\\n]|\\.)*"(?:\s*"(?:[^"\\\n]|\\.)*")*')
ESCAPES = {"n": b"\n", "r": b"\r", "t": b"\t", "v": b"\v", "f": b"\f", "0": b"\0",
           "\\": b"\\", '"': b'"', "'": b"'", "?": b"?", "a": b"\a", "b": b"\b"}


def unescape(body):
    """The bytes of a C++ string literal's body."""
    out = bytearray()
    i = 0
    while i < len(body):
        c = body[i]
        if c != "\\":
            out += c.encode("utf-8")
            i += 1
            continue
        nxt = body[i + 1]
        if nxt == "x":
            digits = re.match(r"[0-9A-Fa-f]+", body[i + 2:]).group(0)
            out.append(int(digits, 16) & 0xFF)
            i += 2 + len(digits)
        elif nxt in "01234567" and re.match(r"[0-7]{1,3}", body[i + 1:]):
            digits = re.match(r"[0-7]{1,3}", body[i + 1:]).group(0)
            out.append(int(digits, 8) & 0xFF)
            i += 1 + len(digits)
        else:
            out += ESCAPES.get(nxt, nxt.encode("utf-8"))
            i += 2
    return bytes(out)


def test_documents(paths):
    for path in paths:
        with open(path, encoding="utf-8") as source:
            code = source.read()
        for run in LITERAL_RUN.finditer(code):
            text = b"".join(unescape(m.group(1)) for m in LITERAL.finditer(run.group(0)))
            if b"<" in text:
                yield text


def first_name(text):
    match = re.search(rb"<([A-Za-z_][A-Za-z0-9_.:-]*)", text)
    return match.group(1)[:16] if match else b"a"


def generated():
    pieces = [
        b"&amp;", b"&lt;&gt;", b"&quot;&apos;", b"&#65;", b"&#x41;", b"&#x1F600;", b"&#;",
        b"&bogus;", b"& ", b"&#x", b"&amp;#x41;", b"&amp;#x4<", b"&#0;\"", b"&#x1F;&#x7F;",
        b"<![CDATA[ a < b ]]>", b"<![CDATA[]]>", b"<![CDATA[x",
        b"<!-- c -->", b"<!---->", b"<!-- - -- --->", b"<!-- open", b"<!DOCTYPE d [<!ENTITY e 'x'>]>",
        b"<?pi data?>", b"   ", b"\t\r\n \v\f", b" \n\n  \t ", b"\xc3\xa9", b"\xe2\x82\xac",
        b"\xf0\x9f\x98\x80", b"\xc3", b"\xe2\x82", b"\xf0\x9f\x98", b"\x80\xbf", b"\xff\xfe",
        b"\xef\xbb\xbf", b"\xef\xbf\xbe", b"\xc3<", b"\xe2<b>", b"x\xc3&amp;", b"1.5e3", b"-42",
        b"<b/>", b"<b></b>", b"<b >t</b >", b"<b a='1' c=\"2\">t</b>", b"<b a=1>t</b>",
        b"<b a='1' a='2'/>", b"<b a='x", b"</b>", b"<1>", b"<_:b.c-d>e</_:b.c-d>",
    ]
    declarations = [b"", b"<?xml version='1.0'?>", b'<?xml version="1.0" encoding="UTF-8" ?>',
                     b"<?XML encoding='latin-1' standalone='yes'?>", b"<?xml ", b"\xef\xbb\xbf"]
    # Each piece beside two others, not every pair: the fuzzer combines them further.
    pairs = [(a, pieces[(i * 7 + 3) % len(pieces)]) for i, a in enumerate(pieces)]
    pairs += [(a, pieces[(i * 11 + 5) % len(pieces)]) for i, a in enumerate(pieces)]
    for declaration, (a, b) in itertools.product(declarations, pairs):
        yield b"r", declaration + b"<r> " + a + b" <v>" + b + b"</v>" + a + b"</r>"
    for declaration, piece in itertools.product(declarations, pieces):
        yield b"v", declaration + b"<r><v a='" + piece + b"'>" + piece + b"</v></r>"
        yield b"v", declaration + b"<r><v>" + piece  # truncated
    # Document type declarations with internal subsets, which the patched parser reads to
    # their closing '>': examples from the field, '>' and ']' in quotes, comments and
    # instructions, a '[' in a quoted identifier, and subsets left open.
    subsets = [
        b"<!DOCTYPE a [<!ELEMENT a ANY>]>",
        b'<!DOCTYPE svg PUBLIC "-//W3C//DTD SVG 1.1//EN" '
        b'"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd" [\n'
        b'\t<!ENTITY ns_svg "http://www.w3.org/2000/svg">\n'
        b'\t<!ENTITY ns_xlink "http://www.w3.org/1999/xlink">\n]>',
        b'<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Transitional//EN" '
        b'"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd" [\n'
        b'<!ENTITY nbsp "&#160;">\n<!ENTITY copy "&#169;">\n]>',
        b"<!DOCTYPE r [<!ELEMENT r (v)*><!ATTLIST v unit CDATA 'EUR'><!ENTITY co \"P & Co\">]>",
        b"<!DOCTYPE a [<!ENTITY gt '>'><!ATTLIST a b CDATA \"]>\">]>",
        b"<!DOCTYPE a [<!-- ] > --><?pi ]>?>]>",
        b"<!DOCTYPE a [<!ENTITY e '<b><c>'>]>",
        b"<!DOCTYPE a SYSTEM 'a[1].dtd' [<!ENTITY e 'v'>] >",
        b"<!DOCTYPE a [] tail [x]>",
        b"<!DOCTYPE a [<!ENTITY e \"x>",
        b"<!DOCTYPE a [<!ELEMENT a ANY>",
        b"<!DOCTYPE a [<!-- open",
        b"<!DOCTYPE a [<?pi open",
    ]
    bodies = [b"<a><b>1</b></a>", b'<svg xmlns="&ns_svg;"><title>&ns_svg;</title></svg>',
              b"<html><body><p>a&nbsp;b &copy;</p></body></html>"]
    for declaration, subset, body in itertools.product(declarations[:3], subsets, bodies):
        yield b"b", declaration + subset + body
    # Declarations that are no markup, and one inside an element.
    yield b"b", (b"<!-- <!DOCTYPE a [<b/>]> --><a t='<!DOCTYPE b [x]>'>"
                 b"<!DOCTYPE c [<!ENTITY e \"<b>\">]><b>2</b></a>")
    for depth in (1, 2, 50, 400):
        yield b"c", b"<a>" * depth + b"<c>7</c>" + b"</a>" * depth
        yield b"c", b"<a>" * depth + b"<c>\xc3"


def main():
    outdir, sources = sys.argv[1], sys.argv[2:]
    os.makedirs(outdir, exist_ok=True)
    seeds = [(first_name(t), t) for t in test_documents(sources)] + list(generated())
    for name, text in seeds:
        seed = name + b"\0" + text
        path = os.path.join(outdir, hashlib.sha1(seed).hexdigest())
        with open(path, "wb") as out:
            out.write(seed)
    print(f"make_seeds: {len(seeds)} seeds in {outdir}")


if __name__ == "__main__":
    main()
