#!/usr/bin/env python3
"""Proves that the module check fails on broken modules: each row breaks the real module in
one way (a String in a Declare, a result freed twice or not on every path, text passed
without the UTF-8 conversion, an ANSI conversion, ...) and the check must reject the copy.

usage: check_catches_broken_modules.py MODULE.bas X86_TABLE X64_TABLE
"""
import os
import subprocess
import sys
import tempfile

MUTATIONS = {
 "x64 getStringValue result As String": ('(ByVal xmlText As LongPtr, ByVal elementName As LongPtr) As LongPtr\n#Else', '(ByVal xmlText As LongPtr, ByVal elementName As LongPtr) As String\n#Else'),
 "x86 childText As String": ('ByVal childText As LongPtr, ByVal unescapeTags As Boolean) As LongPtr\nPrivate Declare PtrSafe Function pelzorCreateBlankXML Lib "pelzor.dll" Alias "?createBlankXML@XML@@CGPA', 'ByVal childText As String, ByVal unescapeTags As Boolean) As LongPtr\nPrivate Declare PtrSafe Function pelzorCreateBlankXML Lib "pelzor.dll" Alias "?createBlankXML@XML@@CGPA'),
 "result not through LibraryText": ('GetStringValue = LibraryText(pelzorGetStringValue(VarPtr(xml(0)), VarPtr(name(0))))', 'GetStringValue = TextFromUtf8(pelzorGetStringValue(VarPtr(xml(0)), VarPtr(name(0))), 10, False)'),
 "second free": ('    CreateBlankXML = LibraryText(pelzorCreateBlankXML(VarPtr(root(0))))', '    Dim r As LongPtr\n    r = pelzorCreateBlankXML(VarPtr(root(0)))\n    CreateBlankXML = LibraryText(r)\n    SysFreeString r'),
 "free skipped on error": ('    On Error GoTo Release\n    text = TextFromUtf8(result', '    text = TextFromUtf8(result'),
 "free only on success": ('    text = TextFromUtf8(result, SysStringByteLen(result), False)\nRelease:', '    text = TextFromUtf8(result, SysStringByteLen(result), False)\n    SysFreeString result\n    LibraryText = text\n    Exit Function\nRelease:'),
 "free inside If": ('    SysFreeString result\n', '    If failure = 0 Then\n        SysFreeString result\n    End If\n'),
 "no null check": ('    If result = 0 Then Err.Raise 7, "Pelzor", "Out of memory"\n    On Error GoTo Release', '    On Error GoTo Release'),
 "StrPtr passed": ('GetIntegerValue = pelzorGetIntegerValue(VarPtr(xml(0)), VarPtr(name(0)))', 'GetIntegerValue = pelzorGetIntegerValue(StrPtr(xmlText), VarPtr(name(0)))'),
 "ANSI bytes": ('    xml = Utf8Bytes(xmlText)\n    name = Utf8Bytes(elementName)\n    GetDoubleValue', '    xml = StrConv(xmlText, vbFromUnicode)\n    name = Utf8Bytes(elementName)\n    GetDoubleValue'),
 "CP_ACP encoder": ('length = WideCharToMultiByte(CP_UTF8, 0, StrPtr(text), Len(text), 0, 0, 0, 0)', 'length = WideCharToMultiByte(0, 0, StrPtr(text), Len(text), 0, 0, 0, 0)'),
 "own decoder in public function": ('Public Function BuildDocument(', 'Public Function Echo(ByVal s As String) As String\n    Echo = s & "!"\nEnd Function\n\nPublic Function BuildDocument('),
 "second MultiByteToWideChar user": ('    units = bytes  ', '    MultiByteToWideChar CP_UTF8, 0, 0, 0, 0, 0\n    units = bytes  '),
 "kernel32 String declare": ('Private Declare PtrSafe Sub SysFreeString Lib "oleaut32" (ByVal text As LongPtr)', 'Private Declare PtrSafe Sub SysFreeString Lib "oleaut32" (ByVal text As LongPtr)\nPrivate Declare PtrSafe Function lstrlenA Lib "kernel32" (ByVal text As String) As Long'),
}


def main():
    module, x86_table, x64_table = sys.argv[1:4]
    source = open(module, encoding="latin-1").read()
    checker = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_vba_declares.py")
    command = [sys.executable, checker, module, "--tables", x86_table, x64_table]
    if subprocess.run(command, capture_output=True).returncode != 0:
        print("FAIL: the unchanged module does not pass the check")
        return 1
    missed = 0
    with tempfile.TemporaryDirectory() as folder:
        broken = os.path.join(folder, "Pelzor.bas")
        for name, (old, new) in MUTATIONS.items():
            if source.count(old) != 1:
                print("FAIL: %s: the module no longer holds the text this row changes" % name)
                missed += 1
                continue
            open(broken, "w", encoding="latin-1").write(source.replace(old, new))
            command[2] = broken
            run = subprocess.run(command, capture_output=True, text=True)
            caught = run.returncode != 0
            print("%-34s %s" % (name, "rejected" if caught else "PASSED THE CHECK"))
            missed += not caught
    print("%d of %d broken modules rejected" % (len(MUTATIONS) - missed, len(MUTATIONS)))
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
