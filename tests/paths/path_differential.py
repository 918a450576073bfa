#!/usr/bin/env python3
"""The library's path engine against libxml2's XPath (through lxml).

Documents and paths are generated from a fixed seed so that every run checks the same
pairs; they cover every construct of the path language: child and "//" steps, "*", position
tests (0, large and in-range), attribute presence and value tests in both quotes, child text
tests, several predicates in a row, a final attribute step, the self step "." (leading,
inside, last, after "//") and unions of two or three such paths, with and without white
space around the "|". The library selects elements and attributes only, so of libxml2's
answer the document node, and the texts, comments and processing instructions that "//."
reaches, are left out. Documents use names without
prefixes, no namespace declarations and no DTD, and texts without runs of white space or
mixed content, so that both engines read them alike; texts compared by a child test stand
only in elements without element children. For each pair the selected nodes (as positions)
and their values must be the same; a difference prints the document and the path.
"""
import argparse
import random
import subprocess
import sys

from lxml import etree

CONTAINERS = ["a", "b", "item"]
LEAVES = ["v", "title"]  # only ever elements without element children
ATTRIBUTES = ["id", "k"]
ATTRIBUTE_VALUES = ["1", "2", "x", "a b", "", "&amp;", "&lt;q&gt;", "&#233;"]
TEXTS = ["1", "2.5", "-3e2", "x", "a b", "", "&amp;", "&#233;t&#233;", "<![CDATA[c d]]>"]
LITERAL_VALUES = ["1", "2", "2.5", "x", "a b", "", "&", "\u00e9t\u00e9", "c d", "<q>"]


def attributes(rng):
    out = ""
    for name in rng.sample(ATTRIBUTES, rng.randint(0, 2)):
        quote = rng.choice("'\"")
        out += " %s=%s%s%s" % (name, quote, rng.choice(ATTRIBUTE_VALUES), quote)
    return out


def element(rng, depth, out):
    gap = rng.choice(["", "", " ", "\n  "])
    if depth >= 5 or (depth > 0 and rng.random() < 0.45):
        name = rng.choice(LEAVES + CONTAINERS)
        text = rng.choice(TEXTS)
        if text == "" and rng.random() < 0.5:
            out.append("<%s%s/>" % (name, attributes(rng)))
        else:
            out.append("<%s%s>%s</%s>" % (name, attributes(rng), text, name))
        return
    name = rng.choice(CONTAINERS)
    out.append("<%s%s>" % (name, attributes(rng)))
    for _ in range(rng.randint(0, 5)):
        out.append(gap)
        if rng.random() < 0.1:
            out.append(rng.choice(["<!-- note -->", "<?pi x?>"]))
        element(rng, depth + 1, out)
    out.append(gap + "</%s>" % name)


def document(rng):
    out = [rng.choice(["", '<?xml version="1.0"?>', "<!-- head -->\n"])]
    element(rng, 0, out)
    return "".join(out)


def literal(rng):
    value = rng.choice(LITERAL_VALUES)
    quote = "'" if "'" not in value and rng.random() < 0.5 else '"'
    return quote + value + quote


def predicate(rng):
    space = rng.choice(["", "", " "])
    kind = rng.randint(0, 4)
    if kind == 0:
        n = rng.choice([1, 1, 1, 2, 2, 3, 4, 0, 99999999999])
        return "[%s%d%s]" % (space, n, space)
    if kind == 1:
        return "[@%s]" % rng.choice(ATTRIBUTES)
    if kind in (2, 3):
        return "[@%s%s=%s%s]" % (rng.choice(ATTRIBUTES), space, space, literal(rng))
    return "[%s%s=%s%s]" % (rng.choice(LEAVES), space, space, literal(rng))


def path(rng):
    out = rng.choice(["", "/", "//", "//", "./", ".//"])
    steps = rng.choice([1, 2, 2, 3, 4])
    for i in range(steps):
        if i > 0:
            out += rng.choice(["/", "/", "//"])
        if i == steps - 1 and rng.random() < 0.25:
            out += "@" + rng.choice(ATTRIBUTES)
            break
        if rng.random() < 0.08:
            out += "."
            continue
        out += rng.choice(CONTAINERS + LEAVES + ["*", "*", "*"])
        for _ in range(rng.choice([0, 0, 0, 1, 1, 1, 2, 3])):
            out += predicate(rng)
    return out


def quoted(value):
    return "'%s'" % value if "'" not in value else '"%s"' % value


def guided_predicate(rng, node, name_test):
    """A predicate that the node itself passes, taken from what it holds."""
    choices = []
    parent = node.getparent()
    siblings = [n for n in (parent if parent is not None else [node])
                if isinstance(n.tag, str) and name_test in ("*", n.tag)]
    choices.append("[%d]" % (siblings.index(node) + 1))
    for name, value in node.attrib.items():
        choices.append("[@%s]" % name)
        choices.append("[@%s=%s]" % (name, quoted(value)))
    for child in node:
        if isinstance(child.tag, str) and child.tag in LEAVES:
            choices.append("[%s=%s]" % (child.tag, quoted(element_value(child))))
    return rng.choice(choices)


