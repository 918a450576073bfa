Attribute VB_Name = "Pelzor"
' Declarations and small wrappers for pelzor.dll, the XML helper library.
'
' Requires VBA7 (Office 2010 or later), 32-bit or 64-bit. Put pelzor.dll of the same
' bitness as the spreadsheet application next to the workbook, or give Lib a full path,
' or call ChDir to its folder before the first call.
'
' Every public function takes and returns ordinary Strings, correct for every character in
' every language whatever the system's ANSI code page; nothing to convert or free by hand.
' How values cross the boundary:
' - Text goes to the library as UTF-8: Utf8Bytes converts a String with
'   WideCharToMultiByte(CP_UTF8) into a byte array that ends in a NUL, and the library gets
'   the address of its first byte (its char* arguments are declared ByVal ... As LongPtr).
'   No ANSI conversion takes place anywhere, so no character is lost on the way.
' - Text results are BSTRs that hold UTF-8 bytes (declared As LongPtr). LibraryText decodes
'   their SysStringByteLen bytes with MultiByteToWideChar(CP_UTF8) straight from the
'   pointer and frees them with SysFreeString, exactly once, also when decoding fails. A
'   null result means the library ran out of memory: error 7 "Out of memory".
' - The library's bools are one byte, so they are declared As Byte: results are compared
'   with 0 (a Boolean result would also read a second, undefined byte), and the one bool
'   argument gets 0 or 1 (VBA's True is -1, a byte 0xFF that a C++ bool may not hold).
' - A Double array is handed over by passing its first element ByRef, with the number of
'   elements it holds (count) ByVal As Long.
' - ReadXMLFile and WriteXMLFile carry documents between files and Strings: UTF-8 or UTF-16
'   on disk, every character kept.
Option Explicit

#If Win64 Then
Private Declare PtrSafe Function pelzorAppendXMLChild Lib "pelzor.dll" Alias "?appendXMLChild@XML@@CAPEA_WPEAD000_N@Z" _
    (ByVal xmlText As LongPtr, ByVal childName As LongPtr, ByVal parentName As LongPtr, ByVal childText As LongPtr, ByVal unescapeTags As Byte) As LongPtr
Private Declare PtrSafe Function pelzorCreateBlankXML Lib "pelzor.dll" Alias "?createBlankXML@XML@@CAPEA_WPEAD@Z" _
    (ByVal rootName As LongPtr) As LongPtr
Private Declare PtrSafe Function pelzorGetDouble1DArray Lib "pelzor.dll" Alias "?getDouble1DArray@XML@@CA_NPEAD0PEANH@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr, ByRef values As Double, ByVal count As Long) As Byte
Private Declare PtrSafe Function pelzorGetDouble2DArray Lib "pelzor.dll" Alias "?getDouble2DArray@XML@@CA_NPEAD0PEANH@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr, ByRef values As Double, ByVal count As Long) As Byte
Private Declare PtrSafe Function pelzorGetDoubleArrayColumns Lib "pelzor.dll" Alias "?getDoubleArrayColumns@XML@@CAHPEAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr) As Long
Private Declare PtrSafe Function pelzorGetDoubleArrayRows Lib "pelzor.dll" Alias "?getDoubleArrayRows@XML@@CAHPEAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr) As Long
Private Declare PtrSafe Function pelzorGetDoubleValue Lib "pelzor.dll" Alias "?getDoubleValue@XML@@CANPEAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr) As Double
Private Declare PtrSafe Function pelzorGetIntegerValue Lib "pelzor.dll" Alias "?getIntegerValue@XML@@CAHPEAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr) As Long
Private Declare PtrSafe Function pelzorGetStringValue Lib "pelzor.dll" Alias "?getStringValue@XML@@CAPEA_WPEAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr) As LongPtr
#Else
Private Declare PtrSafe Function pelzorAppendXMLChild Lib "pelzor.dll" Alias "?appendXMLChild@XML@@CGPA_WPAD000_N@Z" _
    (ByVal xmlText As LongPtr, ByVal childName As LongPtr, ByVal parentName As LongPtr, ByVal childText As LongPtr, ByVal unescapeTags As Byte) As LongPtr
