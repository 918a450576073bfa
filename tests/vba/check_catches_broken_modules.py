#!/usr/bin/env python3
"""Proves that the module check fails on broken modules: each row breaks the real module in
one way (a String in a Declare, a result freed twice or not on every path, text passed
without the UTF-8 conversion, an ANSI conversion, ...) and the check must reject the copy
for that reason: (text replaced, its replacement, part of the failure expected). The module
has CRLF line ends; rows are written with "\n", which stands for CRLF, and "<LF>" for a
bare line feed. Zip rows pack a copy of the module changed one way into a release zip.

usage: check_catches_broken_modules.py MODULE.bas X86_TABLE X64_TABLE
"""
import os
import subprocess
import sys
import tempfile
import zipfile

MUTATIONS = {
    'x64 getStringValue result As String': (
        '"?getStringValue@XML@@CAPEA_WPEAD0@Z" _\n    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr) As LongPtr',
        '"?getStringValue@XML@@CAPEA_WPEAD0@Z" _\n    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr) As String',
        'x64 pelzorGetStringValue: a String'),
    'x86 childText As String': (
        'ByVal childText As LongPtr, ByVal unescapeTags As Byte) As LongPtr\nPrivate Declare PtrSafe Function pelzorCreateBlankXML Lib "pelzor.dll" Alias "?createBlankXML@XML@@CGPA',
        'ByVal childText As String, ByVal unescapeTags As Byte) As LongPtr\nPrivate Declare PtrSafe Function pelzorCreateBlankXML Lib "pelzor.dll" Alias "?createBlankXML@XML@@CGPA',
        'x86 pelzorAppendXMLChild: a String'),
    'result not through LibraryText': (
        'GetStringValue = LibraryText(pelzorGetStringValue(VarPtr(xml(0)), VarPtr(element(0))))',
        'GetStringValue = TextFromUtf8(pelzorGetStringValue(VarPtr(xml(0)), VarPtr(element(0))), 10, False)',
        'does not go straight to LibraryText'),
    'second free': (
        '    CreateBlankXML = LibraryText(pelzorCreateBlankXML(VarPtr(root(0))))',
        '    Dim r As LongPtr\n    r = pelzorCreateBlankXML(VarPtr(root(0)))\n    CreateBlankXML = LibraryText(r)\n    SysFreeString r',
        'CreateBlankXML calls SysFreeString'),
    'free skipped on error': (
        '    On Error GoTo Release\n    decoded = TextFromUtf8(returned',
        '    decoded = TextFromUtf8(returned',
        'one error handler'),
    'free only on success': (
        '    decoded = TextFromUtf8(returned, SysStringByteLen(returned), False)\nRelease:',
        '    decoded = TextFromUtf8(returned, SysStringByteLen(returned), False)\n    SysFreeString returned\n    LibraryText = decoded\n    Exit Function\nRelease:',
        'frees its result 2 times'),
    'free inside If': (
        '    SysFreeString returned\n',
        '    If failure = 0 Then\n        SysFreeString returned\n    End If\n',
        'inside a conditional block'),
    'no null check': (
        '    If returned = 0 Then Err.Raise 7, "Pelzor", "Out of memory"\n    On Error GoTo Release',
        '    On Error GoTo Release',
        'null check raising error 7'),
    'StrPtr passed': (
        'GetIntegerValue = pelzorGetIntegerValue(VarPtr(xml(0)), VarPtr(element(0)))',
        'GetIntegerValue = pelzorGetIntegerValue(StrPtr(xmlText), VarPtr(element(0)))',
        "'StrPtr(xmlText)', not the bytes of Utf8Bytes"),
    'ANSI bytes': (
        '    xml = Utf8Bytes(xmlText)\n    element = Utf8Bytes(elementName)\n    GetDoubleValue',
        '    xml = StrConv(xmlText, vbFromUnicode)\n    element = Utf8Bytes(elementName)\n    GetDoubleValue',
        'ANSI conversion'),
    'CP_ACP encoder': (
        'byteCount = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, StrPtr(unicodeText), Len(unicodeText), 0, 0, 0, 0)',
        'byteCount = WideCharToMultiByte(0, WC_ERR_INVALID_CHARS, StrPtr(unicodeText), Len(unicodeText), 0, 0, 0, 0)',
        'code page other than CP_UTF8'),
    'own decoder in public function': (
        'Public Function BuildDocument(',
        'Public Function Echo(ByVal s As String) As String\n    Echo = s & "!"\nEnd Function\n\nPublic Function BuildDocument(',
        'public Echo handles text without'),
    'second MultiByteToWideChar user': (
        '    units = bytes  ',
        '    MultiByteToWideChar CP_UTF8, 0, 0, 0, 0, 0\n    units = bytes  ',
        'TextOfUtf16 calls MultiByteToWideChar'),
    'kernel32 String declare': (
        'Private Declare PtrSafe Sub SysFreeString Lib "oleaut32" (ByVal bstr As LongPtr)',
        'Private Declare PtrSafe Sub SysFreeString Lib "oleaut32" (ByVal bstr As LongPtr)\nPrivate Declare PtrSafe Function lstrlenA Lib "kernel32" (ByVal text As String) As Long',
        'module lstrlenA: a String'),
    'a line ending in LF alone': (
        'Option Explicit\n',
        'Option Explicit<LF>',
        'line(s) end without CRLF'),
    'header not the first line': (
        'Attribute VB_Name = "Pelzor"\n',
        '\nAttribute VB_Name = "Pelzor"\n',
        'the first line is not'),
    'Boolean flag in a Declare': (
        'ByVal unescapeTags As Byte) As LongPtr\nPrivate Declare PtrSafe Function pelzorCreateBlankXML Lib "pelzor.dll" Alias "?createBlankXML@XML@@CA',
        'ByVal unescapeTags As Boolean) As LongPtr\nPrivate Declare PtrSafe Function pelzorCreateBlankXML Lib "pelzor.dll" Alias "?createBlankXML@XML@@CA',
        'x64 pelzorAppendXMLChild: a Boolean parameter'),
    'local recasing the user\'s .Rows': (
        'Dim rowCount As Long, columnCount As Long',
        'Dim rows As Long, columnCount As Long',
        "declares 'rows', which recases the object model's 'Rows'"),
    'value through CStr': (
        'rootName, ValueText(namesAndValues(i + 1)), False)',
        'rootName, CStr(namesAndValues(i + 1)), False)',
        'converts through the regional settings'),
    'value converted on the way in': (
        'rootName, ValueText(namesAndValues(i + 1)), False)',
        'rootName, namesAndValues(i + 1), False)',
        'namesAndValues reaches document text without ValueText'),
    'a function that does not load': (
        '    LoadPelzor\n    xml = Utf8Bytes(xmlText)\n    element = Utf8Bytes(elementName)\n    GetIntegerValue',
        '    xml = Utf8Bytes(xmlText)\n    element = Utf8Bytes(elementName)\n    GetIntegerValue',
        'GetIntegerValue reaches the library before LoadPelzor'),
    'loaded by name alone': (
        'loaded = LoadLibraryW(StrPtr(fullPath))',
        'loaded = LoadLibraryA(fullPath)',
        'loads other than with LoadLibraryW(StrPtr(...))'),
    'file decoded through the ANSI code page': (
        'unitCount = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, byteLength, 0, 0)',
        'unitCount = MultiByteToWideChar(0, MB_ERR_INVALID_CHARS, bytes, byteLength, 0, 0)',
        'TextInCodePage: MultiByteToWideChar with a code page other than the file'),
    'a 2-D array handed to the library': (
        'VarPtr(element(0)), packed(0), valueCount) <> 0',
        'VarPtr(element(0)), Values(LBound(Values, 1), LBound(Values, 2)), valueCount) <> 0',
        'not an element of a one-dimensional array'),
    'a path read before it is checked': (
        '    RefuseUnknownPath Path\n    xml = Utf8Bytes(xmlText)\n    pathBytes = Utf8Bytes(Path)\n    CountNodes',
        '    xml = Utf8Bytes(xmlText)\n    pathBytes = Utf8Bytes(Path)\n    CountNodes',
        'CountNodes parses the document before RefuseUnknownPath'),
    'a document parsed three times': (
        '    nodeCount = pelzorSelectCount(VarPtr(xml(0)), VarPtr(pathBytes(0)))\n',
        '    nodeCount = pelzorSelectCount(VarPtr(xml(0)), VarPtr(pathBytes(0)))\n'
        '    nodeCount = pelzorSelectCount(VarPtr(xml(0)), VarPtr(pathBytes(0)))\n',
        'ReadNumbers parses the document 3 times'),
    'childText not a Variant': (
        'ByVal childText As Variant, Optional ByVal unescapeTags',
        'ByVal childText As String, Optional ByVal unescapeTags',
        'AppendXMLChild: childText is not a Variant'),
    'old file replaced by a rename': (
        '        If ReplaceFileW(StrPtr(targetPath), StrPtr(newPath), StrPtr(backupPath), _\n',
        '        If MoveFileExW(StrPtr(newPath), StrPtr(targetPath), MOVEFILE_REPLACE_EXISTING) <> 0 Or _\n',
        'WriteXMLFile replaces an existing file without ReplaceFileW'),
    'loaded DLL not checked for its age': (
        '        RefuseOlderBuild loaded, False\n',
        '',
        'LoadPelzor counts the library as loaded without RefuseOlderBuild'),
    'newest export not the last one': (
        'Private Const NEWEST_EXPORT As String = "?buildTable@XML@@CGPA_WPAD0PAUtagVARIANT@@@Z"',
        'Private Const NEWEST_EXPORT As String = "?selectDoubles@XML@@CGHPAD0PANH@Z"',
        'x86: NEWEST_EXPORT is'),
    'a table passed by value': (
        'ByRef tableCells As Variant) As LongPtr\n\' The newest function',
        'ByVal tableCells As Variant) As LongPtr\n\' The newest function',
        'x64 buildTable: arguments'),
    'records read before their path is checked': (
        '    LoadPelzor\n    RefuseUnknownPath recordPath\n',
        '    LoadPelzor\n',
        'ReadTable parses the document before RefuseUnknownPath'),
    'a table made text in the module': (
        'built = TableDocument(Table, rootName, recordName)',
        'built = TableDocument(Table, rootName, recordName & Table)',
        'Table reaches document text without ValueText'),
}