def guided_path(rng, doc):
    """A path along the ancestors of one element of the document, some names replaced by
    "*", some steps skipped by "//", with predicates the chosen elements pass (and now and
    then one that is random)."""
    root = etree.fromstring(doc.encode("utf-8"))
    elements = [e for e in root.iter() if isinstance(e.tag, str)]
    target = rng.choice(elements)
    chain = []
    node = target
    while node is not None:
        chain.insert(0, node)
        node = node.getparent()
    out = ""
    skipping = False
    for i, node in enumerate(chain):
        if i < len(chain) - 1 and rng.random() < 0.3:
            skipping = True
            continue
        if skipping:
            out += "//"
        elif i > 0:
            out += "/"
        else:
            out += rng.choice(["", "/"])
        skipping = False
        name_test = "*" if rng.random() < 0.25 else node.tag
        out += name_test
        for _ in range(rng.choice([0, 1, 1, 2])):
            out += guided_predicate(rng, node, name_test) if rng.random() < 0.85 else predicate(rng)
    if rng.random() < 0.1:
        out += rng.choice(["/.", "//."])
    if target.attrib and rng.random() < 0.3:
        out += "/@" + rng.choice(list(target.attrib.keys()))
    return out


def union(rng, doc):
    """Now and then two or three paths joined by '|'; the operands as a list."""
    count = 1 if rng.random() < 0.7 else rng.choice([2, 2, 3])
    return [path(rng) if rng.random() < 0.5 else guided_path(rng, doc) for _ in range(count)]


def spelled(operands, rng):
    return rng.choice(["|", " | ", "  |\t"]).join(operands)


def query(operands):
    # A path without a leading '/' starts at the document in the library's language. The
    # filter leaves out the document node, which lxml cannot hand over: a node set that holds
    # it would come back empty.
    union = " | ".join(o if o.startswith("/") else "/" + o for o in operands)
    return "(%s)[count(. | /) = 2]" % union


def position(node):
    where = ""
    while node is not None:
        parent = node.getparent()
        siblings = [n for n in (parent if parent is not None else [node]) if isinstance(n.tag, str)]
        where = "/%d" % (siblings.index(node) + 1) + where
        node = parent
    return where


def escaped(value):
    out = ""
    for byte in value.encode("utf-8"):
        if byte < 0x20 or byte in (0x5C, 0x7C) or byte >= 0x7F:
            out += "\\x%02X" % byte
        else:
            out += chr(byte)
    return out


def element_value(node):
    # The library's reading of an element: its first child's text, "" when it has none;
    # white space alone makes no text.
    text = node.text or ""
    return "" if text.strip(" \t\r\n") == "" else text


def expected(doc, xpath):
    root = etree.fromstring(doc.encode("utf-8"))
    nodes = []
    values = ""
    for result in root.getroottree().xpath(xpath):
        if isinstance(result, str):
            if not result.is_attribute:
                continue
            nodes.append(position(result.getparent()) + "@" + result.attrname)
            values += escaped(str(result)) + "|"
        elif isinstance(result.tag, str):
            nodes.append(position(result))
            values += escaped(element_value(result)) + "|"
    return " ".join(nodes) + "\t" + values


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dump", help="the selection_dump program")
    parser.add_argument("--pairs", type=int, default=6000)
    parser.add_argument("--seed", type=int, default=24)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    pairs = []
    for _ in range(args.pairs):
        doc = document(rng)
        for _ in range(2):
            for operands in ([path(rng)], [guided_path(rng, doc)], union(rng, doc)):
                pairs.append((doc, spelled(operands, rng), query(operands)))
    stdin = b"".join(d.encode("utf-8") + b"\0" + p.encode("utf-8") + b"\0" for d, p, _ in pairs)
    run = subprocess.run([args.dump], input=stdin, stdout=subprocess.PIPE, check=True)
    lines = run.stdout.decode("latin-1").split("\n")
    failures = 0
    selected = 0
    for (doc, path_text, xpath), got in zip(pairs, lines):
        want = expected(doc, xpath)
        selected += want.startswith("\t") is False
        if got != want:
            failures += 1
            if failures <= 10:
                print("DIFFERENCE\n  document: %r\n  path:     %r\n  library:  %r\n  libxml2:  %r"
                      % (doc, path_text, got, want))
    if len(lines) < len(pairs):
        print("the dump program answered %d of %d pairs" % (len(lines), len(pairs)))
        failures += 1
    print("%d pairs, %d selecting something, %d differences" % (len(pairs), selected, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
