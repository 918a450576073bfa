Attribute VB_Name = "Pelzor"
' Declarations and small wrappers for pelzor.dll, the XML helper library.
'
' Requires VBA7 (Office 2010 or later), 32-bit or 64-bit. Unpack the release zip next to
' the workbook (its x64\ and x86\ folders hold the two builds of pelzor.dll) and import
' this file; the module loads the DLL of the right bitness itself before its first call
' (LoadPelzor), or from a folder named with UsePelzorFrom.
'
' Every public function takes and returns ordinary Strings, correct for every character in
' every language whatever the system's ANSI code page; nothing to convert or free by hand.
' Values become document text the same way whatever the regional settings (ValueText). No
' name the module declares is, in another casing, one of the object model's words that the
' module check lists (Rows, Count, Value, Path, Description and about a hundred more), so
' importing it leaves those words in the user's code as they were. The editor gives every
' other name the casing it saw last, the module's included.
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
' - A Double array is handed over by passing the first element of a one-dimensional array
'   ByRef, with the number of elements it holds ByVal As Long; the library writes exactly
'   that many, row after row for a matrix.
' - A table crosses as the Variant itself, ByRef ... As Variant: selectTable clears it and
'   puts in a new array that VBA owns, buildTable reads the array it holds in place and
'   makes its values text in the library, the same in every locale.
' - ReadXMLFile and WriteXMLFile carry documents between files and Strings: read in UTF-8,
'   UTF-16 or the encoding the XML declaration names, written as UTF-8, every character
'   kept.
Option Explicit

#If Win64 Then
Private Declare PtrSafe Function pelzorAppendXMLChild Lib "pelzor.dll" Alias "?appendXMLChild@XML@@CAPEA_WPEAD000_N@Z" _
    (ByVal xmlText As LongPtr, ByVal childName As LongPtr, ByVal parentName As LongPtr, ByVal childText As LongPtr, ByVal unescapeTags As Byte) As LongPtr
Private Declare PtrSafe Function pelzorCreateBlankXML Lib "pelzor.dll" Alias "?createBlankXML@XML@@CAPEA_WPEAD@Z" _
    (ByVal rootName As LongPtr) As LongPtr
Private Declare PtrSafe Function pelzorGetDouble1DArray Lib "pelzor.dll" Alias "?getDouble1DArray@XML@@CA_NPEAD0PEANH@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr, ByRef firstValue As Double, ByVal valueCount As Long) As Byte
Private Declare PtrSafe Function pelzorGetDouble2DArray Lib "pelzor.dll" Alias "?getDouble2DArray@XML@@CA_NPEAD0PEANH@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr, ByRef firstValue As Double, ByVal valueCount As Long) As Byte
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
Private Declare PtrSafe Function pelzorCheckPath Lib "pelzor.dll" Alias "?checkPath@XML@@CAHPEAD@Z" _
    (ByVal nodePath As LongPtr) As Long
Private Declare PtrSafe Function pelzorSelectText Lib "pelzor.dll" Alias "?selectText@XML@@CAPEA_WPEAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal nodePath As LongPtr) As LongPtr
Private Declare PtrSafe Function pelzorSelectTexts Lib "pelzor.dll" Alias "?selectTexts@XML@@CAPEA_WPEAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal nodePath As LongPtr) As LongPtr
Private Declare PtrSafe Function pelzorSelectCount Lib "pelzor.dll" Alias "?selectCount@XML@@CAHPEAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal nodePath As LongPtr) As Long
Private Declare PtrSafe Function pelzorSelectDoubles Lib "pelzor.dll" Alias "?selectDoubles@XML@@CAHPEAD0PEANH@Z" _
    (ByVal xmlText As LongPtr, ByVal nodePath As LongPtr, ByRef firstValue As Double, ByVal valueCount As Long) As Long
Private Declare PtrSafe Function pelzorSelectTable Lib "pelzor.dll" Alias "?selectTable@XML@@CAHPEAD00PEAUtagVARIANT@@@Z" _
    (ByVal xmlText As LongPtr, ByVal recordPath As LongPtr, ByVal columnPaths As LongPtr, ByRef tableCells As Variant) As Long
Private Declare PtrSafe Function pelzorBuildTable Lib "pelzor.dll" Alias "?buildTable@XML@@CAPEA_WPEAD0PEAUtagVARIANT@@@Z" _
    (ByVal rootName As LongPtr, ByVal recordName As LongPtr, ByRef tableCells As Variant) As LongPtr
' The newest function declared above, always the last one: a pelzor.dll without it is an
' older build (RefuseOlderBuild).
Private Const NEWEST_EXPORT As String = "?buildTable@XML@@CAPEA_WPEAD0PEAUtagVARIANT@@@Z"
#Else
Private Declare PtrSafe Function pelzorAppendXMLChild Lib "pelzor.dll" Alias "?appendXMLChild@XML@@CGPA_WPAD000_N@Z" _
    (ByVal xmlText As LongPtr, ByVal childName As LongPtr, ByVal parentName As LongPtr, ByVal childText As LongPtr, ByVal unescapeTags As Byte) As LongPtr
Private Declare PtrSafe Function pelzorCreateBlankXML Lib "pelzor.dll" Alias "?createBlankXML@XML@@CGPA_WPAD@Z" _
    (ByVal rootName As LongPtr) As LongPtr
Private Declare PtrSafe Function pelzorGetDouble1DArray Lib "pelzor.dll" Alias "?getDouble1DArray@XML@@CG_NPAD0PANH@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr, ByRef firstValue As Double, ByVal valueCount As Long) As Byte
Private Declare PtrSafe Function pelzorGetDouble2DArray Lib "pelzor.dll" Alias "?getDouble2DArray@XML@@CG_NPAD0PANH@Z" _
    (ByVal xmlText As LongPtr, ByVal elementName As LongPtr, ByRef firstValue As Double, ByVal valueCount As Long) As Byte
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
Private Declare PtrSafe Function pelzorCheckPath Lib "pelzor.dll" Alias "?checkPath@XML@@CGHPAD@Z" _
    (ByVal nodePath As LongPtr) As Long
Private Declare PtrSafe Function pelzorSelectText Lib "pelzor.dll" Alias "?selectText@XML@@CGPA_WPAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal nodePath As LongPtr) As LongPtr
Private Declare PtrSafe Function pelzorSelectTexts Lib "pelzor.dll" Alias "?selectTexts@XML@@CGPA_WPAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal nodePath As LongPtr) As LongPtr
Private Declare PtrSafe Function pelzorSelectCount Lib "pelzor.dll" Alias "?selectCount@XML@@CGHPAD0@Z" _
    (ByVal xmlText As LongPtr, ByVal nodePath As LongPtr) As Long
Private Declare PtrSafe Function pelzorSelectDoubles Lib "pelzor.dll" Alias "?selectDoubles@XML@@CGHPAD0PANH@Z" _
    (ByVal xmlText As LongPtr, ByVal nodePath As LongPtr, ByRef firstValue As Double, ByVal valueCount As Long) As Long
Private Declare PtrSafe Function pelzorSelectTable Lib "pelzor.dll" Alias "?selectTable@XML@@CGHPAD00PAUtagVARIANT@@@Z" _
    (ByVal xmlText As LongPtr, ByVal recordPath As LongPtr, ByVal columnPaths As LongPtr, ByRef tableCells As Variant) As Long
Private Declare PtrSafe Function pelzorBuildTable Lib "pelzor.dll" Alias "?buildTable@XML@@CGPA_WPAD0PAUtagVARIANT@@@Z" _
    (ByVal rootName As LongPtr, ByVal recordName As LongPtr, ByRef tableCells As Variant) As LongPtr
Private Const NEWEST_EXPORT As String = "?buildTable@XML@@CGPA_WPAD0PAUtagVARIANT@@@Z"
#End If

Private Declare PtrSafe Function WideCharToMultiByte Lib "kernel32" (ByVal codePage As Long, ByVal flags As Long, _
    ByVal wideText As LongPtr, ByVal wideLength As Long, ByVal bytes As LongPtr, ByVal byteLength As Long, _
    ByVal defaultChar As LongPtr, ByVal usedDefault As LongPtr) As Long
Private Declare PtrSafe Function MultiByteToWideChar Lib "kernel32" (ByVal codePage As Long, ByVal flags As Long, _
    ByVal bytes As LongPtr, ByVal byteLength As Long, ByVal wideText As LongPtr, ByVal wideLength As Long) As Long
Private Declare PtrSafe Function SysStringByteLen Lib "oleaut32" (ByVal bstr As LongPtr) As Long
Private Declare PtrSafe Sub SysFreeString Lib "oleaut32" (ByVal bstr As LongPtr)

