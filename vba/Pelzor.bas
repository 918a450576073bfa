Attribute VB_Name = "Pelzor"
' Declarations and small wrappers for pelzor.dll, the XML helper library.
'
' Requires VBA7 (Office 2010 or later), 32-bit or 64-bit. Put pelzor.dll of the same
' bitness as the spreadsheet application next to the workbook, or give Lib a full path,
' or call ChDir to its folder before the first call.
'
' How values cross the boundary:
' - Texts (ByVal ... As String) are handed over as 8-bit text: VBA converts them to the
'   system's ANSI code page. The library reads them as UTF-8, so ASCII text works as it
'   is. For text with other characters, pass it through Utf8Text first and the results
'   through FromUtf8Text (see below).
' - Text results come back as 8-bit strings: VBA converts their bytes from the ANSI code
'   page to a String and frees the library's copy. Nothing to free by hand.
' - The library's bool results are one byte, so they are declared As Byte: compare them
'   with 0 (a Boolean result would also read a second, undefined byte).
' - A Double array is handed over by passing its first element ByRef, with the number of
'   elements it holds (count) ByVal As Long.
Option Explicit

#If Win64 Then
Private Declare PtrSafe Function pelzorAppendXMLChild Lib "pelzor.dll" Alias "?appendXMLChild@XML@@CAPEA_WPEAD000_N@Z" _
    (ByVal xmlText As String, ByVal childName As String, ByVal parentName As String, ByVal childText As String, ByVal unescapeTags As Boolean) As String
Private Declare PtrSafe Function pelzorCreateBlankXML Lib "pelzor.dll" Alias "?createBlankXML@XML@@CAPEA_WPEAD@Z" _
    (ByVal rootName As String) As String
Private Declare PtrSafe Function pelzorGetDouble1DArray Lib "pelzor.dll" Alias "?getDouble1DArray@XML@@CA_NPEAD0PEANH@Z" _
    (ByVal xmlText As String, ByVal elementName As String, ByRef values As Double, ByVal count As Long) As Byte
Private Declare PtrSafe Function pelzorGetDouble2DArray Lib "pelzor.dll" Alias "?getDouble2DArray@XML@@CA_NPEAD0PEANH@Z" _
    (ByVal xmlText As String, ByVal elementName As String, ByRef values As Double, ByVal count As Long) As Byte
Private Declare PtrSafe Function pelzorGetDoubleArrayColumns Lib "pelzor.dll" Alias "?getDoubleArrayColumns@XML@@CAHPEAD0@Z" _
    (ByVal xmlText As String, ByVal elementName As String) As Long
Private Declare PtrSafe Function pelzorGetDoubleArrayRows Lib "pelzor.dll" Alias "?getDoubleArrayRows@XML@@CAHPEAD0@Z" _
    (ByVal xmlText As String, ByVal elementName As String) As Long
Private Declare PtrSafe Function pelzorGetDoubleValue Lib "pelzor.dll" Alias "?getDoubleValue@XML@@CANPEAD0@Z" _
    (ByVal xmlText As String, ByVal elementName As String) As Double
Private Declare PtrSafe Function pelzorGetIntegerValue Lib "pelzor.dll" Alias "?getIntegerValue@XML@@CAHPEAD0@Z" _
    (ByVal xmlText As String, ByVal elementName As String) As Long
Private Declare PtrSafe Function pelzorGetStringValue Lib "pelzor.dll" Alias "?getStringValue@XML@@CAPEA_WPEAD0@Z" _
    (ByVal xmlText As String, ByVal elementName As String) As String
#Else
Private Declare PtrSafe Function pelzorAppendXMLChild Lib "pelzor.dll" Alias "?appendXMLChild@XML@@CGPA_WPAD000_N@Z" _
    (ByVal xmlText As String, ByVal childName As String, ByVal parentName As String, ByVal childText As String, ByVal unescapeTags As Boolean) As String
Private Declare PtrSafe Function pelzorCreateBlankXML Lib "pelzor.dll" Alias "?createBlankXML@XML@@CGPA_WPAD@Z" _
    (ByVal rootName As String) As String
Private Declare PtrSafe Function pelzorGetDouble1DArray Lib "pelzor.dll" Alias "?getDouble1DArray@XML@@CG_NPAD0PANH@Z" _
    (ByVal xmlText As String, ByVal elementName As String, ByRef values As Double, ByVal count As Long) As Byte
