#pragma once

#include <windows.h>

#include <ole2.h>
#include <oleauto.h>

#include <utility>

// Owners for COM resources: each gives its resource back when it goes out of scope, so
// that resources taken one after another are released most recent first on every path.

// One counted reference to a COM interface.
template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    explicit ComRef(Interface* adopted) : pointer_(adopted) {}
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    ~ComRef() { reset(); }

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // Where a call stores a reference it hands out; any reference held is released first.
    Interface** receive() {
        reset();
        return &pointer_;
    }
    // For calls that hand out their reference typed as void**.
    void** receiveVoid() { return reinterpret_cast<void**>(receive()); }
    // Gives up ownership without releasing.
    Interface* detach() { return std::exchange(pointer_, nullptr); }
    void reset() {
        if (pointer_ != nullptr) {
            std::exchange(pointer_, nullptr)->Release();
        }
    }

private:
    Interface* pointer_ = nullptr;
};

// One BSTR, freed with SysFreeString.
class BstrHolder {
public:
    BstrHolder() = default;
    explicit BstrHolder(BSTR adopted) : text_(adopted) {}
    BstrHolder(const BstrHolder&) = delete;
    BstrHolder& operator=(const BstrHolder&) = delete;
    ~BstrHolder() { SysFreeString(text_); }

    BSTR get() const { return text_; }
    BSTR* receive() {
        SysFreeString(std::exchange(text_, nullptr));
        return &text_;
    }

private:
    BSTR text_ = nullptr;
};

// One VARIANT, cleared with VariantClear.
class VariantHolder {
public:
    VariantHolder() { VariantInit(&value_); }
    VariantHolder(const VariantHolder&) = delete;
    VariantHolder& operator=(const VariantHolder&) = delete;
    ~VariantHolder() { VariantClear(&value_); }

    VARIANT* get() { return &value_; }
    const VARIANT& value() const { return value_; }

private:
    VARIANT value_;
};
