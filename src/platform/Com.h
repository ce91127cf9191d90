// Small RAII guards for what Microsoft::WRL::ComPtr does not cover: the COM apartment,
// BSTR and VARIANT. Each owns exactly one thing and frees it on every path.
#pragma once

#include "platform/Platform.h"
#include "platform/Win32.h"

#include <oleauto.h>
#include <string>

namespace quenlith {

// Joins the calling thread to a single-threaded apartment for the guard's lifetime.
class ComApartment {
public:
    ComApartment() {
        const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (FAILED(hr)) {
            throw PlatformError("CoInitializeEx", static_cast<std::uint32_t>(hr));
        }
    }
    ~ComApartment() { ::CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

class Bstr {
public:
    explicit Bstr(const std::wstring& text)
        : value_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
        if (value_ == nullptr) {
            throw PlatformError("SysAllocStringLen", static_cast<std::uint32_t>(E_OUTOFMEMORY));
        }
    }
    ~Bstr() { ::SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : value_(other.value_) { other.value_ = nullptr; }

    BSTR* address() { return &value_; }

private:
    BSTR value_;
};

class Variant {
public:
    Variant() { ::VariantInit(&value_); }
    ~Variant() { ::VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* get() { return &value_; }
    const VARIANT& operator*() const { return value_; }

private:
    VARIANT value_;
};

} // namespace quenlith