Private Declare PtrSafe Function pelzorCreateBlankXML Lib "pelzor.dll" Alias "?createBlankXML@XML@@CGPA_WPAD@Z" _
    (ByVal rootName As LongPtr) As LongPtr
Private Declare PtrSafe Function pelzorGetDouble1DArray Lib "pelzor.dll" Alias "?getDouble1DArray@XML@@CG_NPAD0PANH@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr, ByRef values As Double, ByVal count As Long) As Byte
Private Declare PtrSafe Function pelzorGetDouble2DArray Lib "pelzor.dll" Alias "?getDouble2DArray@XML@@CG_NPAD0PANH@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr, ByRef values As Double, ByVal count As Long) As Byte
Private Declare PtrSafe Function pelzorGetDoubleArrayColumns Lib "pelzor.dll" Alias "?getDoubleArrayColumns@XML@@CGHPAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr) As Long
Private Declare PtrSafe Function pelzorGetDoubleArrayRows Lib "pelzor.dll" Alias "?getDoubleArrayRows@XML@@CGHPAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr) As Long
Private Declare PtrSafe Function pelzorGetDoubleValue Lib "pelzor.dll" Alias "?getDoubleValue@XML@@CGNPAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr) As Double
Private Declare PtrSafe Function pelzorGetIntegerValue Lib "pelzor.dll" Alias "?getIntegerValue@XML@@CGHPAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr) As Long
Private Declare PtrSafe Function pelzorGetStringValue Lib "pelzor.dll" Alias "?getStringValue@XML@@CGPA_WPAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr) As LongPtr
#End If

Private Declare PtrSafe Function WideCharToMultiByte Lib "kernel32" (ByVal codePage As Long, ByVal flags As Long, _
    ByVal wideText As LongPtr, ByVal wideLength As Long, ByVal bytes As LongPtr, ByVal byteLength As Long, _
    ByVal defaultChar As LongPtr, ByVal usedDefault As LongPtr) As Long
Private Declare PtrSafe Function MultiByteToWideChar Lib "kernel32" (ByVal codePage As Long, ByVal flags As Long, _
    ByVal bytes As LongPtr, ByVal byteLength As Long, ByVal wideText As LongPtr, ByVal wideLength As Long) As Long
Private Declare PtrSafe Function SysStringByteLen Lib "oleaut32" (ByVal text As LongPtr) As Long
Private Declare PtrSafe Sub SysFreeString Lib "oleaut32" (ByVal text As LongPtr)

Private Declare PtrSafe Function CreateFileW Lib "kernel32" (ByVal fileName As LongPtr, ByVal desiredAccess As Long, _
    ByVal shareMode As Long, ByVal security As LongPtr, ByVal creation As Long, ByVal attributes As Long, _
    ByVal template As LongPtr) As LongPtr
Private Declare PtrSafe Function GetFileSize Lib "kernel32" (ByVal file As LongPtr, ByRef sizeHigh As Long) As Long
Private Declare PtrSafe Function ReadFile Lib "kernel32" (ByVal file As LongPtr, ByVal buffer As LongPtr, _
    ByVal toRead As Long, ByRef done As Long, ByVal overlapped As LongPtr) As Long
Private Declare PtrSafe Function WriteFile Lib "kernel32" (ByVal file As LongPtr, ByVal buffer As LongPtr, _
    ByVal toWrite As Long, ByRef done As Long, ByVal overlapped As LongPtr) As Long
Private Declare PtrSafe Function CloseHandle Lib "kernel32" (ByVal handle As LongPtr) As Long

Private Const CP_UTF8 As Long = 65001
Private Const MB_ERR_INVALID_CHARS As Long = 8
Private Const GENERIC_READ As Long = &H80000000
Private Const GENERIC_WRITE As Long = &H40000000
Private Const FILE_SHARE_READ As Long = 1
Private Const FILE_SHARE_WRITE As Long = 2
Private Const CREATE_ALWAYS As Long = 2
Private Const OPEN_EXISTING As Long = 3
Private Const FILE_ATTRIBUTE_NORMAL As Long = &H80
Private Const ERROR_FILE_NOT_FOUND As Long = 2
Private Const ERROR_PATH_NOT_FOUND As Long = 3

