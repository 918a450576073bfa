"""Checks how the VBA module carries text to the library and back.

In both branches of `#If Win64` no Declare of the library has a String parameter or result
(VBA would convert it through the ANSI code page). Text crosses in one way only:
- ENCODER turns a String into NUL-terminated UTF-8 bytes; it alone calls WideCharToMultiByte;
- DECODER turns UTF-8 bytes into a String; it alone calls MultiByteToWideChar, but for
  FILE_DECODER, which decodes a file in the code page the file's declaration names (its
  parameter FILE_CODE_PAGE, never a code page written in the call);
- OWNER takes a text result of the library: it raises error 7 on a null result, decodes it
  with DECODER and frees it with its one SysFreeString, which every path after the null
  check reaches exactly once (an error handler leads to it as well);
- every call of a text-returning library function is the direct argument of OWNER, and
  every text argument of a library call is VarPtr(bytes(0)) of bytes made by ENCODER in
  the same procedure;
- every public procedure with a String parameter or result reaches ENCODER or DECODER (but
  those of WIDE_ONLY, which hand a path to Windows' wide calls);
- nothing converts through the ANSI code page or any other than UTF-8, but a file's own
  in FILE_DECODER (no StrConv, no other code page in the conversion calls, no Declare at
  all with a String parameter or result).
"""
import re

ENCODER, DECODER, OWNER = "Utf8Bytes", "TextFromUtf8", "LibraryText"
# Decodes a file's bytes in the code page its XML declaration names, and only those.
FILE_DECODER, FILE_CODE_PAGE = "TextInCodePage", "codePage"
# Public procedures whose text goes only to Windows' wide (...W) calls, as a String's own
# UTF-16 (StrPtr), and never to the library.
WIDE_ONLY = {"UsePelzorFrom"}
LIBRARY = '"pelzor.dll"'


def logical_lines(raw):
    """The module's lines with continuations joined, as (branch, code, original): code has its
    string literals emptied and its comment removed, original is the whole line; branch is
    "x64", "x86" or None outside `#If Win64`."""
    joined = re.sub(r" _\r?\n\s*", " ", raw)
    lines, branch = [], None
    for line in joined.splitlines():
        code = re.sub(r'"[^"]*"', '""', line)
        code = code.split("'", 1)[0].strip()
        if code.startswith("#If Win64"):
            branch = "x64"
        elif code.startswith("#Else") and branch:
            branch = "x86"
        elif code.startswith("#End If"):
            branch = None
        elif code:
            lines.append((branch, code, line.strip()))
    return lines


def split_arguments(text, start):
    """The top-level arguments of the call whose "(" is at text[start], and the index after
    its ")"."""
    depth, arguments, current = 0, [], ""
    for index in range(start, len(text)):
        char = text[index]
        if char == "(":
            depth += 1
            if depth == 1:
                continue
        elif char == ")":
            depth -= 1
            if depth == 0:
                arguments.append(current.strip())
                return [a for a in arguments if a], index + 1
        elif char == "," and depth == 1:
            arguments.append(current.strip())
            current = ""
            continue
        current += char
    raise ValueError("unclosed call: " + text[start:])


def calls(code, name):
    """The argument lists of every call of name in one line of code."""
    found = []
    for match in re.finditer(r"\b%s\b" % re.escape(name), code):
        rest = code[match.end():]
        if rest.lstrip().startswith("("):
            found.append((match.start(), split_arguments(code, match.end() + rest.index("("))[0]))
        else:  # a Sub called without parentheses: arguments up to the end of the line
            found.append((match.start(), [a.strip() for a in rest.split(",") if a.strip()]))
    return found


class Procedure:
    def __init__(self, header, public):
        match = re.match(r"(?:Public |Private )?(Function|Sub) (\w+)\s*\(((?:[^()]|\(\))*)\)\s*(?:As (\w+))?",
                         header)
        self.kind, self.name, parameters, self.result = match.groups()
        self.parameters = parameters
        self.public = public
        self.body = []

    def handles_text(self):
        return self.result == "String" or re.search(r"\bAs String\b", self.parameters) is not None


