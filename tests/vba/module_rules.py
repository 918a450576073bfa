"""Rules of the VBA module that a macro author meets before the first call works.

- Import: the module's bytes end every line in CRLF (the VBA editor's File > Import takes
  the first line as the module's header only then), its first line names it Pelzor, and the
  release zip's copy is the same bytes.
- Loading: every public function loads the DLL before its first library call, and the
  loader counts a DLL as loaded only once it has found the newest export the module declares.
- Values: parameters that take a cell's value are Variants made text with Str$, never CStr;
  a table goes whole to the library, which makes its values text itself, and column paths
  are joined as the Strings they must be.
- Files: an existing file is replaced with ReplaceFileW.
"""
import re
import zipfile

from text_path import LIBRARY, calls, logical_lines, read_module, split_arguments

LOADER = "LoadPelzor"
# LoadPelzor refuses a pelzor.dll without the newest export the module declares (the
# constant NEWEST, in each branch the Alias of the last library Declare), before it counts
# the library as loaded.
OLDER_BUILD_CHECK, NEWEST, LOADED_FLAG = "RefuseOlderBuild", "NEWEST_EXPORT", "pelzorLoaded"
# Public parameters that take a value (a cell's, say): Variants, made text by NUMBER_TEXT.
VALUE_PARAMETERS = {"AppendXMLChild": ("childText",)}
# The file writer, which replaces an existing file with REPLACER (keeping its ACL,
# attributes and streams).
FILE_WRITER, REPLACER = "WriteXMLFile", "ReplaceFileW"
PATH_GUARD = "RefuseUnknownPath"
# The library's path functions that parse the document they are given.
PATH_READERS = ("selectText", "selectTexts", "selectCount", "selectDoubles", "selectTable")
NUMBER_TEXT = "ValueText"
# Public Variant parameters that never become text in the module: a table handed whole to the
# library (TABLE_HANDOVER), whose own conversion is the same in every locale, and column paths,
# Strings that PATH_LIST joins.
TABLE_HANDOVER, PATH_LIST = "TableDocument", "ColumnPathsText"
LOCALE_CONVERSIONS = r"\b(CStr|Format\$?|FormatNumber|FormatCurrency|FormatPercent|FormatDateTime)\s*\("

# Words of the spreadsheet's, VBA's and the scripting runtime's object models that macro
# code writes as members or objects, in their own casing.
OBJECT_MODEL_WORDS = """
    Add Address Application Areas Attributes Border Borders Buffer Caption Category Cells
    Character Characters Chart Charts Close Code Color Column Columns Comment Comments Content
    Copy Count Creator Data Default Delete Description Drive Encoding Error Field Fields File
    FileName Files Filter Find Folder Font Format Formula FullName Handle Height Hidden Index
    Item Items Key Keys Kind Label Left Length Line Lines List Location Mode Module Name Names
    Number Offset Open Order Parent Paste Path Pattern Picture Position Range Remove Replace
    Resize Result Row Rows Save Selection Series Shape Shapes Sheets Size Sort Source Start
    Status Style Table Template Text Title Top Type Value Value2 Values Version Visible Width
    Workbook Workbooks Worksheet Worksheets
""".split()

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


def check_loader(declares, procedures):
    library = {name for found in declares.values() for name, original in found if LIBRARY in original}
    if LOADER not in procedures:
        return ["no %s in the module" % LOADER]
    failures = []
    for code in procedures[LOADER].body:
        for call in re.finditer(r"\bLoadLibrary\w*", code):
            if not code[call.start():].startswith("LoadLibraryW(StrPtr("):
                failures.append("%s loads other than with LoadLibraryW(StrPtr(...)): %s" % (LOADER, code))

    def calls_of(code, names):
        return any(re.search(r"\b%s\b" % re.escape(n), code) for n in names)

    touching, grown = set(library), True
    while grown:  # procedures that reach a library call
        grown = False
        for procedure in procedures.values():
            if procedure.name not in touching and procedure.name != LOADER and \
                    any(calls_of(code, touching) for code in procedure.body):
                touching.add(procedure.name)
                grown = True
    for procedure in procedures.values():
        if not procedure.public or procedure.name not in touching:
            continue
        first_call = next(i for i, code in enumerate(procedure.body) if calls_of(code, touching - {procedure.name}))
        loads = [i for i, code in enumerate(procedure.body) if re.fullmatch(r"%s" % LOADER, code)]
        if not loads or loads[0] > first_call:
            failures.append("%s reaches the library before %s: %s"
                            % (procedure.name, LOADER, procedure.body[first_call]))
    return failures


