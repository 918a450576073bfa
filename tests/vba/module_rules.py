"""Rules of the VBA module that a macro author meets before the first call works.

- Import: the module's bytes end every line in CRLF (the VBA editor's File > Import takes
  the first line as the module's header only then), its first line names it Pelzor, and the
  release zip's copy is the same bytes.
"""
import re
import zipfile

from text_path import LIBRARY, read_module

HEADER = b'Attribute VB_Name = "Pelzor"\r\n'


def check_line_ends(raw, where):
    failures = []
    if not raw.startswith(HEADER):
        failures.append("%s: the first line is not %r" % (where, HEADER.decode()))
    bare_lf = [i for i, line in enumerate(raw.split(b"\n")[:-1], 1) if not line.endswith(b"\r")]
    if bare_lf:
        failures.append("%s: %d line(s) end without CRLF, the first is line %d" % (where, len(bare_lf), bare_lf[0]))
    if re.search(rb"\r(?!\n)", raw):
        failures.append("%s: a CR without LF" % where)
    if not raw.endswith(b"\r\n"):
        failures.append("%s: the last line does not end in CRLF" % where)
    return failures


def check_zip_copy(raw, zip_path):
    with zipfile.ZipFile(zip_path) as package:
        copy = package.read("vba/Pelzor.bas")
    failures = check_line_ends(copy, "the zip's vba/Pelzor.bas")
    if copy != raw:
        failures.append("the zip's vba/Pelzor.bas differs from the repository's module")
    return failures


def check_no_boolean_argument(declares):
    return ["%s %s: a Boolean parameter; the library's bool takes a Byte of 0 or 1" % (branch, name)
            for branch, found in declares.items() for name, original in found
            if LIBRARY in original and re.search(r"\bAs Boolean\b", original.split(") As ")[0])]


def check_module_rules(path, zip_path=None):
    raw = open(path, "rb").read()
    declares, procedures = read_module(raw.decode("latin-1"))
    failures = check_line_ends(raw, "module")
    failures += check_no_boolean_argument(declares)
    if zip_path:
        failures += check_zip_copy(raw, zip_path)
    return failures