def read_module(raw):
    """Declares by branch, as (name, line) with their original text, and procedures."""
    declares = {"x64": [], "x86": [], None: []}
    procedures, current = [], None
    for branch, code, original in logical_lines(raw):
        declare = re.match(r"(?:Private |Public )?Declare PtrSafe (?:Function|Sub) (\w+) ", code)
        if declare:
            declares[branch].append((declare.group(1), original))
            continue
        header = re.match(r"(Public |Private )?(Function|Sub) \w+", code)
        if header and current is None:
            current = Procedure(code, header.group(1) != "Private ")
            continue
        if current is not None:
            if re.match(r"End (Function|Sub)$", code):
                procedures.append(current)
                current = None
            else:
                current.body.append(code)
    return declares, {p.name: p for p in procedures}


def library_declares(declares, branch):
    """{name: (text parameter positions, returns text)} of the library's Declares."""
    result = {}
    for name, original in declares[branch]:
        if LIBRARY not in original:
            continue
        parameters = re.search(r"\((.*)\)", original.split("Alias", 1)[1]).group(1)
        kinds = [p.strip().split(" As ")[-1] for p in parameters.split(",")]
        result[name] = ([i for i, k in enumerate(kinds) if k == "LongPtr"],
                        re.search(r"\) As LongPtr\s*$", original) is not None)
    return result


def check_declares(declares):
    failures = []
    for branch in ("x64", "x86"):
        if not any(LIBRARY in original for _, original in declares[branch]):
            failures.append("%s: no Declare of the library" % branch)
    for branch, found in declares.items():
        for name, original in found:
            where = branch or "module"
            if re.search(r"\bAs String\b", original):
                failures.append("%s %s: a String parameter or result, which VBA converts through "
                                "the ANSI code page" % (where, name))
    return failures


def reaches(procedures, start, targets):
    seen, pending = set(), [start]
    while pending:
        name = pending.pop()
        if name in seen or name not in procedures:
            continue
        seen.add(name)
        for code in procedures[name].body:
            for other in procedures:
                if re.search(r"\b%s\b" % other, code):
                    if other in targets:
                        return True
                    pending.append(other)
    return False


def check_conversions(procedures, lines):
    failures = []
    for name in (ENCODER, DECODER, OWNER):
        if name not in procedures or procedures[name].public:
            failures.append("no private %s in the module" % name)
    for _, code, _ in lines:
        if re.search(r"\b(StrConv|vbFromUnicode|vbUnicode)\b", code):
            failures.append("ANSI conversion: " + code)
    sole = {"WideCharToMultiByte": ENCODER, "MultiByteToWideChar": DECODER, "SysFreeString": OWNER}
    for procedure in procedures.values():
        for code in procedure.body:
            for api, owner in sole.items():
                for _, arguments in calls(code, api):
                    if api == "MultiByteToWideChar" and procedure.name == FILE_DECODER:
                        if not arguments or arguments[0] != FILE_CODE_PAGE:
                            failures.append("%s: %s with a code page other than the file's"
                                            % (FILE_DECODER, api))
                        continue
                    if procedure.name != owner:
                        failures.append("%s calls %s; only %s may" % (procedure.name, api, owner))
                    elif api != "SysFreeString" and (not arguments or arguments[0] != "CP_UTF8"):
                        failures.append("%s: %s with a code page other than CP_UTF8" % (owner, api))
    for procedure in procedures.values():
        if procedure.public and procedure.handles_text() and procedure.name not in WIDE_ONLY and \
                not reaches(procedures, procedure.name, {ENCODER, DECODER}):
            failures.append("public %s handles text without %s or %s" % (procedure.name, ENCODER, DECODER))
    return failures