' ---- The nine functions, under their plain names -------------------------------------

' The text of the first element named elementName; "Element does not exist" when there is
' none, "" when it has no text.
Public Function GetStringValue(ByVal xmlText As String, ByVal elementName As String) As String
    Dim xml() As Byte, name() As Byte
    xml = Utf8Bytes(xmlText)
    name = Utf8Bytes(elementName)
    GetStringValue = LibraryText(pelzorGetStringValue(VarPtr(xml(0)), VarPtr(name(0))))
End Function

' The element's text read as a whole number (0 when missing or not a number).
Public Function GetIntegerValue(ByVal xmlText As String, ByVal elementName As String) As Long
    Dim xml() As Byte, name() As Byte
    xml = Utf8Bytes(xmlText)
    name = Utf8Bytes(elementName)
    GetIntegerValue = pelzorGetIntegerValue(VarPtr(xml(0)), VarPtr(name(0)))
End Function

' The element's text read as a number, always with "." as the decimal separator.
Public Function GetDoubleValue(ByVal xmlText As String, ByVal elementName As String) As Double
    Dim xml() As Byte, name() As Byte
    xml = Utf8Bytes(xmlText)
    name = Utf8Bytes(elementName)
    GetDoubleValue = pelzorGetDoubleValue(VarPtr(xml(0)), VarPtr(name(0)))
End Function

' "<?xml version='1.0' encoding='utf-8'?><rootName></rootName>"
Public Function CreateBlankXML(ByVal rootName As String) As String
    Dim root() As Byte
    root = Utf8Bytes(rootName)
    CreateBlankXML = LibraryText(pelzorCreateBlankXML(VarPtr(root(0))))
End Function

' The document with <childName>childText</childName> appended under the first element named
' parentName, printed anew; "Parent element does not exist" when there is none.
Public Function AppendXMLChild(ByVal xmlText As String, ByVal childName As String, ByVal parentName As String, _
                               ByVal childText As String, Optional ByVal unescapeTags As Boolean = False) As String
    Dim xml() As Byte, child() As Byte, parent() As Byte, text() As Byte, flag As Byte
    If unescapeTags Then flag = 1  ' the library tests one byte: 0 or 1, never True's 0xFF
    xml = Utf8Bytes(xmlText)
    child = Utf8Bytes(childName)
    parent = Utf8Bytes(parentName)
    text = Utf8Bytes(childText)
    AppendXMLChild = LibraryText(pelzorAppendXMLChild(VarPtr(xml(0)), VarPtr(child(0)), VarPtr(parent(0)), _
                                                      VarPtr(text(0)), flag))
End Function

' The number of child elements of elementName (rows of a matrix, values of a vector).
Public Function GetDoubleArrayRows(ByVal xmlText As String, ByVal elementName As String) As Long
    Dim xml() As Byte, name() As Byte
    xml = Utf8Bytes(xmlText)
    name = Utf8Bytes(elementName)
    GetDoubleArrayRows = pelzorGetDoubleArrayRows(VarPtr(xml(0)), VarPtr(name(0)))
End Function

' The number of cells in the first row of the matrix elementName.
Public Function GetDoubleArrayColumns(ByVal xmlText As String, ByVal elementName As String) As Long
    Dim xml() As Byte, name() As Byte
    xml = Utf8Bytes(xmlText)
    name = Utf8Bytes(elementName)
    GetDoubleArrayColumns = pelzorGetDoubleArrayColumns(VarPtr(xml(0)), VarPtr(name(0)))
End Function