Private Declare PtrSafe Function pelzorGetDouble2DArray Lib "pelzor.dll" Alias "?getDouble2DArray@XML@@CG_NPAD0PANH@Z" _
    (ByVal xmlText As String, ByVal elementName As String, ByRef values As Double, ByVal count As Long) As Byte
Private Declare PtrSafe Function pelzorGetDoubleArrayColumns Lib "pelzor.dll" Alias "?getDoubleArrayColumns@XML@@CGHPAD0@Z" _
    (ByVal xmlText As String, ByVal elementName As String) As Long
Private Declare PtrSafe Function pelzorGetDoubleArrayRows Lib "pelzor.dll" Alias "?getDoubleArrayRows@XML@@CGHPAD0@Z" _
    (ByVal xmlText As String, ByVal elementName As String) As Long
Private Declare PtrSafe Function pelzorGetDoubleValue Lib "pelzor.dll" Alias "?getDoubleValue@XML@@CGNPAD0@Z" _
    (ByVal xmlText As String, ByVal elementName As String) As Double
Private Declare PtrSafe Function pelzorGetIntegerValue Lib "pelzor.dll" Alias "?getIntegerValue@XML@@CGHPAD0@Z" _
    (ByVal xmlText As String, ByVal elementName As String) As Long
Private Declare PtrSafe Function pelzorGetStringValue Lib "pelzor.dll" Alias "?getStringValue@XML@@CGPA_WPAD0@Z" _
    (ByVal xmlText As String, ByVal elementName As String) As String
#End If

Private Declare PtrSafe Function WideCharToMultiByte Lib "kernel32" (ByVal codePage As Long, ByVal flags As Long, _
    ByVal wideText As LongPtr, ByVal wideLength As Long, ByVal bytes As LongPtr, ByVal byteLength As Long, _
    ByVal defaultChar As LongPtr, ByVal usedDefault As LongPtr) As Long
Private Declare PtrSafe Function MultiByteToWideChar Lib "kernel32" (ByVal codePage As Long, ByVal flags As Long, _
    ByVal bytes As LongPtr, ByVal byteLength As Long, ByVal wideText As LongPtr, ByVal wideLength As Long) As Long

Private Const CP_UTF8 As Long = 65001

' ---- The nine functions, under their plain names -------------------------------------

' The text of the first element named elementName; "Element does not exist" when there is
' none, "" when it has no text.
Public Function GetStringValue(ByVal xmlText As String, ByVal elementName As String) As String
    GetStringValue = pelzorGetStringValue(xmlText, elementName)
End Function

' The element's text read as a whole number (0 when missing or not a number).
Public Function GetIntegerValue(ByVal xmlText As String, ByVal elementName As String) As Long
    GetIntegerValue = pelzorGetIntegerValue(xmlText, elementName)
End Function

' The element's text read as a number, always with "." as the decimal separator.
Public Function GetDoubleValue(ByVal xmlText As String, ByVal elementName As String) As Double
    GetDoubleValue = pelzorGetDoubleValue(xmlText, elementName)
End Function

' "<?xml version='1.0' encoding='utf-8'?><rootName></rootName>"
Public Function CreateBlankXML(ByVal rootName As String) As String
    CreateBlankXML = pelzorCreateBlankXML(rootName)
End Function

' The document with <childName>childText</childName> appended under the first element named
' parentName, printed anew; "Parent element does not exist" when there is none.
Public Function AppendXMLChild(ByVal xmlText As String, ByVal childName As String, ByVal parentName As String, _
                               ByVal childText As String, Optional ByVal unescapeTags As Boolean = False) As String
    AppendXMLChild = pelzorAppendXMLChild(xmlText, childName, parentName, childText, unescapeTags)
End Function

' The number of child elements of elementName (rows of a matrix, values of a vector).
Public Function GetDoubleArrayRows(ByVal xmlText As String, ByVal elementName As String) As Long
    GetDoubleArrayRows = pelzorGetDoubleArrayRows(xmlText, elementName)
End Function

' The number of cells in the first row of the matrix elementName.
Public Function GetDoubleArrayColumns(ByVal xmlText As String, ByVal elementName As String) As Long
    GetDoubleArrayColumns = pelzorGetDoubleArrayColumns(xmlText, elementName)
End Function