def check_older_build_refused(raw, declares, procedures):
    failures = []
    for branch in ("x64", "x86"):
        aliases = [re.search(r'Alias "([^"]+)"', original).group(1)
                   for _, original in declares[branch] if LIBRARY in original]
        constants = [re.search(r'= "([^"]*)"', original).group(1)
                     for where, code, original in logical_lines(raw)
                     if where == branch and re.match(r"(Private |Public )?Const %s\b" % NEWEST, code)]
        if len(constants) != 1 or not aliases or constants[0] != aliases[-1]:
            failures.append("%s: %s is %s, not the Alias of the last library Declare (%s)"
                            % (branch, NEWEST, constants, aliases[-1] if aliases else None))
    check = procedures.get(OLDER_BUILD_CHECK)
    body_text = " ".join(check.body) if check else ""
    if not re.search(r"\bGetProcAddress\b", body_text) or not re.search(r"\b%s\b" % NEWEST, body_text):
        failures.append("no %s looking the module's %s up with GetProcAddress" % (OLDER_BUILD_CHECK, NEWEST))
    body = procedures[LOADER].body if LOADER in procedures else []
    for index, code in enumerate(body):
        if re.fullmatch(r"%s = True" % LOADED_FLAG, code) and \
                (index == 0 or not re.match(r"%s\b" % OLDER_BUILD_CHECK, body[index - 1])):
            failures.append("%s counts the library as loaded without %s right before: %s"
                            % (LOADER, OLDER_BUILD_CHECK, body[index - 1] if index else code))
    return failures


def check_value_parameters(procedures):
    failures = []
    for name, parameters in VALUE_PARAMETERS.items():
        declared = procedures[name].parameters if name in procedures else ""
        for parameter in parameters:
            if not re.search(r"\b%s As Variant\b" % parameter, declared):
                failures.append("%s: %s is not a Variant, so a cell's value would reach it through the "
                                "regional settings" % (name, parameter))
    return failures


def check_file_replacement(procedures):
    reached, pending = set(), [FILE_WRITER]
    while pending:
        name = pending.pop()
        if name in reached or name not in procedures:
            continue
        reached.add(name)
        pending += [other for other in procedures for code in procedures[name].body
                    if re.search(r"\b%s\b" % other, code)]
    if not any(re.search(r"\b%s\(" % REPLACER, code) for name in reached for code in procedures[name].body):
        return ["%s replaces an existing file without %s, losing its ACL, attributes and streams"
                % (FILE_WRITER, REPLACER)]
    return []


def check_array_arguments(declares, procedures):
    positions = {}  # library Declare: the index of its ByRef Double parameter
    for found in declares.values():
        for name, original in found:
            if LIBRARY in original:
                parameters = re.search(r"\((.*)\)", original.split("Alias", 1)[1]).group(1).split(",")
                for index, parameter in enumerate(parameters):
                    if re.match(r"\s*ByRef \w+ As Double", parameter):
                        positions[name] = index
    failures = []
    for procedure in procedures.values():
        for code in procedure.body:
            for name, index in positions.items():
                for _, arguments in calls(code, name):
                    element = re.fullmatch(r"\w+\s*(\(.*\))", arguments[index]) if index < len(arguments) else None
                    if not element or len(split_arguments(element.group(1), 0)[0]) != 1:
                        failures.append("%s: %s gets %r, not an element of a one-dimensional array"
                                        % (procedure.name, name, arguments[index] if element else arguments))
    return failures