' Fills values (any Double array) from the vector under elementName; the array's size is
' the count. Returns False only when the library ran out of memory (values are then 0).
Public Function GetDouble1DArray(ByVal xmlText As String, ByVal elementName As String, values() As Double) As Boolean
    Dim count As Long, xml() As Byte, name() As Byte
    count = UBound(values) - LBound(values) + 1
    If count <= 0 Then GetDouble1DArray = True: Exit Function
    xml = Utf8Bytes(xmlText)
    name = Utf8Bytes(elementName)
    GetDouble1DArray = pelzorGetDouble1DArray(VarPtr(xml(0)), VarPtr(name(0)), values(LBound(values)), count) <> 0
End Function

' Fills values (a one-dimensional Double array of rows * columns elements) with the cells of
' the matrix under elementName, row after row.
Public Function GetDouble2DArray(ByVal xmlText As String, ByVal elementName As String, values() As Double) As Boolean
    Dim count As Long, xml() As Byte, name() As Byte
    count = UBound(values) - LBound(values) + 1
    If count <= 0 Then GetDouble2DArray = True: Exit Function
    xml = Utf8Bytes(xmlText)
    name = Utf8Bytes(elementName)
    GetDouble2DArray = pelzorGetDouble2DArray(VarPtr(xml(0)), VarPtr(name(0)), values(LBound(values)), count) <> 0
End Function

' ---- Wrappers for natural calls --------------------------------------------------------

' The vector under elementName as a Double array indexed 0 To n - 1, or Empty when it holds
' no value (test with IsEmpty).
Public Function ReadVector(ByVal xmlText As String, ByVal elementName As String) As Variant
    Dim count As Long, xml() As Byte, name() As Byte
    Dim values() As Double
    xml = Utf8Bytes(xmlText)
    name = Utf8Bytes(elementName)
    count = pelzorGetDoubleArrayRows(VarPtr(xml(0)), VarPtr(name(0)))
    If count <= 0 Then
        ReadVector = Empty
        Exit Function
    End If
    ReDim values(0 To count - 1)
    If pelzorGetDouble1DArray(VarPtr(xml(0)), VarPtr(name(0)), values(0), count) = 0 Then
        Err.Raise 7, "Pelzor.ReadVector", "Out of memory"
    End If
    ReadVector = values
End Function

' The matrix under elementName as a Double array (1 To rows, 1 To columns), ready to be
' written to a range: Range("A1").Resize(rows, columns).Value = ReadMatrix(xml, "m").
' Empty when it has no cell. The width is that of the first row; the library packs the
' cells row after row, so rows of other widths shift the cells after them.
Public Function ReadMatrix(ByVal xmlText As String, ByVal elementName As String) As Variant
    Dim rows As Long, columns As Long, r As Long, c As Long, xml() As Byte, name() As Byte
    Dim packed() As Double, matrix() As Double
    xml = Utf8Bytes(xmlText)
    name = Utf8Bytes(elementName)
    rows = pelzorGetDoubleArrayRows(VarPtr(xml(0)), VarPtr(name(0)))
    columns = pelzorGetDoubleArrayColumns(VarPtr(xml(0)), VarPtr(name(0)))
    If rows <= 0 Or columns <= 0 Then
        ReadMatrix = Empty
        Exit Function
    End If
    ReDim packed(0 To rows * columns - 1)
    If pelzorGetDouble2DArray(VarPtr(xml(0)), VarPtr(name(0)), packed(0), rows * columns) = 0 Then
        Err.Raise 7, "Pelzor.ReadMatrix", "Out of memory"
    End If
    ReDim matrix(1 To rows, 1 To columns)
    For r = 1 To rows
        For c = 1 To columns
            matrix(r, c) = packed((r - 1) * columns + (c - 1))
        Next c
    Next r
    ReadMatrix = matrix
End Function

' A new document with root rootName holding one element per name and value pair, in order:
' BuildDocument("settings", "name", "Alice", "rate", "0.5").
Public Function BuildDocument(ByVal rootName As String, ParamArray namesAndValues() As Variant) As String
    Dim xml As String, i As Long
    If (UBound(namesAndValues) - LBound(namesAndValues) + 1) Mod 2 <> 0 Then
        Err.Raise 5, "Pelzor.BuildDocument", "Names and values must come in pairs"
    End If
    xml = CreateBlankXML(rootName)
    For i = LBound(namesAndValues) To UBound(namesAndValues) Step 2
        xml = AppendXMLChild(xml, CStr(namesAndValues(i)), rootName, CStr(namesAndValues(i + 1)), False)
    Next i
    BuildDocument = xml