ZIP_ROWS = {
    'zip copy with LF ends': (lambda raw: raw.replace(b"\r\n", b"\n"), "zip's vba/Pelzor.bas: "),
    'zip copy of other bytes': (lambda raw: raw + b"' changed\r\n", "differs from the repository's"),
}


def crlf(text):
    return text.replace("\n", "\r\n").replace("<LF>", "\n")


def main():
    module, x86_table, x64_table = sys.argv[1:4]
    source = open(module, encoding="latin-1", newline="").read()
    checker = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_vba_declares.py")
    command = [sys.executable, checker, module, "--tables", x86_table, x64_table]
    if subprocess.run(command, capture_output=True).returncode != 0:
        print("FAIL: the unchanged module does not pass the check")
        return 1
    missed = 0
    with tempfile.TemporaryDirectory() as folder:
        broken = os.path.join(folder, "Pelzor.bas")
        for name, (old, new, reason) in MUTATIONS.items():
            old, new = crlf(old), crlf(new)
            if source.count(old) != 1:
                print("FAIL: %s: the module no longer holds the text this row changes" % name)
                missed += 1
                continue
            open(broken, "w", encoding="latin-1", newline="").write(source.replace(old, new))
            command[2] = broken
            run = subprocess.run(command, capture_output=True, text=True)
            caught = run.returncode != 0 and reason in run.stdout
            print("%-34s %s" % (name, "rejected" if caught else "NOT REJECTED FOR ITS FAULT"))
            missed += not caught
        command[2] = module
        package = os.path.join(folder, "release.zip")
        for name, (change, reason) in ZIP_ROWS.items():
            with zipfile.ZipFile(package, "w") as out:
                out.writestr("vba/Pelzor.bas", change(open(module, "rb").read()))
            run = subprocess.run(command + ["--zip", package], capture_output=True, text=True)
            caught = run.returncode != 0 and reason in run.stdout
            print("%-34s %s" % (name, "rejected" if caught else "NOT REJECTED FOR ITS FAULT"))
            missed += not caught
    rows = len(MUTATIONS) + len(ZIP_ROWS)
    print("%d of %d broken modules rejected" % (rows - missed, rows))
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