def check_path_functions(declares, procedures):
    """Every path is refused before any document is parsed, and a document is parsed at most
    twice: each path argument of a path reader (all its text arguments but the document) is
    the bytes of a String that PATH_GUARD checked earlier in the procedure."""
    readers = {name for found in declares.values() for name, original in found
               if any('Alias "?%s@' % reader in original for reader in PATH_READERS)}
    failures = []
    for procedure in procedures.values():
        reads = [(i, arguments) for i, code in enumerate(procedure.body) for name in readers
                 for _, arguments in calls(code, name)]
        if not reads:
            continue
        encoded = {m.group(1): (i, m.group(2)) for i, code in enumerate(procedure.body)
                   for m in [re.match(r"(\w+) = Utf8Bytes\((\w+)\)$", code)] if m}
        for line, arguments in reads:
            for argument in arguments[1:]:
                bytes_of = re.fullmatch(r"VarPtr\((\w+)\(0\)\)", argument)
                if not bytes_of:
                    continue
                text = encoded.get(bytes_of.group(1), (None, None))[1]
                guarded = any(re.fullmatch(r"%s \(?%s\)?" % (PATH_GUARD, text), code)
                              for code in procedure.body[:line])
                if not guarded:
                    failures.append("%s parses the document before %s checks %s"
                                    % (procedure.name, PATH_GUARD, text or argument))
        if len(reads) > 2:
            failures.append("%s parses the document %d times" % (procedure.name, len(reads)))
    return failures


def check_no_boolean_argument(declares):
    return ["%s %s: a Boolean parameter; the library's bool takes a Byte of 0 or 1" % (branch, name)
            for branch, found in declares.items() for name, original in found
            if LIBRARY in original and re.search(r"\bAs Boolean\b", original.split(") As ")[0])]


def declared_names(raw):
    """Every name the module declares, as (name, line)."""
    names = []
    for _, code, _ in logical_lines(raw):
        header = re.match(r'(?:(?:Public|Private) )?(?:Declare PtrSafe )?(?:Function|Sub) (\w+)'
                          r'(?: Lib ""(?: Alias "")?)?\s*\((.*?)\)(?:\s*As \w+(?:\(\))?)?\s*$', code)
        declaration = re.match(r"(?:(?:Public|Private|Global|Dim|Static|Const) )+(?!Declare |Enum |Type )(.*)$",
                               code)
        if header:
            names.append((header.group(1), code))
            parts = header.group(2).split(",")
        elif declaration:
            parts = declaration.group(1).split(",")
        else:
            continue
        for part in parts:
            found = re.match(r"\s*(?:Optional )?(?:ByVal |ByRef )?(?:ParamArray )?(\w+)", part)
            if found and found.group(1):
                names.append((found.group(1), code))
    return names


def check_casing(raw):
    words = {word.lower(): word for word in OBJECT_MODEL_WORDS}
    failures = []
    for name, code in declared_names(raw):
        word = words.get(name.lower())
        if word and name != word:
            failures.append("declares %r, which recases the object model's %r in the user's "
                            "project: %s" % (name, word, code))
    return failures


def check_value_texts(raw, procedures):
    failures = ["converts through the regional settings: " + code
                for _, code, _ in logical_lines(raw) if re.search(LOCALE_CONVERSIONS, code)]
    if NUMBER_TEXT not in procedures or not any("Str$(" in code for code in procedures[NUMBER_TEXT].body):
        failures.append("no %s making the text of numbers with Str$" % NUMBER_TEXT)
    for procedure in procedures.values():
        if not procedure.public:
            continue
        variants = re.findall(r"(?:ParamArray )?(\w+)(?:\(\))? As Variant", procedure.parameters)
        for name in variants:
            for code in procedure.body:
                bare = re.sub(r"\b(%s|%s|%s|LBound|UBound)\(%s\b" % (NUMBER_TEXT, TABLE_HANDOVER, PATH_LIST, name),
                              "", code)
                if re.search(r"\b%s\b" % name, bare):
                    failures.append("%s: %s reaches document text without %s: %s"
                                    % (procedure.name, name, NUMBER_TEXT, code))
    return failures


def check_module_rules(path, zip_path=None):
    raw = open(path, "rb").read()
    declares, procedures = read_module(raw.decode("latin-1"))
    failures = check_line_ends(raw, "module")
    failures += check_no_boolean_argument(declares)
    failures += check_loader(declares, procedures)
    failures += check_older_build_refused(raw.decode("latin-1"), declares, procedures)
    failures += check_value_parameters(procedures)
    failures += check_file_replacement(procedures)
    failures += check_array_arguments(declares, procedures)
    failures += check_path_functions(declares, procedures)
    failures += check_casing(raw.decode("latin-1"))
    failures += check_value_texts(raw.decode("latin-1"), procedures)
    if zip_path:
        failures += check_zip_copy(raw, zip_path)
    return failures