End Function

' ---- Documents in files ---------------------------------------------------------------

' The text of the file at path (any path, in any language): UTF-8 with or without a
' byte-order mark, or UTF-16 little- or big-endian with its mark. Raises error 53 "File not
' found" or 76 "Path not found" with the path, 75 when the file cannot be read, and 5 when
' its bytes are not text in one of those encodings.
Public Function ReadXMLFile(ByVal path As String) As String
    Dim file As LongPtr, bytes() As Byte, size As Long, sizeHigh As Long, done As Long
    Dim text As String, failure As Long, description As String
    file = OpenFile(path, False)
    On Error GoTo Release
    size = GetFileSize(file, sizeHigh)
    If sizeHigh <> 0 Or size < 0 Then Err.Raise 7, , "File too large to read into a String"
    If size > 0 Then
        ReDim bytes(0 To size - 1)
        If ReadFile(file, VarPtr(bytes(0)), size, done, 0) = 0 Then
            Err.Raise 75, , "Cannot read the file (Windows error " & Err.LastDllError & ")"
        End If
        If done <> size Then Err.Raise 75, , "The file was cut short while it was read"
        text = TextOfFileBytes(bytes)
    End If
Release:
    failure = Err.Number
    description = Err.Description
    On Error GoTo 0
    CloseHandle file
    If failure <> 0 Then Err.Raise failure, "Pelzor.ReadXMLFile", description & ": " & path
    ReadXMLFile = text
End Function

' Writes text to the file at path as UTF-8 without a byte-order mark, replacing the file if
' there is one. Raises error 76 "Path not found" when the folder does not exist and 75 when
' the file cannot be written.
Public Sub WriteXMLFile(ByVal path As String, ByVal text As String)
    Dim bytes() As Byte, file As LongPtr, size As Long, done As Long
    Dim failure As Long, description As String
    bytes = Utf8Bytes(text)
    size = UBound(bytes)  ' the bytes of the text, without the closing NUL
    file = OpenFile(path, True)
    On Error GoTo Release
    If size > 0 Then
        If WriteFile(file, VarPtr(bytes(0)), size, done, 0) = 0 Then
            Err.Raise 75, , "Cannot write the file (Windows error " & Err.LastDllError & ")"
        End If
        If done <> size Then Err.Raise 75, , "The disk took only part of the text"
    End If
Release:
    failure = Err.Number
    description = Err.Description
    On Error GoTo 0
    If CloseHandle(file) = 0 And failure = 0 Then
        failure = 75
        description = "Cannot finish writing the file (Windows error " & Err.LastDllError & ")"
    End If
    If failure <> 0 Then Err.Raise failure, "Pelzor.WriteXMLFile", description & ": " & path
End Sub

' A handle of the file at path, opened for reading, or created anew for writing.
Private Function OpenFile(ByVal path As String, ByVal forWriting As Boolean) As LongPtr
    Dim file As LongPtr, failure As Long
    If Len(path) = 0 Then Err.Raise 52, "Pelzor", "Bad file name: the path is empty"
    If forWriting Then
        file = CreateFileW(StrPtr(path), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0)
    Else
        file = CreateFileW(StrPtr(path), GENERIC_READ, FILE_SHARE_READ Or FILE_SHARE_WRITE, 0, OPEN_EXISTING, _
                           FILE_ATTRIBUTE_NORMAL, 0)
    End If
    If file = -1 Then  ' INVALID_HANDLE_VALUE
        failure = Err.LastDllError
        If failure = ERROR_FILE_NOT_FOUND Then Err.Raise 53, "Pelzor", "File not found: " & path
        If failure = ERROR_PATH_NOT_FOUND Then Err.Raise 76, "Pelzor", "Path not found: " & path
        Err.Raise 75, "Pelzor", "Cannot open " & path & " (Windows error " & failure & ")"
    End If
    OpenFile = file