def check_owner(procedures):
    """OWNER: null check raising 7, then an error handler, its label, the handler switched
    off, and the one SysFreeString of the parameter at the top level of the procedure."""
    if OWNER not in procedures:
        return []
    owner = procedures[OWNER]
    parameter = re.match(r"ByVal (\w+) As LongPtr$", owner.parameters.strip())
    if not parameter:
        return ["%s must take the result ByVal As LongPtr" % OWNER]
    result, body, failures = parameter.group(1), owner.body, []
    frees = [i for i, code in enumerate(body) if re.search(r"\bSysFreeString\b", code)]
    handler = [i for i, code in enumerate(body) if re.match(r"On Error GoTo (?!0$)\w+$", code)]
    null_check = [i for i, code in enumerate(body)
                  if re.match(r"If %s = 0 Then Err\.Raise 7\b" % result, code)]
    if len(frees) != 1 or not re.fullmatch(r"SysFreeString \(?%s\)?" % result, body[frees[0]]):
        return failures + ["%s frees its result %d times; exactly once expected" % (OWNER, len(frees))]
    if len(handler) != 1 or not null_check:
        return failures + ["%s needs a null check raising error 7 and one error handler" % OWNER]
    free, start = frees[0], handler[0]
    label = body[start].split()[-1]
    labels = [i for i, code in enumerate(body) if code == label + ":"]
    if null_check[0] > start or any(not re.match(r"Dim ", code) for i, code in enumerate(body[:start])
                                    if i != null_check[0]):
        failures.append("%s does work before its error handler is set" % OWNER)
    if len(labels) != 1 or not start < labels[0] < free:
        failures.append("%s: its error handler does not lead to SysFreeString" % OWNER)
    elif "On Error GoTo 0" not in body[labels[0]:free]:
        failures.append("%s: the handler stays on while the result is freed" % OWNER)
    for code in body[start + 1:free]:
        if re.match(r"(Exit |End$|Resume\b|GoTo\b|Return\b)", code) or "Err.Raise" in code:
            failures.append("%s leaves before freeing its result: %s" % (OWNER, code))
    depth = 0
    for code in body[:free]:
        if re.match(r"(If .* Then$|For |Do\b|Select Case|With )", code):
            depth += 1
        elif re.match(r"(End If|Next\b|Loop\b|End Select|End With)", code):
            depth -= 1
    if depth != 0:
        failures.append("%s frees its result inside a conditional block" % OWNER)
    return failures


def check_library_calls(procedures, library):
    failures = []
    for procedure in procedures.values():
        encoded = {m.group(1) for code in procedure.body
                   for m in [re.match(r"(\w+) = %s\(" % ENCODER, code)] if m}
        for code in procedure.body:
            for name, (text_positions, returns_text) in library.items():
                for position, arguments in calls(code, name):
                    if returns_text and not re.search(r"\b%s\($" % OWNER, code[:position]):
                        failures.append("%s: the text result of %s does not go straight to %s"
                                        % (procedure.name, name, OWNER))
                    for index in text_positions:
                        argument = arguments[index] if index < len(arguments) else ""
                        bytes_of = re.fullmatch(r"VarPtr\((\w+)\(0\)\)", argument)
                        if not bytes_of or bytes_of.group(1) not in encoded:
                            failures.append("%s: argument %d of %s is %r, not the bytes of %s"
                                            % (procedure.name, index + 1, name, argument, ENCODER))
    return failures


def check_text_path(path):
    raw = open(path, encoding="latin-1").read()
    declares, procedures = read_module(raw)
    failures = check_declares(declares)
    failures += check_conversions(procedures, logical_lines(raw))
    failures += check_owner(procedures)
    for branch in ("x64", "x86"):
        failures += ["%s: %s" % (branch, f)
                     for f in check_library_calls(procedures, library_declares(declares, branch))]
    return failures
