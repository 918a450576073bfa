#pragma once
// The real pelzor.dll, loaded with LoadLibrary and called through its decorated export
// names exactly as macro code calls it. In the 32-bit build every call also checks that
// the callee removed exactly its argument bytes from the stack.

#include <windows.h>

#include <oleauto.h>

#include <cstdint>
#include <string>
#include <vector>

#include "export_table.h"

class PelzorDll {
public:
    PelzorDll();
    ~PelzorDll();
    PelzorDll(const PelzorDll&) = delete;
    PelzorDll& operator=(const PelzorDll&) = delete;

    HMODULE module() const { return module_; }
    FARPROC byName(const char* decorated) const;
    FARPROC byOrdinal(int ordinal) const;

    wchar_t* appendXMLChild(const char* xml, const char* child, const char* parent,
                            const char* text, bool unescape);
    // appendXMLChild with the bool's whole argument slot as given (a machine word: on the
    // stack in both builds, 4 bytes in the 32-bit one, 8 in the 64-bit one).
    wchar_t* appendXMLChildSlot(const char* xml, const char* child, const char* parent,
                                const char* text, std::uintptr_t unescapeSlot);
    wchar_t* createBlankXML(const char* root);
    bool getDouble1DArray(const char* xml, const char* name, double* values, int count);
    bool getDouble2DArray(const char* xml, const char* name, double* values, int count);
    int getDoubleArrayColumns(const char* xml, const char* name);
    int getDoubleArrayRows(const char* xml, const char* name);
    double getDoubleValue(const char* xml, const char* name);
    int getIntegerValue(const char* xml, const char* name);
    wchar_t* getStringValue(const char* xml, const char* name);
    int checkPath(const char* path);
    wchar_t* selectText(const char* xml, const char* path);
    wchar_t* selectTexts(const char* xml, const char* path);
    int selectCount(const char* xml, const char* path);
    int selectDoubles(const char* xml, const char* path, double* values, int count);
    int selectTable(const char* xml, const char* recordPath, const char* columnPaths,
                    VARIANT* table);
    wchar_t* buildTable(const char* root, const char* record, VARIANT* table);

private:
    struct RawResult {
        std::uint32_t eax = 0;
        std::uint64_t rax = 0;
        double floating = 0.0;
    };
    enum class Returns { Integer, Floating };
    // Calls the export with its arguments as machine words; fails the running test when a
    // 32-bit callee leaves a wrong number of bytes on the stack.
    RawResult call(const char* function, const std::vector<std::uintptr_t>& args, Returns kind);

    HMODULE module_;
};

// Owns a BSTR returned by the DLL and frees it with SysFreeString.
class Bstr {
public:
    explicit Bstr(wchar_t* text) : text_(text) {}
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    bool isNull() const { return text_ == nullptr; }
    UINT byteLength() const { return SysStringByteLen(text_); }
    // The payload bytes, as many as the length prefix counts.
    std::string bytes() const {
        return text_ ? std::string(reinterpret_cast<const char*>(text_), byteLength()) : "<null>";
    }

private:
    wchar_t* text_;
};