' Fills values (any Double array) from the vector under elementName; the array's size is
' the count. Returns False only when the library ran out of memory (values are then 0).
Public Function GetDouble1DArray(ByVal xmlText As String, ByVal elementName As String, values() As Double) As Boolean
    Dim count As Long
    count = UBound(values) - LBound(values) + 1
    If count <= 0 Then GetDouble1DArray = True: Exit Function
    GetDouble1DArray = pelzorGetDouble1DArray(xmlText, elementName, values(LBound(values)), count) <> 0
End Function

' Fills values (a one-dimensional Double array of rows * columns elements) with the cells of
' the matrix under elementName, row after row.
Public Function GetDouble2DArray(ByVal xmlText As String, ByVal elementName As String, values() As Double) As Boolean
    Dim count As Long
    count = UBound(values) - LBound(values) + 1
    If count <= 0 Then GetDouble2DArray = True: Exit Function
    GetDouble2DArray = pelzorGetDouble2DArray(xmlText, elementName, values(LBound(values)), count) <> 0
End Function

' ---- Wrappers for natural calls --------------------------------------------------------

' The vector under elementName as a Double array indexed 0 To n - 1, or Empty when it holds
' no value (test with IsEmpty).
Public Function ReadVector(ByVal xmlText As String, ByVal elementName As String) As Variant
    Dim count As Long
    Dim values() As Double
    count = pelzorGetDoubleArrayRows(xmlText, elementName)
    If count <= 0 Then
        ReadVector = Empty
        Exit Function
    End If
    ReDim values(0 To count - 1)
    If pelzorGetDouble1DArray(xmlText, elementName, values(0), count) = 0 Then
        Err.Raise 7, "Pelzor.ReadVector", "Out of memory"
    End If
    ReadVector = values
End Function

' The matrix under elementName as a Double array (1 To rows, 1 To columns), ready to be
' written to a range: Range("A1").Resize(rows, columns).Value = ReadMatrix(xml, "m").
' Empty when it has no cell. The width is that of the first row; the library packs the
' cells row after row, so rows of other widths shift the cells after them.
Public Function ReadMatrix(ByVal xmlText As String, ByVal elementName As String) As Variant
    Dim rows As Long, columns As Long, r As Long, c As Long
    Dim packed() As Double, matrix() As Double
    rows = pelzorGetDoubleArrayRows(xmlText, elementName)
    columns = pelzorGetDoubleArrayColumns(xmlText, elementName)
    If rows <= 0 Or columns <= 0 Then
        ReadMatrix = Empty
        Exit Function
    End If
    ReDim packed(0 To rows * columns - 1)
    If pelzorGetDouble2DArray(xmlText, elementName, packed(0), rows * columns) = 0 Then
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
    xml = pelzorCreateBlankXML(rootName)
    For i = LBound(namesAndValues) To UBound(namesAndValues) Step 2
        xml = pelzorAppendXMLChild(xml, CStr(namesAndValues(i)), rootName, CStr(namesAndValues(i + 1)), False)
    Next i
    BuildDocument = xml
End Function

' ---- Text that is not ASCII ---------------------------------------------------------------

' A String whose ANSI conversion (what VBA does to a ByVal String argument) gives the UTF-8
' bytes of text, so that any character reaches the library intact. Holds in single-byte
' ANSI code pages such as Windows-1252.
Public Function Utf8Text(ByVal text As String) As String
    Dim bytes() As Byte, length As Long
    If Len(text) = 0 Then Exit Function
    length = WideCharToMultiByte(CP_UTF8, 0, StrPtr(text), Len(text), 0, 0, 0, 0)
    ReDim bytes(0 To length - 1)
    WideCharToMultiByte CP_UTF8, 0, StrPtr(text), Len(text), VarPtr(bytes(0)), length, 0, 0
    Utf8Text = StrConv(bytes, vbUnicode)
End Function

' The text of a result that holds UTF-8 bytes (what the library returns for UTF-8 input).
Public Function FromUtf8Text(ByVal result As String) As String
    Dim bytes() As Byte, length As Long
    If Len(result) = 0 Then Exit Function
    bytes = StrConv(result, vbFromUnicode)
    length = MultiByteToWideChar(CP_UTF8, 0, VarPtr(bytes(0)), UBound(bytes) + 1, 0, 0)
    FromUtf8Text = String$(length, vbNullChar)
    MultiByteToWideChar CP_UTF8, 0, VarPtr(bytes(0)), UBound(bytes) + 1, StrPtr(FromUtf8Text), length
End Function