End Function

' The text of a file's bytes, by its byte-order mark: UTF-16 little- or big-endian (FF FE,
' FE FF), UTF-8 (EF BB BF) or, with no mark, UTF-8.
Private Function TextOfFileBytes(ByRef bytes() As Byte) As String
    Dim size As Long, start As Long, i As Long, swap As Byte, units As String
    size = UBound(bytes) + 1
    If size >= 2 Then
        If (bytes(0) = &HFF And bytes(1) = &HFE) Or (bytes(0) = &HFE And bytes(1) = &HFF) Then
            If size Mod 2 <> 0 Then Err.Raise 5, , "Text is not UTF-16: its length is odd"
            If bytes(0) = &HFE Then
                For i = 0 To size - 2 Step 2
                    swap = bytes(i): bytes(i) = bytes(i + 1): bytes(i + 1) = swap
                Next i
            End If
            units = bytes  ' the bytes taken as UTF-16 code units, unconverted
            TextOfFileBytes = Mid$(units, 2)
            Exit Function
        End If
    End If
    If size >= 3 Then
        If bytes(0) = &HEF And bytes(1) = &HBB And bytes(2) = &HBF Then start = 3
    End If
    If size > start Then TextOfFileBytes = TextFromUtf8(VarPtr(bytes(start)), size - start, True)
End Function

' ---- The one way text crosses: String to UTF-8 bytes and back ---------------------------

' The UTF-8 bytes of text followed by one NUL, for the library's char* arguments: pass
' VarPtr(bytes(0)). An empty text gives the NUL alone. A NUL inside the text would end it
' early for the library, so it is refused rather than cut short silently.
Private Function Utf8Bytes(ByRef text As String) As Byte()
    Dim bytes() As Byte, length As Long
    If InStr(text, vbNullChar) > 0 Then Err.Raise 5, "Pelzor", "Text holds a NUL character"
    If Len(text) > 0 Then
        length = WideCharToMultiByte(CP_UTF8, 0, StrPtr(text), Len(text), 0, 0, 0, 0)
        If length = 0 Then Err.Raise 5, "Pelzor", "Text cannot be converted to UTF-8"
    End If
    ReDim bytes(0 To length)
    If length > 0 Then
        WideCharToMultiByte CP_UTF8, 0, StrPtr(text), Len(text), VarPtr(bytes(0)), length, 0, 0
    End If
    Utf8Bytes = bytes
End Function

' The String of the byteLength UTF-8 bytes at address bytes. Bytes that are not UTF-8
' become U+FFFD, or with strict raise error 5.
Private Function TextFromUtf8(ByVal bytes As LongPtr, ByVal byteLength As Long, ByVal strict As Boolean) As String
    Dim text As String, length As Long, flags As Long
    If byteLength = 0 Then Exit Function
    If strict Then flags = MB_ERR_INVALID_CHARS
    length = MultiByteToWideChar(CP_UTF8, flags, bytes, byteLength, 0, 0)
    If length = 0 Then Err.Raise 5, "Pelzor", "Text is not UTF-8"
    text = String$(length, vbNullChar)
    MultiByteToWideChar CP_UTF8, flags, bytes, byteLength, StrPtr(text), length
    TextFromUtf8 = text
End Function

' The text of a result string of the library (a BSTR of UTF-8 bytes), which is then freed:
' exactly once, on the way out, whether decoding succeeds or fails. A null result is the
' library's sign that it ran out of memory.
Private Function LibraryText(ByVal result As LongPtr) As String
    Dim text As String, failure As Long, description As String
    If result = 0 Then Err.Raise 7, "Pelzor", "Out of memory"
    On Error GoTo Release
    text = TextFromUtf8(result, SysStringByteLen(result), False)
Release:
    failure = Err.Number
    description = Err.Description
    On Error GoTo 0
    SysFreeString result
    If failure <> 0 Then Err.Raise failure, "Pelzor", description
    LibraryText = text
End Function