Private Declare PtrSafe Function CreateFileW Lib "kernel32" (ByVal widePath As LongPtr, ByVal desiredAccess As Long, _
    ByVal shareMode As Long, ByVal security As LongPtr, ByVal creation As Long, ByVal flagsAndAttributes As Long, _
    ByVal templateFile As LongPtr) As LongPtr
Private Declare PtrSafe Function GetFileSize Lib "kernel32" (ByVal hFile As LongPtr, ByRef sizeHigh As Long) As Long
Private Declare PtrSafe Function ReadFile Lib "kernel32" (ByVal hFile As LongPtr, ByVal memory As LongPtr, _
    ByVal toRead As Long, ByRef done As Long, ByVal overlapped As LongPtr) As Long
Private Declare PtrSafe Function WriteFile Lib "kernel32" (ByVal hFile As LongPtr, ByVal memory As LongPtr, _
    ByVal toWrite As Long, ByRef done As Long, ByVal overlapped As LongPtr) As Long
Private Declare PtrSafe Function CloseHandle Lib "kernel32" (ByVal hObject As LongPtr) As Long
Private Declare PtrSafe Function FlushFileBuffers Lib "kernel32" (ByVal hFile As LongPtr) As Long
Private Declare PtrSafe Function MoveFileExW Lib "kernel32" (ByVal existingPath As LongPtr, ByVal newPath As LongPtr, _
    ByVal flags As Long) As Long
Private Declare PtrSafe Function ReplaceFileW Lib "kernel32" (ByVal replacedPath As LongPtr, _
    ByVal replacementPath As LongPtr, ByVal backupPath As LongPtr, ByVal flags As Long, ByVal exclude As LongPtr, _
    ByVal reserved As LongPtr) As Long
Private Declare PtrSafe Function GetFileAttributesW Lib "kernel32" (ByVal widePath As LongPtr) As Long
Private Declare PtrSafe Function DeleteFileW Lib "kernel32" (ByVal widePath As LongPtr) As Long
Private Declare PtrSafe Function GetCurrentProcessId Lib "kernel32" () As Long

Private Const CP_UTF8 As Long = 65001
Private Const MB_ERR_INVALID_CHARS As Long = 8
Private Const WC_ERR_INVALID_CHARS As Long = &H80
Private Const GENERIC_READ As Long = &H80000000
Private Const GENERIC_WRITE As Long = &H40000000
Private Const FILE_SHARE_READ As Long = 1
Private Const FILE_SHARE_WRITE As Long = 2
Private Const CREATE_NEW As Long = 1
Private Const OPEN_EXISTING As Long = 3
Private Const FILE_ATTRIBUTE_NORMAL As Long = &H80
Private Const ERROR_FILE_NOT_FOUND As Long = 2
Private Const ERROR_PATH_NOT_FOUND As Long = 3
Private Const ERROR_ACCESS_DENIED As Long = 5
Private Const ERROR_SHARING_VIOLATION As Long = 32
Private Const ERROR_FILE_EXISTS As Long = 80
Private Const MOVEFILE_REPLACE_EXISTING As Long = 1
Private Const MOVEFILE_WRITE_THROUGH As Long = 8
Private Const INVALID_FILE_ATTRIBUTES As Long = -1
Private Const FILE_ATTRIBUTE_READONLY As Long = 1
Private Const REPLACEFILE_IGNORE_MERGE_ERRORS As Long = 2
Private Const REPLACEFILE_IGNORE_ACL_ERRORS As Long = 4

Private Declare PtrSafe Function LoadLibraryW Lib "kernel32" (ByVal widePath As LongPtr) As LongPtr
Private Declare PtrSafe Function GetModuleHandleW Lib "kernel32" (ByVal widePath As LongPtr) As LongPtr
Private Declare PtrSafe Function GetModuleFileNameW Lib "kernel32" (ByVal moduleHandle As LongPtr, _
    ByVal widePath As LongPtr, ByVal unitCount As Long) As Long
Private Declare PtrSafe Function GetProcAddress Lib "kernel32" (ByVal moduleHandle As LongPtr, _
    ByVal exportName As LongPtr) As LongPtr
Private Declare PtrSafe Function FreeLibrary Lib "kernel32" (ByVal moduleHandle As LongPtr) As Long
Private Const ERROR_MOD_NOT_FOUND As Long = 126
Private Const ERROR_BAD_EXE_FORMAT As Long = 193

Private namedFolder As String  ' the folder UsePelzorFrom names
Private pelzorLoaded As Boolean

' ---- Finding pelzor.dll ----------------------------------------------------------------

