#!/usr/bin/env python3
"""Checks the macro-side declarations against the DLL exports they bind to.

For both branches of `#If Win64` in the VBA module: every Declare's Alias is one of the
decorated names of that bitness (all of them present, each once), and its arguments
match the types the decorated name encodes (char* -> ByVal LongPtr, the address of UTF-8
bytes; double* -> ByRef Double; int -> ByVal Long; bool -> ByVal Byte, given 0 or 1;
VARIANT* -> ByRef Variant, the Variant itself) with a matching
result type (a text result, the BSTR, As LongPtr). In the 32-bit branch the declared
arguments, four bytes each on the stack, add up to the bytes the export removes on return.
Then the way text crosses between Strings and the library (text_path.py), and the rules a
macro author meets first (module_rules.py); with --zip, the release zip's copy as well.

usage: check_vba_declares.py MODULE.bas (--tables X86.txt X64.txt | --dll32 A.dll --dll64 B.dll)
                             [--zip RELEASE.zip]
"""
import argparse
import os
import re
import sys

from module_rules import check_module_rules
from text_path import check_text_path, logical_lines

ARGUMENT_TYPES = {"char*": ("ByVal", "LongPtr"), "double*": ("ByRef", "Double"),
                  "int": ("ByVal", "Long"), "bool": ("ByVal", "Byte"),
                  "VARIANT*": ("ByRef", "Variant")}
RESULT_TYPES = {"wchar_t*": "LongPtr", "int": "Long", "double": "Double", "bool": "Byte"}
SIMPLE = {"H": "int", "N": "double", "_N": "bool"}
POINTERS = {"D": "char*", "N": "double*", "_W": "wchar_t*", "UtagVARIANT@@": "VARIANT*"}


def decode(name):
    """Result and argument types of a decorated `private: static` member of XML."""
    match = re.fullmatch(r"\?(\w+)@XML@@C[GA](.*)@Z", name)
    if not match:
        raise ValueError("not a static member of XML: " + name)
    rest, types, remembered = match.group(2), [], []
    while rest:
        if rest[0].isdigit():
            types.append(remembered[int(rest[0])])
            rest = rest[1:]
            continue
        pointer = re.match(r"PE?A(_W|D|N|UtagVARIANT@@)", rest)
        if pointer:
            kind = POINTERS[pointer.group(1)]
            types.append(kind)
            # Argument types longer than one letter are remembered for back-references;
            # the result type is not.
            if len(types) > 1 and kind not in remembered:
                remembered.append(kind)
            rest = rest[pointer.end():]
            continue
        token = "_N" if rest.startswith("_N") else rest[0]
        types.append(SIMPLE[token])
        rest = rest[len(token):]
    return match.group(1), types[0], types[1:]


def declares(path):
    """{'x64': [...], 'x86': [...]}: (alias, [(passing, type)], result) per Declare."""
    branches = {"x64": [], "x86": []}
    for branch, code, original in logical_lines(open(path, encoding="latin-1").read()):
        if branch and re.match(r"(Private |Public )?Declare ", code):
            match = re.search(r'Alias "([^"]+)"\s*\((.*)\)\s*As (\w+)\s*$', original)
            if not match:
                raise ValueError("unreadable Declare: " + original)
            arguments = []
            for argument in filter(None, (a.strip() for a in match.group(2).split(","))):
                parts = re.fullmatch(r"(ByVal|ByRef)\s+\w+\s+As\s+(\w+)", argument)
                arguments.append(parts.groups() if parts else ("?", argument))
            branches[branch].append((match.group(1), arguments, match.group(3)))
    return branches


def table_exports(path):
    rows = [line.split() for line in open(path) if line.strip() and not line.startswith("#")]
    return {name: int(argument_bytes) for _, name, argument_bytes in rows}


def dll_exports(path):
    sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "image"))
    from check_pe_image import Image
    return {name: None for name in Image(path).exports()[0]}


def check(branch, found, exports):
    failures = []
    aliases = [alias for alias, _, _ in found]
    if sorted(aliases) != sorted(exports):
        failures.append("%s aliases %s differ from the exports %s" % (branch, sorted(aliases), sorted(exports)))
    for alias, arguments, result in found:
        if alias not in exports:
            continue
        function, result_type, argument_types = decode(alias)
        expected = [ARGUMENT_TYPES[t] for t in argument_types]
        if [tuple(a) for a in arguments] != expected:
            failures.append("%s %s: arguments %s, expected %s" % (branch, function, arguments, expected))
        if result != RESULT_TYPES[result_type]:
            failures.append("%s %s: result As %s, expected As %s" % (branch, function, result, RESULT_TYPES[result_type]))
        if branch == "x86" and exports[alias] is not None and 4 * len(arguments) != exports[alias]:
            failures.append("x86 %s: %d argument bytes, the export removes %d" % (function, 4 * len(arguments), exports[alias]))
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("module")
    parser.add_argument("--tables", nargs=2, metavar=("X86", "X64"))
    parser.add_argument("--dll32")
    parser.add_argument("--dll64")
    parser.add_argument("--zip")
    args = parser.parse_args()
    found = declares(args.module)
    failures = check_text_path(args.module) + check_module_rules(args.module, args.zip)
    if args.tables:
        failures += check("x86", found["x86"], table_exports(args.tables[0]))
        failures += check("x64", found["x64"], table_exports(args.tables[1]))
    if args.dll32:
        failures += check("x86", found["x86"], dll_exports(args.dll32))
    if args.dll64:
        failures += check("x64", found["x64"], dll_exports(args.dll64))
    for failure in failures:
        print("FAIL:", failure)
    print("%s: %s" % (args.module, "%d failures" % len(failures) if failures else "all declarations and the text path match"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