' Names the folder that holds pelzor.dll of this Office's bitness (any path, in any
' language), to be looked in before the places the module looks in by itself, and loads
' the library from there at once: UsePelzorFrom "D:\Tools\pelzor\x64". Raises what the
' first call would (error 53 or 48, below). Once a pelzor.dll is loaded it stays in use
' until the spreadsheet application closes: Windows binds the module's calls to the loaded
' DLL by its name. So when one is loaded already from another folder (by this workbook or
' another one), UsePelzorFrom raises error 48 naming the file in use.
Public Sub UsePelzorFrom(ByVal Folder As String)
    Dim loaded As LongPtr, loadedFrom As String, named As String
    loaded = GetModuleHandleW(StrPtr("pelzor.dll"))
    If loaded <> 0 Then
        loadedFrom = ModulePath(loaded)
        named = WithBackslash(Replace(Folder, "/", "\"))
        If StrComp(Left$(loadedFrom, InStrRev(loadedFrom, "\")), named, vbTextCompare) <> 0 Then
            Err.Raise 48, "Pelzor.UsePelzorFrom", "Error in loading DLL: pelzor.dll is loaded already, from " & _
                loadedFrom & ", and stays in use until the spreadsheet application closes; the one in " & named & _
                " cannot take its place before then"
        End If
    End If
    namedFolder = Folder
    LoadPelzor
End Sub

' Loads pelzor.dll before the first library call: every public function that reaches the
' library calls it first.
' Declare ... Lib "pelzor.dll" finds a DLL only through Windows' search (the application's
' folder, the system folders, the current folder, PATH), never the workbook's folder, so
' the module loads it itself with its full path, looking in this order:
' 1. the folder named with UsePelzorFrom;
' 2. x64\ (64-bit Office) or x86\ (32-bit Office) in the workbook's folder: the release
'    zip's own layout, unpacked next to the workbook;
' 3. the workbook's folder itself;
' 4. Windows' own search.
' A workbook never saved, or one whose path is a web address (a synced online folder),
' has no folder to look in. Not found anywhere: error 53, listing every place looked in. A
' file Windows cannot load as a DLL of this bitness (the other build, or a damaged file):
' error 48, naming the file and the build this Office needs. A pelzor.dll loaded already
' in this session is used, and one of an older build is refused (RefuseOlderBuild).
Private Sub LoadPelzor()
    Dim places As Collection, place As Variant, fullPath As String, failure As Long, looked As String
    Dim loaded As LongPtr
    If pelzorLoaded Then Exit Sub
    loaded = GetModuleHandleW(StrPtr("pelzor.dll"))
    If loaded <> 0 Then  ' loaded already in this session, by this workbook or another one
        RefuseOlderBuild loaded, False
        pelzorLoaded = True
        Exit Sub
    End If
    Set places = PelzorPlaces()
    For Each place In places
        fullPath = place & "pelzor.dll"
        loaded = LoadLibraryW(StrPtr(fullPath))
        If loaded <> 0 Then
            RefuseOlderBuild loaded, True
            pelzorLoaded = True
            Exit Sub
        End If
        failure = Err.LastDllError
        If failure = ERROR_BAD_EXE_FORMAT Then
            #If Win64 Then
            Err.Raise 48, "Pelzor", "Error in loading DLL: " & fullPath & " is not a 64-bit DLL: the other build, " & _
                                    "or a damaged file; this 64-bit Office needs the 64-bit build of pelzor.dll " & _
                                    "(x64\pelzor.dll in the release zip)"
            #Else
            Err.Raise 48, "Pelzor", "Error in loading DLL: " & fullPath & " is not a 32-bit DLL: the other build, " & _
                                    "or a damaged file; this 32-bit Office needs the 32-bit build of pelzor.dll " & _
                                    "(x86\pelzor.dll in the release zip)"
            #End If
        End If
        If failure <> ERROR_MOD_NOT_FOUND And failure <> ERROR_FILE_NOT_FOUND And failure <> ERROR_PATH_NOT_FOUND Then
            Err.Raise 48, "Pelzor", "Error in loading DLL: " & fullPath & " (Windows error " & failure & ")"
        End If
        If Len(place) = 0 Then
            looked = looked & vbLf & "  Windows' own search (the application's folder, the system folders, " & _
                              "the current folder, PATH)"
        Else
            looked = looked & vbLf & "  " & place
        End If
    Next place
    Err.Raise 53, "Pelzor", "File not found: pelzor.dll. Looked in:" & looked
End Sub

' Raises error 48 when the loaded pelzor.dll lacks NEWEST_EXPORT, the newest function this
' module declares: an older build, whose missing functions would otherwise fail only when
' first called (error 453). One that LoadPelzor loaded itself (loadedHere) is unloaded
' again, so that a newer copy can be put in its place; one that was loaded before, by
' another workbook, stays in use until the spreadsheet application closes.
Private Sub RefuseOlderBuild(ByVal moduleHandle As LongPtr, ByVal loadedHere As Boolean)
    Dim exportName() As Byte, modulePathText As String
    exportName = Utf8Bytes(NEWEST_EXPORT)
    If GetProcAddress(moduleHandle, VarPtr(exportName(0))) <> 0 Then Exit Sub
    modulePathText = ModulePath(moduleHandle)
    If loadedHere Then
        FreeLibrary moduleHandle
        Err.Raise 48, "Pelzor", "Error in loading DLL: " & modulePathText & " is an older build of pelzor.dll, " & _
                                "without functions this module declares; put the release's pelzor.dll in its place"
    End If
    Err.Raise 48, "Pelzor", "Error in loading DLL: an older build of pelzor.dll, without functions this module " & _
                            "declares, is loaded already from " & modulePathText & ". Another workbook loaded it, " & _
                            "and it stays in use until the spreadsheet application closes: close the application " & _
                            "and open this workbook first, or put the release's pelzor.dll in that file's place"
End Sub

' The full path of a loaded module's file.
Private Function ModulePath(ByVal moduleHandle As LongPtr) As String
    Dim pathUnits As String, unitCount As Long
    pathUnits = String$(32768, vbNullChar)
    unitCount = GetModuleFileNameW(moduleHandle, StrPtr(pathUnits), Len(pathUnits))
    ModulePath = Left$(pathUnits, unitCount)
End Function

' The folders LoadPelzor looks in, in order, each ending in "\"; "" stands for Windows'
' own search.
Private Function PelzorPlaces() As Collection
    Dim places As New Collection, book As String
    If Len(namedFolder) > 0 Then places.Add WithBackslash(namedFolder)
    book = WorkbookFolder()
    If Len(book) > 0 Then
        #If Win64 Then
        places.Add WithBackslash(book) & "x64\"
        #Else
        places.Add WithBackslash(book) & "x86\"
        #End If
        places.Add WithBackslash(book)
    End If
    places.Add ""
    Set PelzorPlaces = places
End Function

' The folder of the workbook that holds this module; "" when it was never saved or lies
' at a web address.
Private Function WorkbookFolder() As String
    Dim folderPath As String
    folderPath = ThisWorkbook.Path
    If LCase$(Left$(folderPath, 7)) = "http://" Or LCase$(Left$(folderPath, 8)) = "https://" Then folderPath = ""
    WorkbookFolder = folderPath
End Function

Private Function WithBackslash(ByVal folderPath As String) As String
    If Right$(folderPath, 1) = "\" Or Right$(folderPath, 1) = "/" Then
        WithBackslash = folderPath
    Else
        WithBackslash = folderPath & "\"
    End If
End Function

' ---- The nine functions, under their plain names -------------------------------------

' The text of the first element named elementName; "Element does not exist" when there is
' none, "" when it has no text.
Public Function GetStringValue(ByVal xmlText As String, ByVal elementName As String) As String
    Dim xml() As Byte, element() As Byte
    LoadPelzor
    xml = Utf8Bytes(xmlText)
    element = Utf8Bytes(elementName)
    GetStringValue = LibraryText(pelzorGetStringValue(VarPtr(xml(0)), VarPtr(element(0))))
End Function

' The element's text read as a whole number (0 when missing or not a number).
Public Function GetIntegerValue(ByVal xmlText As String, ByVal elementName As String) As Long
    Dim xml() As Byte, element() As Byte
    LoadPelzor
    xml = Utf8Bytes(xmlText)
    element = Utf8Bytes(elementName)
    GetIntegerValue = pelzorGetIntegerValue(VarPtr(xml(0)), VarPtr(element(0)))
End Function

' The element's text read as a number, always with "." as the decimal separator.
Public Function GetDoubleValue(ByVal xmlText As String, ByVal elementName As String) As Double
    Dim xml() As Byte, element() As Byte
    LoadPelzor
    xml = Utf8Bytes(xmlText)
    element = Utf8Bytes(elementName)
    GetDoubleValue = pelzorGetDoubleValue(VarPtr(xml(0)), VarPtr(element(0)))
End Function

' "<?xml version='1.0' encoding='utf-8'?><rootName></rootName>"
Public Function CreateBlankXML(ByVal rootName As String) As String
    Dim root() As Byte
    LoadPelzor
    root = Utf8Bytes(rootName)
    CreateBlankXML = LibraryText(pelzorCreateBlankXML(VarPtr(root(0))))
End Function

' The document with <childName>childText</childName> appended under the first element named
' parentName, printed anew; "Parent element does not exist" when there is none. childText
' may be any value, a cell's included: it becomes text the same way in every locale
' (ValueText). An "&" in it stays as written where it starts a reference ("AT&amp;T"), and
' is escaped everywhere else; with unescapeTags, markup in it becomes elements.
Public Function AppendXMLChild(ByVal xmlText As String, ByVal childName As String, ByVal parentName As String, _
                               ByVal childText As Variant, Optional ByVal unescapeTags As Boolean = False) As String
    Dim xml() As Byte, childTag() As Byte, parentTag() As Byte, childValue() As Byte, flag As Byte
    LoadPelzor
    If unescapeTags Then flag = 1  ' the library tests one byte: 0 or 1, never True's 0xFF
    xml = Utf8Bytes(xmlText)
    childTag = Utf8Bytes(childName)
    parentTag = Utf8Bytes(parentName)
    childValue = Utf8Bytes(ValueText(childText))
    AppendXMLChild = LibraryText(pelzorAppendXMLChild(VarPtr(xml(0)), VarPtr(childTag(0)), VarPtr(parentTag(0)), _
                                                      VarPtr(childValue(0)), flag))
End Function

' The number of child elements of elementName (rows of a matrix, values of a vector).
Public Function GetDoubleArrayRows(ByVal xmlText As String, ByVal elementName As String) As Long
    Dim xml() As Byte, element() As Byte
    LoadPelzor
    xml = Utf8Bytes(xmlText)
    element = Utf8Bytes(elementName)
    GetDoubleArrayRows = pelzorGetDoubleArrayRows(VarPtr(xml(0)), VarPtr(element(0)))
End Function

' The number of cells in the first row of the matrix elementName.
Public Function GetDoubleArrayColumns(ByVal xmlText As String, ByVal elementName As String) As Long
    Dim xml() As Byte, element() As Byte
    LoadPelzor
    xml = Utf8Bytes(xmlText)
    element = Utf8Bytes(elementName)
    GetDoubleArrayColumns = pelzorGetDoubleArrayColumns(VarPtr(xml(0)), VarPtr(element(0)))
End Function

' Fills Values, a sized one-dimensional Double array, from the vector under elementName:
' Values(LBound) gets the first value, and so on; the array's size is the count. Positions
' without a value get 0; values beyond the array's size are ignored. True also when there is
' no such element or the document could not be read to the end for want of memory (the
' values are then 0): the result does not tell those apart. False when the library could
' not get memory for the array's copy (the values are then 0 too). An array that is not
' sized or has another number of dimensions raises error 5.
Public Function GetDouble1DArray(ByVal xmlText As String, ByVal elementName As String, Values() As Double) As Boolean
    Dim valueCount As Long, xml() As Byte, element() As Byte
    LoadPelzor
    If DimensionsOf(Values) <> 1 Then
        Err.Raise 5, "Pelzor.GetDouble1DArray", "Values must be a one-dimensional Double array with a size " & _
                                                "(ReDim Values(0 To n - 1)); it has " & DimensionsText(Values)
    End If
    valueCount = UBound(Values) - LBound(Values) + 1
    xml = Utf8Bytes(xmlText)
    element = Utf8Bytes(elementName)
    GetDouble1DArray = pelzorGetDouble1DArray(VarPtr(xml(0)), VarPtr(element(0)), Values(LBound(Values)), valueCount) <> 0
End Function

' Fills Values with the cells of the matrix under elementName, either
' - a sized two-dimensional Double array, rows by columns with any lower bounds: Values(r, c)
'   gets the cell of row r, column c (ReDim Values(1 To rows, 1 To columns)), or
' - a sized one-dimensional Double array of rows * columns elements, filled row after row.
' The library packs the cells row after row with the width of the first row, so in a
' matrix whose rows differ in width the cells after a shorter or longer row shift. The
' result is as GetDouble1DArray's; other arrays raise error 5.
Public Function GetDouble2DArray(ByVal xmlText As String, ByVal elementName As String, Values() As Double) As Boolean
    Dim valueCount As Long, columnCount As Long, k As Long, xml() As Byte, element() As Byte
    Dim packed() As Double
    LoadPelzor
    Select Case DimensionsOf(Values)
    Case 1
        valueCount = UBound(Values) - LBound(Values) + 1
        xml = Utf8Bytes(xmlText)
        element = Utf8Bytes(elementName)
        GetDouble2DArray = pelzorGetDouble2DArray(VarPtr(xml(0)), VarPtr(element(0)), Values(LBound(Values)), valueCount) <> 0
    Case 2
        ' VBA keeps a 2-D array column after column, the library writes row after row: the
        ' cells arrive in a packed copy and are then put in place.
        columnCount = UBound(Values, 2) - LBound(Values, 2) + 1
        valueCount = (UBound(Values, 1) - LBound(Values, 1) + 1) * columnCount
        ReDim packed(0 To valueCount - 1)
        xml = Utf8Bytes(xmlText)
        element = Utf8Bytes(elementName)
        GetDouble2DArray = pelzorGetDouble2DArray(VarPtr(xml(0)), VarPtr(element(0)), packed(0), valueCount) <> 0
        For k = 0 To valueCount - 1
            Values(LBound(Values, 1) + k \ columnCount, LBound(Values, 2) + k Mod columnCount) = packed(k)
        Next k
    Case Else
        Err.Raise 5, "Pelzor.GetDouble2DArray", "Values must be a Double array with a size, of rows by columns " & _
                                                "(ReDim Values(1 To rows, 1 To columns)) or of rows * columns " & _
                                                "elements; it has " & DimensionsText(Values)
    End Select
End Function

' The number of dimensions of a Double array; 0 when it has no size yet (declared with () and
' never given one with ReDim, or emptied with Erase).
Private Function DimensionsOf(ByRef arrayOf() As Double) As Long
    Dim bound As Long, found As Long
    On Error Resume Next
    Do
        bound = UBound(arrayOf, found + 1)
        If Err.Number <> 0 Then Exit Do
        found = found + 1
    Loop
    Err.Clear
    On Error GoTo 0
    DimensionsOf = found
End Function

' "no size" or "3 dimensions", for messages.
Private Function DimensionsText(ByRef arrayOf() As Double) As String
    Dim found As Long
    found = DimensionsOf(arrayOf)
    If found = 0 Then
        DimensionsText = "no size"
    Else
        DimensionsText = Mid$(Str$(found), 2) & " dimensions"
    End If
End Function

' ---- Wrappers for natural calls --------------------------------------------------------

' The vector under elementName as a Double array indexed 0 To n - 1, or Empty when it holds
' no value (test with IsEmpty).
Public Function ReadVector(ByVal xmlText As String, ByVal elementName As String) As Variant
    Dim valueCount As Long, xml() As Byte, element() As Byte
    Dim vector() As Double
    LoadPelzor
    xml = Utf8Bytes(xmlText)
    element = Utf8Bytes(elementName)
    valueCount = pelzorGetDoubleArrayRows(VarPtr(xml(0)), VarPtr(element(0)))
    If valueCount <= 0 Then
        ReadVector = Empty
        Exit Function
    End If
    ReDim vector(0 To valueCount - 1)
    If pelzorGetDouble1DArray(VarPtr(xml(0)), VarPtr(element(0)), vector(0), valueCount) = 0 Then
        Err.Raise 7, "Pelzor.ReadVector", "Out of memory"
    End If
    ReadVector = vector
End Function

' The matrix under elementName as a Double array (1 To rows, 1 To columns), ready to be
' written to a range: Range("A1").Resize(rows, columns).Value = ReadMatrix(xml, "m").
' Empty when it has no cell. The width is that of the first row; the library packs the
' cells row after row, so rows of other widths shift the cells after them.
Public Function ReadMatrix(ByVal xmlText As String, ByVal elementName As String) As Variant
    Dim rowCount As Long, columnCount As Long, r As Long, c As Long, xml() As Byte, element() As Byte
    Dim packed() As Double, matrix() As Double
    LoadPelzor
    xml = Utf8Bytes(xmlText)
    element = Utf8Bytes(elementName)
    rowCount = pelzorGetDoubleArrayRows(VarPtr(xml(0)), VarPtr(element(0)))
    columnCount = pelzorGetDoubleArrayColumns(VarPtr(xml(0)), VarPtr(element(0)))
    If rowCount <= 0 Or columnCount <= 0 Then
        ReadMatrix = Empty
        Exit Function
    End If
    ReDim packed(0 To rowCount * columnCount - 1)
    If pelzorGetDouble2DArray(VarPtr(xml(0)), VarPtr(element(0)), packed(0), rowCount * columnCount) = 0 Then
        Err.Raise 7, "Pelzor.ReadMatrix", "Out of memory"
    End If
    ReDim matrix(1 To rowCount, 1 To columnCount)
    For r = 1 To rowCount
        For c = 1 To columnCount
            matrix(r, c) = packed((r - 1) * columnCount + (c - 1))
        Next c
    Next r
    ReadMatrix = matrix
End Function

' A new document with root rootName holding one element per name and value pair, in order:
' BuildDocument("settings", "name", "Alice", "rate", 0.5, "due", DateSerial(2026, 12, 7)).
' Values become text the same way whatever the regional settings (see ValueText): 0.5 is
' written "0.5" on a French or German Windows too, so GetDoubleValue reads it back.
Public Function BuildDocument(ByVal rootName As String, ParamArray namesAndValues() As Variant) As String
    Dim xml As String, i As Long
    LoadPelzor
    If (UBound(namesAndValues) - LBound(namesAndValues) + 1) Mod 2 <> 0 Then
        Err.Raise 5, "Pelzor.BuildDocument", "Names and values must come in pairs"
    End If
    xml = CreateBlankXML(rootName)
    For i = LBound(namesAndValues) To UBound(namesAndValues) Step 2
        xml = AppendXMLChild(xml, ValueText(namesAndValues(i)), rootName, ValueText(namesAndValues(i + 1)), False)
    Next i
    BuildDocument = xml
End Function

' The text of a value as a document holds it, the same in every locale (CStr and Format
' follow the regional settings; Str$ does not):
' - numbers with "." and no grouping, with the 15 significant digits a cell shows (the
'   spreadsheet keeps no more); digits beyond the 15th are rounded away, so GetDoubleValue
'   reads back the number as the cell shows it, not always the Double's last bits. Very
'   large or small numbers are written with an exponent ("1E+15", "1.5E-07"). The few
'   Doubles above 1.79769313486231E+308, whose 15-digit rounding can lie beyond the
'   largest Double, are written as 1.79769313486231E+308;
' - dates as ISO 8601: "2026-12-07", or "2026-12-07T09:05:00" when there is a time of day;
' - booleans as "true" and "false"; Empty as ""; text as it is.
' An object gives its default value (a Range of one cell its Value). Null, error values and
' arrays (a Range of several cells) raise error 13; Nothing raises VBA's error 91 and an
' object without a default value VBA's error 438, as reading the value does.
Private Function ValueText(ByVal given As Variant) As String
    Dim plain As Variant, digits As String
    plain = given  ' without Set: an object's default value
    Select Case VarType(plain)
    Case vbString
        ValueText = plain
    Case vbEmpty
        ValueText = ""
    Case vbBoolean
        If plain Then ValueText = "true" Else ValueText = "false"
    Case vbDate
        ValueText = ZeroPadded(Year(plain), 4) & "-" & ZeroPadded(Month(plain), 2) & "-" & ZeroPadded(Day(plain), 2)
        If Hour(plain) + Minute(plain) + Second(plain) > 0 Then
            ValueText = ValueText & "T" & ZeroPadded(Hour(plain), 2) & ":" & ZeroPadded(Minute(plain), 2) & ":" & _
                        ZeroPadded(Second(plain), 2)
        End If
    Case vbByte, vbInteger, vbLong, vbSingle, vbDouble, vbCurrency, vbDecimal, 20  ' 20: vbLongLong
        If VarType(plain) = vbDouble Then
            ' Str$ would round these up to 1.79769313486232E+308, beyond the largest Double
            If Abs(plain) > 1.79769313486231E+308 Then
                ValueText = IIf(plain < 0, "-", "") & "1.79769313486231E+308"
                Exit Function
            End If
        End If
        digits = LTrim$(Str$(plain))  ' Str$: "." always, a leading blank for positives
        If Left$(digits, 1) = "." Then digits = "0" & digits
        If Left$(digits, 2) = "-." Then digits = "-0" & Mid$(digits, 2)
        ValueText = digits
    Case Else
        Err.Raise 13, "Pelzor", "A value of this type cannot become document text (Null, an error or an array)"
    End Select
End Function

' The whole number n with at least places digits, zeros in front.
Private Function ZeroPadded(ByVal n As Long, ByVal places As Long) As String
    ZeroPadded = LTrim$(Str$(n))
    If Len(ZeroPadded) < places Then ZeroPadded = String$(places - Len(ZeroPadded), "0") & ZeroPadded
End Function

' ---- Paths: any element, attributes, lists ---------------------------------------------

' A path selects nodes as XPath 1.0 does, in a small part of its abbreviated syntax:
' "order/line/sku" (children, from the document), "//line" (at any depth), "*" (any
' element), "[2]" (the second of a parent's), "[@id]", "[@id='7']", "[sku='A-100']" (a
' child with that text), and "/@rate" at the end (an attribute). Names are compared as
' written, prefix included ("gesmes:Envelope"): no namespace set-up. A path the library does
' not understand raises error 5 "Path not understood at character N: path" before the
' document is read.

' The value of the first node Path selects, in document order: an element's text as
' GetStringValue reads it, or an attribute's value. "Element does not exist" when it selects
' nothing.
Public Function GetValue(ByVal xmlText As String, ByVal Path As String) As String
    Dim xml() As Byte, pathBytes() As Byte
    LoadPelzor
    RefuseUnknownPath Path
    xml = Utf8Bytes(xmlText)
    pathBytes = Utf8Bytes(Path)
    GetValue = LibraryText(pelzorSelectText(VarPtr(xml(0)), VarPtr(pathBytes(0))))
End Function

' The values of every node Path selects, in document order, as a String array indexed
' 0 To n - 1; Empty when it selects nothing (test with IsEmpty). A value that holds a NUL
' character is cut there.
Public Function GetValues(ByVal xmlText As String, ByVal Path As String) As Variant
    Dim xml() As Byte, pathBytes() As Byte, joined As String, parts() As String
    LoadPelzor
    RefuseUnknownPath Path
    xml = Utf8Bytes(xmlText)
    pathBytes = Utf8Bytes(Path)
    ' Each value arrives followed by one NUL character.
    joined = LibraryText(pelzorSelectTexts(VarPtr(xml(0)), VarPtr(pathBytes(0))))
    If Len(joined) = 0 Then
        GetValues = Empty
        Exit Function
    End If
    parts = Split(joined, vbNullChar)
    ReDim Preserve parts(0 To UBound(parts) - 1)  ' what follows the last NUL is not a value
    GetValues = parts
End Function

' How many nodes Path selects (0 when none).
Public Function CountNodes(ByVal xmlText As String, ByVal Path As String) As Long
    Dim xml() As Byte, pathBytes() As Byte
    LoadPelzor
    RefuseUnknownPath Path
    xml = Utf8Bytes(xmlText)
    pathBytes = Utf8Bytes(Path)
    CountNodes = pelzorSelectCount(VarPtr(xml(0)), VarPtr(pathBytes(0)))
End Function

' The values of every node Path selects, read as GetDoubleValue reads a text, as a Double
' array indexed 0 To n - 1; Empty when it selects nothing (test with IsEmpty):
' ReadNumbers(xml, "//Cube/@rate").
Public Function ReadNumbers(ByVal xmlText As String, ByVal Path As String) As Variant
    Dim xml() As Byte, pathBytes() As Byte, nodeCount As Long, numbers() As Double
    LoadPelzor
    RefuseUnknownPath Path
    xml = Utf8Bytes(xmlText)
    pathBytes = Utf8Bytes(Path)
    nodeCount = pelzorSelectCount(VarPtr(xml(0)), VarPtr(pathBytes(0)))
    If nodeCount <= 0 Then
        ReadNumbers = Empty
        Exit Function
    End If
    ReDim numbers(0 To nodeCount - 1)
    ' The second read gives the count again, unless the library ran out of memory.
    If pelzorSelectDoubles(VarPtr(xml(0)), VarPtr(pathBytes(0)), numbers(0), nodeCount) <> nodeCount Then
        Err.Raise 7, "Pelzor.ReadNumbers", "Out of memory"
    End If
    ReadNumbers = numbers
End Function

' ---- Tables: records to rows and rows to records ----------------------------------------

' The records recordPath selects, one row each, as a Variant(1 To r, 1 To c) ready for a
' worksheet range; Empty when recordPath selects no element (test with IsEmpty). Row 1 holds
' the column paths, each record is a row after it. Columns names the columns: a String of
' paths joined by "|" ("sku | qty | price/@currency | @no"), each read from the record ("."
' is the record itself), or an array of such paths; without it, the columns are all the
' records hold, in the order first seen. A step takes only its first match ("line/sku" is
' the first line's first sku), so a record that lacks a field gets an Empty cell instead of
' moving the values below it. A cell is Empty where the record has nothing, a Double in a
' column of plainly written numbers, a String otherwise:
'   t = ReadTable(xml, "//line", "sku | qty | @number")
'   Range("A1").Resize(UBound(t, 1), UBound(t, 2)).Value = t
' A path the library does not understand, or a column path that starts with "/", raises
' error 5 "Path not understood at character N" before the document is read.
Public Function ReadTable(ByVal xmlText As String, ByVal recordPath As String, Optional ByRef Columns As Variant) As Variant
    Dim xml() As Byte, recordBytes() As Byte, columnBytes() As Byte, columnText As String
    Dim tableCells As Variant, recordCount As Long
    LoadPelzor
    RefuseUnknownPath recordPath
    columnText = ColumnPathsText(Columns)
    If Len(columnText) > 0 Then
        RefuseUnknownPath columnText
        RefuseDocumentColumn columnText
    End If
    xml = Utf8Bytes(xmlText)
    recordBytes = Utf8Bytes(recordPath)
    columnBytes = Utf8Bytes(columnText)
    recordCount = pelzorSelectTable(VarPtr(xml(0)), VarPtr(recordBytes(0)), VarPtr(columnBytes(0)), tableCells)
    If recordCount < 0 Then Err.Raise 7, "Pelzor.ReadTable", "Out of memory"
    ReadTable = tableCells  ' Empty when there is no record
End Function

' A document of records made from a table: rootName holding one recordName per row of Table
' after the first. Table is a Range (its Value is taken) or a two-dimensional array with any
' lower bounds (Variant, String, Double, Long, Date or Boolean), whose first row holds column
' paths of names, [k] positions and a final @name ("sku", "price/@currency", "line[2]/qty"),
' or "." for the record's own text. Each cell that is not Empty makes what its header names;
' values become text the same way in every locale (the library's own conversion: numbers with
' ".", dates as ISO 8601, true and false):
'   WriteXMLFile ThisWorkbook.Path & "\lines.xml", WriteTable("order", "line", Range("A1:C4"))
' Raises error 5 with the library's words (naming the row and column) for a header that is no
' such path, a name that is not an XML name, or a cell holding an error value, Null or an
' object.
Public Function WriteTable(ByVal rootName As String, ByVal recordName As String, ByRef Table As Variant) As String
    Dim built As String
    LoadPelzor
    built = TableDocument(Table, rootName, recordName)
    If Left$(built, 1) <> "<" Then Err.Raise 5, "Pelzor.WriteTable", built
    WriteTable = built
End Function

' The column paths Columns names: a String as it is, an array of Strings joined by " | ", ""
' (automatic columns) when it is missing or Empty. Anything else raises error 5.
Private Function ColumnPathsText(ByRef Columns As Variant) As String
    Dim element As Variant, joined As String
    If IsMissing(Columns) Then Exit Function
    If IsEmpty(Columns) Then Exit Function
    If VarType(Columns) = vbString Then
        ColumnPathsText = Columns
        Exit Function
    End If
    If Not IsArray(Columns) Then
        Err.Raise 5, "Pelzor.ReadTable", "Columns must be a String of column paths or an array of them"
    End If
    For Each element In Columns
        If VarType(element) <> vbString Then
            Err.Raise 5, "Pelzor.ReadTable", "Columns must be a String of column paths or an array of them"
        End If
        If Len(joined) > 0 Then joined = joined & " | "
        joined = joined & element
    Next element
    ColumnPathsText = joined
End Function

' Raises error 5 for a column path that starts with "/": a column is read from the record,
' not from the document. The paths are ones the library understands, so a "|" outside a
' quoted value separates two of them.
Private Sub RefuseDocumentColumn(ByRef columnText As String)
    Dim i As Long, letter As String, quote As String, atStart As Boolean
    atStart = True
    For i = 1 To Len(columnText)
        letter = Mid$(columnText, i, 1)
        If Len(quote) > 0 Then
            If letter = quote Then quote = ""
        ElseIf letter = "'" Or letter = """" Then
            quote = letter
        ElseIf letter = "|" Then
            atStart = True
        ElseIf letter = "/" And atStart Then
            Err.Raise 5, "Pelzor", "Path not understood at character " & Mid$(Str$(CharacterCount(columnText, i)), 2) & _
                                   " (a column path starts at the record, not with /): " & columnText
        ElseIf letter <> " " And letter <> vbTab And letter <> vbCr And letter <> vbLf Then
            atStart = False
        End If
    Next i
End Sub

' The position, counted from 1 with a surrogate pair as one character, of the character at
' unit position unitPosition of unicodeText.
Private Function CharacterCount(ByRef unicodeText As String, ByVal unitPosition As Long) As Long
    Dim i As Long, unit As Long
    CharacterCount = 0
    For i = 1 To unitPosition
        unit = AscW(Mid$(unicodeText, i, 1)) And &HFFFF&
        If unit < &HDC00 Or unit > &HDFFF Then CharacterCount = CharacterCount + 1
    Next i
End Function

' The document buildTable makes of Table, or the library's refusal. A Range gives its
' values; an array goes to the library as it is, by reference and read in place, and the
' library makes its values text itself, the same in every locale.
Private Function TableDocument(ByRef Table As Variant, ByVal rootName As String, ByVal recordName As String) As String
    Dim root() As Byte, record() As Byte, tableCells As Variant
    root = Utf8Bytes(rootName)
    record = Utf8Bytes(recordName)
    If IsObject(Table) Then
        tableCells = Table.Value
        TableDocument = LibraryText(pelzorBuildTable(VarPtr(root(0)), VarPtr(record(0)), tableCells))
    Else
        TableDocument = LibraryText(pelzorBuildTable(VarPtr(root(0)), VarPtr(record(0)), Table))
    End If
End Function

' Raises error 5 for a path the library does not understand, naming the character (counted
' from 1, a character beyond U+FFFF, a surrogate pair, as one) where it stopped understanding
' it. No document is read.
Private Sub RefuseUnknownPath(ByRef pathText As String)
    Dim pathBytes() As Byte, stoppedAt As Long
    pathBytes = Utf8Bytes(pathText)
    stoppedAt = pelzorCheckPath(VarPtr(pathBytes(0)))
    If stoppedAt >= 0 Then
        Err.Raise 5, "Pelzor", "Path not understood at character " & _
                               Mid$(Str$(CharacterAtByte(pathText, stoppedAt)), 2) & ": " & pathText
    End If
End Sub

' The position, counted from 1, of the character of unicodeText whose UTF-8 form starts at
' byte byteOffset of the text's (one more than the text's characters for its end). A
' surrogate pair is one character of four bytes; Utf8Bytes has refused lone surrogates.
Private Function CharacterAtByte(ByRef unicodeText As String, ByVal byteOffset As Long) As Long
    Dim i As Long, unit As Long, bytesBefore As Long, counted As Long
    i = 1
    Do While i <= Len(unicodeText) And bytesBefore < byteOffset
        unit = AscW(Mid$(unicodeText, i, 1)) And &HFFFF&
        If unit < &H80 Then
            bytesBefore = bytesBefore + 1
        ElseIf unit < &H800 Then
            bytesBefore = bytesBefore + 2
        ElseIf unit >= &HD800 And unit < &HDC00 Then
            bytesBefore = bytesBefore + 4  ' the high half of a pair; the low half follows
            i = i + 1
        Else
            bytesBefore = bytesBefore + 3
        End If
        i = i + 1
        counted = counted + 1
    Loop
    CharacterAtByte = counted + 1
End Function

' ---- Documents in files ---------------------------------------------------------------

' The text of the file at Path (any path, in any language). The encoding is found as the
' W3C XML recommendation's appendix on autodetecting encodings does (TextOfFileBytes): a
' byte-order mark, UTF-16 without a mark, or else the encoding the XML declaration names
' (UTF-8 when it names none). Raises error 53 "File not found" or 76 "Path not found" with
' the path, 75 when the file cannot be read, and 5 when the declaration names an encoding
' the module does not know or the bytes are not valid in the file's encoding.
Public Function ReadXMLFile(ByVal Path As String) As String
    Dim fileHandle As LongPtr, bytes() As Byte, byteCount As Long, sizeHigh As Long, done As Long
    Dim decoded As String, failure As Long, message As String
    fileHandle = OpenFile(Path)
    On Error GoTo Release
    byteCount = GetFileSize(fileHandle, sizeHigh)
    If byteCount = -1 Then  ' INVALID_FILE_SIZE: a failure, or a size that ends in FFFFFFFF
        failure = Err.LastDllError
        If failure <> 0 Then Err.Raise 75, , "Cannot read the file's size (Windows error " & failure & ")"
    End If
    If sizeHigh <> 0 Or byteCount < 0 Then Err.Raise 7, , "File too large to read into a String"
    If byteCount > 0 Then
        ReDim bytes(0 To byteCount - 1)
        If ReadFile(fileHandle, VarPtr(bytes(0)), byteCount, done, 0) = 0 Then
            Err.Raise 75, , "Cannot read the file (Windows error " & Err.LastDllError & ")"
        End If
        If done <> byteCount Then Err.Raise 75, , "The file was cut short while it was read"
        decoded = TextOfFileBytes(bytes)
    End If
Release:
    failure = Err.Number
    message = Err.Description
    On Error GoTo 0
    CloseHandle fileHandle
    If failure <> 0 Then Err.Raise failure, "Pelzor.ReadXMLFile", message & ": " & Path
    ReadXMLFile = decoded
End Function

' Writes Text to the file at Path as UTF-8 without a byte-order mark (but when Text starts
' with the character U+FEFF, which becomes one), replacing the file if there is one. An XML
' declaration at the start is made to say so: its encoding becomes "UTF-8", or
' encoding="UTF-8" is added after its version; nothing else changes. The text goes to a new
' file in the same folder first (~pz<process>-<n>.tmp), which takes the old file's place
' only when every byte is written and flushed to the disk (PutInPlace), and the replaced
' file keeps its ACL, creation time, attributes and alternate streams; when anything fails
' the old file stays as it was and the new one is removed. Raises error 76 "Path not found"
' when the folder does not exist, 70 "Permission denied" when the file is read-only or open
' in another program that does not share it, and 75 when the file cannot be written.
Public Sub WriteXMLFile(ByVal Path As String, ByVal Text As String)
    Dim bytes() As Byte, byteCount As Long, done As Long, fileHandle As LongPtr, newPath As String
    Dim closed As Long, failure As Long, message As String
    If Len(Path) = 0 Then Err.Raise 52, "Pelzor.WriteXMLFile", "Bad file name: the path is empty"
    bytes = Utf8Bytes(DeclaredAsUtf8(Text))
    byteCount = UBound(bytes)  ' the bytes of the text, without the closing NUL
    fileHandle = CreateNewFile(Path, newPath)
    On Error GoTo Release
    If byteCount > 0 Then
        If WriteFile(fileHandle, VarPtr(bytes(0)), byteCount, done, 0) = 0 Then
            Err.Raise 75, , "Cannot write the file (Windows error " & Err.LastDllError & ")"
        End If
        If done <> byteCount Then Err.Raise 75, , "The disk took only part of the text"
    End If
    If FlushFileBuffers(fileHandle) = 0 Then
        Err.Raise 75, , "Cannot write the file to the disk (Windows error " & Err.LastDllError & ")"
    End If
    closed = CloseHandle(fileHandle)
    fileHandle = 0
    If closed = 0 Then Err.Raise 75, , "Cannot finish writing the file (Windows error " & Err.LastDllError & ")"
    PutInPlace newPath, Path
Release:
    failure = Err.Number
    message = Err.Description
    On Error GoTo 0
    If failure <> 0 Then
        If fileHandle <> 0 Then CloseHandle fileHandle
        DeleteFileW StrPtr(newPath)
        Err.Raise failure, "Pelzor.WriteXMLFile", message & ": " & Path
    End If
End Sub

' A handle of the file at filePath, opened for reading.
Private Function OpenFile(ByVal filePath As String) As LongPtr
    Dim fileHandle As LongPtr, failure As Long
    If Len(filePath) = 0 Then Err.Raise 52, "Pelzor", "Bad file name: the path is empty"
    fileHandle = CreateFileW(StrPtr(filePath), GENERIC_READ, FILE_SHARE_READ Or FILE_SHARE_WRITE, 0, OPEN_EXISTING, _
                             FILE_ATTRIBUTE_NORMAL, 0)
    If fileHandle = -1 Then  ' INVALID_HANDLE_VALUE
        failure = Err.LastDllError
        If failure = ERROR_FILE_NOT_FOUND Then Err.Raise 53, "Pelzor", "File not found: " & filePath
        If failure = ERROR_PATH_NOT_FOUND Then Err.Raise 76, "Pelzor", "Path not found: " & filePath
        Err.Raise 75, "Pelzor", "Cannot open " & filePath & " (Windows error " & failure & ")"
    End If
    OpenFile = fileHandle
End Function

' Puts the complete new file at newPath in targetPath's place. A file there is replaced with
' ReplaceFileW, so that it keeps its ACL, creation time, attributes and alternate streams
' (what it cannot merge, for want of the right to change the ACL, say, it leaves out rather
' than fail); a read-only one is refused. ReplaceFileW moves the old file aside to a backup
' name first, and when it fails after that, the old file is put back, so it keeps its bytes
' whatever fails. Where ReplaceFileW refuses (some network shares), MoveFileExW replaces
' the file, as it puts the new file where there was none.
Private Sub PutInPlace(ByVal newPath As String, ByVal targetPath As String)
    Dim oldAttributes As Long, backupPath As String, failure As Long
    oldAttributes = GetFileAttributesW(StrPtr(targetPath))
    If oldAttributes <> INVALID_FILE_ATTRIBUTES Then
        If (oldAttributes And FILE_ATTRIBUTE_READONLY) <> 0 Then Err.Raise 70, , "Permission denied: the file is read-only"
        backupPath = UnusedNameNextTo(targetPath)
        If ReplaceFileW(StrPtr(targetPath), StrPtr(newPath), StrPtr(backupPath), _
                        REPLACEFILE_IGNORE_MERGE_ERRORS Or REPLACEFILE_IGNORE_ACL_ERRORS, 0, 0) <> 0 Then
            DeleteFileW StrPtr(backupPath)
            Exit Sub
        End If
        If GetFileAttributesW(StrPtr(targetPath)) <> INVALID_FILE_ATTRIBUTES Then
            DeleteFileW StrPtr(backupPath)  ' a copy, if ReplaceFileW made one
        ElseIf MoveFileExW(StrPtr(backupPath), StrPtr(targetPath), 0) = 0 Then
            Err.Raise 75, , "Cannot put the new file in the old one's place; the old file is kept as " & backupPath
        End If
    End If
    If MoveFileExW(StrPtr(newPath), StrPtr(targetPath), MOVEFILE_REPLACE_EXISTING Or MOVEFILE_WRITE_THROUGH) = 0 Then
        failure = Err.LastDllError
        If failure = ERROR_ACCESS_DENIED Or failure = ERROR_SHARING_VIOLATION Then
            Err.Raise 70, , "Permission denied: the file is read-only or open in another program (Windows error " & _
                            failure & ")"
        End If
        Err.Raise 75, , "Cannot put the new file in the old one's place (Windows error " & failure & ")"
    End If
End Sub

' The short name of a temporary file in targetPath's folder: ~pz<process>-<attempt>.tmp, in
' hexadecimal. Short, so that a path near the length limit has room for it.
Private Function TemporaryName(ByVal targetPath As String, ByVal attempt As Long) As String
    Dim folderEnd As Long
    folderEnd = InStrRev(Replace(Replace(targetPath, "/", "\"), ":", "\"), "\")
    TemporaryName = Left$(targetPath, folderEnd) & "~pz" & Hex$(GetCurrentProcessId()) & "-" & Hex$(attempt) & ".tmp"
End Function

' A temporary name next to targetPath that no file has.
Private Function UnusedNameNextTo(ByVal targetPath As String) As String
    Dim attempt As Long, candidate As String
    Do
        attempt = attempt + 1
        candidate = TemporaryName(targetPath, attempt)
    Loop While GetFileAttributesW(StrPtr(candidate)) <> INVALID_FILE_ATTRIBUTES And attempt < 1000
    UnusedNameNextTo = candidate
End Function

' A handle of a new file with a temporary name next to targetPath, opened for writing;
' newPath gets its path.
Private Function CreateNewFile(ByVal targetPath As String, ByRef newPath As String) As LongPtr
    Dim attempt As Long, fileHandle As LongPtr, failure As Long
    For attempt = 1 To 100
        newPath = TemporaryName(targetPath, attempt)
        fileHandle = CreateFileW(StrPtr(newPath), GENERIC_WRITE, 0, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0)
        If fileHandle <> -1 Then  ' not INVALID_HANDLE_VALUE
            CreateNewFile = fileHandle
            Exit Function
        End If
        failure = Err.LastDllError
        If failure <> ERROR_FILE_EXISTS Then Exit For
    Next attempt
    If failure = ERROR_PATH_NOT_FOUND Then Err.Raise 76, "Pelzor.WriteXMLFile", "Path not found: " & targetPath
    If failure = ERROR_ACCESS_DENIED Then
        Err.Raise 70, "Pelzor.WriteXMLFile", "Permission denied: cannot create a file in the folder of " & targetPath
    End If
    Err.Raise 75, "Pelzor.WriteXMLFile", "Cannot create a file next to " & targetPath & " (Windows error " & failure & ")"
End Function

' The text of a file's bytes, found as the W3C XML recommendation's appendix on
' autodetecting encodings does:
' - a byte-order mark: UTF-8 (EF BB BF), UTF-16 little-endian (FF FE) or big-endian (FE FF);
' - no mark, and one of the first two bytes 0: UTF-16 without a mark, little-endian when the
'   second is 0 ("<" is 3C 00), big-endian when the first is (00 3C). No other encoding the
'   module reads has a 0 byte in a document;
' - else the encoding the XML declaration names (CodePageOf), UTF-8 when there is none.
Private Function TextOfFileBytes(ByRef bytes() As Byte) As String
    Dim byteCount As Long
    byteCount = UBound(bytes) + 1
    If byteCount >= 3 Then
        If bytes(0) = &HEF And bytes(1) = &HBB And bytes(2) = &HBF Then
            If byteCount > 3 Then TextOfFileBytes = TextFromUtf8(VarPtr(bytes(3)), byteCount - 3, True)
            Exit Function
        End If
    End If
    If byteCount >= 2 Then
        If bytes(0) = &HFF And bytes(1) = &HFE Then
            TextOfFileBytes = TextOfUtf16(bytes, 2, False)
        ElseIf bytes(0) = &HFE And bytes(1) = &HFF Then
            TextOfFileBytes = TextOfUtf16(bytes, 2, True)
        ElseIf bytes(0) <> 0 And bytes(1) = 0 Then
            TextOfFileBytes = TextOfUtf16(bytes, 0, False)
        ElseIf bytes(0) = 0 And bytes(1) <> 0 Then
            TextOfFileBytes = TextOfUtf16(bytes, 0, True)
        Else
            TextOfFileBytes = TextInCodePage(CodePageOf(DeclaredEncoding(bytes)), VarPtr(bytes(0)), byteCount)
        End If
        Exit Function
    End If
    TextOfFileBytes = TextInCodePage(CP_UTF8, VarPtr(bytes(0)), byteCount)
End Function

' The text of UTF-16 bytes from index first on, big- or little-endian.
Private Function TextOfUtf16(ByRef bytes() As Byte, ByVal first As Long, ByVal bigEndian As Boolean) As String
    Dim byteCount As Long, i As Long, swap As Byte, units As String
    byteCount = UBound(bytes) + 1
    If (byteCount - first) Mod 2 <> 0 Then Err.Raise 5, , "Text is not UTF-16: its length is odd"
    If bigEndian Then
        For i = first To byteCount - 2 Step 2
            swap = bytes(i): bytes(i) = bytes(i + 1): bytes(i + 1) = swap
        Next i
    End If
    units = bytes  ' the bytes taken as UTF-16 code units, unconverted
    TextOfUtf16 = Mid$(units, first \ 2 + 1)
End Function

' The encoding named in the XML declaration at the start of a file's bytes (ASCII in every
' encoding the module reads without a mark); "" when there is no declaration or it names none.
Private Function DeclaredEncoding(ByRef bytes() As Byte) As String
    Dim head As String, i As Long, ending As Long, valueStart As Long, valueLength As Long
    For i = 0 To UBound(bytes)
        If i = 512 Then Exit For
        head = head & ChrW$(bytes(i))
    Next i
    ending = DeclarationEnd(head)
    If ending = 0 Then Exit Function
    If FindPseudoAttribute(Left$(head, ending - 1), "encoding", valueStart, valueLength) Then
        DeclaredEncoding = Mid$(head, valueStart, valueLength)
    End If
End Function

' The code page of an encoding name, compared without regard to case. A declaration that
' names UTF-16 on bytes that are not UTF-16 belongs to a document that was written as UTF-8
' and kept the declaration of where it came from: read as UTF-8. ISO-8859-10 and -14 have
' no Windows code page; they and every other name raise error 5.
Private Function CodePageOf(ByVal encodingName As String) As Long
    Dim upperName As String
    upperName = UCase$(encodingName)
    Select Case upperName
    Case "", "UTF-8", "UTF8", "UTF-16", "UTF-16LE", "UTF-16BE", "UCS-2", "ISO-10646-UCS-2"
        CodePageOf = CP_UTF8
    Case "US-ASCII", "ASCII", "ANSI_X3.4-1968"
        CodePageOf = 20127
    Case "ISO-8859-1", "ISO-8859-2", "ISO-8859-3", "ISO-8859-4", "ISO-8859-5", "ISO-8859-6", "ISO-8859-7", _
         "ISO-8859-8", "ISO-8859-9"
        CodePageOf = 28590 + Val(Mid$(upperName, 10))
    Case "ISO-8859-11", "TIS-620"
        CodePageOf = 874  ' Thai: windows-874 holds all of it
    Case "ISO-8859-13"
        CodePageOf = 28603
    Case "ISO-8859-15"
        CodePageOf = 28605
    Case "WINDOWS-1250", "WINDOWS-1251", "WINDOWS-1252", "WINDOWS-1253", "WINDOWS-1254", "WINDOWS-1255", _
         "WINDOWS-1256", "WINDOWS-1257", "WINDOWS-1258"
        CodePageOf = Val(Mid$(upperName, 9))
    Case "SHIFT_JIS", "SHIFT-JIS", "SJIS", "MS_KANJI", "WINDOWS-31J", "CP932"
        CodePageOf = 932
    Case "EUC-JP"
        CodePageOf = 20932
    Case "GB2312", "GBK", "CP936"
        CodePageOf = 936
    Case "GB18030"
        CodePageOf = 54936
    Case "BIG5", "BIG-5", "CP950"
        CodePageOf = 950
    Case "EUC-KR", "KS_C_5601-1987", "CP949"
        CodePageOf = 949
    Case "KOI8-R"
        CodePageOf = 20866
    Case "KOI8-U"
        CodePageOf = 21866
    Case Else
        Err.Raise 5, "Pelzor", "The XML declaration names the encoding """ & encodingName & """, which this module cannot read"
    End Select
End Function

' The text of byteLength bytes at address bytes in a file's code page; bytes that are not
' valid in it raise error 5.
Private Function TextInCodePage(ByVal codePage As Long, ByVal bytes As LongPtr, ByVal byteLength As Long) As String
    Dim decoded As String, unitCount As Long
    If codePage = CP_UTF8 Then
        TextInCodePage = TextFromUtf8(bytes, byteLength, True)
        Exit Function
    End If
    unitCount = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, byteLength, 0, 0)
    If unitCount = 0 Then
        Err.Raise 5, "Pelzor", "The bytes are not valid in the file's encoding (code page " & codePage & _
                               ", Windows error " & Err.LastDllError & ")"
    End If
    decoded = String$(unitCount, vbNullChar)
    MultiByteToWideChar codePage, MB_ERR_INVALID_CHARS, bytes, byteLength, StrPtr(decoded), unitCount
    TextInCodePage = decoded
End Function

' The text with its XML declaration, if it starts with one, saying encoding="UTF-8": the
' encoding's value is replaced, or the encoding is added after the version. Nothing else
' changes.
Private Function DeclaredAsUtf8(ByVal documentText As String) As String
    Dim ending As Long, head As String, valueStart As Long, valueLength As Long
    DeclaredAsUtf8 = documentText
    ending = DeclarationEnd(documentText)
    If ending = 0 Then Exit Function
    head = Left$(documentText, ending - 1)
    If FindPseudoAttribute(head, "encoding", valueStart, valueLength) Then
        DeclaredAsUtf8 = Left$(documentText, valueStart - 1) & "UTF-8" & Mid$(documentText, valueStart + valueLength)
    ElseIf FindPseudoAttribute(head, "version", valueStart, valueLength) Then
        ' after the version's closing quote
        DeclaredAsUtf8 = Left$(documentText, valueStart + valueLength) & " encoding=""UTF-8""" & _
                         Mid$(documentText, valueStart + valueLength + 1)
    End If
End Function

' The position of "?>" when the text starts with an XML declaration ("<?xml" and white
' space, after a byte-order mark if there is one); 0 otherwise.
Private Function DeclarationEnd(ByVal documentText As String) As Long
    Dim first As Long
    first = 1
    If Left$(documentText, 1) = ChrW$(&HFEFF) Then first = 2
    If Mid$(documentText, first, 5) <> "<?xml" Then Exit Function
    If InStr(" " & vbTab & vbCr & vbLf, Mid$(documentText, first + 5, 1)) = 0 Then Exit Function
    DeclarationEnd = InStr(first, documentText, "?>")
End Function

' Finds attributeName = "value" (or 'value') in the text of a declaration; valueStart and
' valueLength get the value's place.
Private Function FindPseudoAttribute(ByVal head As String, ByVal attributeName As String, ByRef valueStart As Long, _
                                     ByRef valueLength As Long) As Boolean
    Dim at As Long, quote As String, closing As Long
    at = InStr(head, " " & attributeName)
    If at = 0 Then at = InStr(head, vbTab & attributeName)
    If at = 0 Then at = InStr(head, vbLf & attributeName)
    If at = 0 Then at = InStr(head, vbCr & attributeName)
    If at = 0 Then Exit Function
    at = at + 1 + Len(attributeName)
    Do While InStr(" " & vbTab & vbCr & vbLf, Mid$(head, at, 1)) > 0 And at <= Len(head)
        at = at + 1
    Loop
    If Mid$(head, at, 1) <> "=" Then Exit Function
    at = at + 1
    Do While InStr(" " & vbTab & vbCr & vbLf, Mid$(head, at, 1)) > 0 And at <= Len(head)
        at = at + 1
    Loop
    quote = Mid$(head, at, 1)
    If quote <> """" And quote <> "'" Then Exit Function
    closing = InStr(at + 1, head, quote)
    If closing = 0 Then Exit Function
    valueStart = at + 1
    valueLength = closing - at - 1
    FindPseudoAttribute = True
End Function

' ---- The one way text crosses: String to UTF-8 bytes and back ---------------------------

' The UTF-8 bytes of text followed by one NUL, for the library's char* arguments: pass
' VarPtr(bytes(0)). An empty text gives the NUL alone. A NUL inside the text would end it
' early for the library, so it is refused rather than cut short silently; so is a lone
' surrogate (half of a pair, no character), which UTF-8 cannot hold (WC_ERR_INVALID_CHARS)
' and which would otherwise become U+FFFD.
Private Function Utf8Bytes(ByRef unicodeText As String) As Byte()
    Dim bytes() As Byte, byteCount As Long
    If InStr(unicodeText, vbNullChar) > 0 Then Err.Raise 5, "Pelzor", "Text holds a NUL character"
    If Len(unicodeText) > 0 Then
        byteCount = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, StrPtr(unicodeText), Len(unicodeText), 0, 0, 0, 0)
        If byteCount = 0 Then
            Err.Raise 5, "Pelzor", "Text holds a lone surrogate (half of a character beyond U+FFFF), " & _
                                   "which UTF-8 cannot hold"
        End If
    End If
    ReDim bytes(0 To byteCount)
    If byteCount > 0 Then
        WideCharToMultiByte CP_UTF8, WC_ERR_INVALID_CHARS, StrPtr(unicodeText), Len(unicodeText), VarPtr(bytes(0)), _
                            byteCount, 0, 0
    End If
    Utf8Bytes = bytes
End Function

' The String of the byteLength UTF-8 bytes at address bytes. Bytes that are not UTF-8
' become U+FFFD, or with strict raise error 5.
Private Function TextFromUtf8(ByVal bytes As LongPtr, ByVal byteLength As Long, ByVal strict As Boolean) As String
    Dim decoded As String, unitCount As Long, flags As Long
    If byteLength = 0 Then Exit Function
    If strict Then flags = MB_ERR_INVALID_CHARS
    unitCount = MultiByteToWideChar(CP_UTF8, flags, bytes, byteLength, 0, 0)
    If unitCount = 0 Then Err.Raise 5, "Pelzor", "Text is not UTF-8"
    decoded = String$(unitCount, vbNullChar)
    MultiByteToWideChar CP_UTF8, flags, bytes, byteLength, StrPtr(decoded), unitCount
    TextFromUtf8 = decoded
End Function

' The text of a result string of the library (a BSTR of UTF-8 bytes), which is then freed:
' exactly once, on the way out, whether decoding succeeds or fails. A null result is the
' library's sign that it ran out of memory.
Private Function LibraryText(ByVal returned As LongPtr) As String
    Dim decoded As String, failure As Long, message As String
    If returned = 0 Then Err.Raise 7, "Pelzor", "Out of memory"
    On Error GoTo Release
    decoded = TextFromUtf8(returned, SysStringByteLen(returned), False)
Release:
    failure = Err.Number
    message = Err.Description
    On Error GoTo 0
    SysFreeString returned
    If failure <> 0 Then Err.Raise failure, "Pelzor", message
    LibraryText = decoded
End Function
