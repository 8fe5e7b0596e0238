// Small owners of COM's resources: a BSTR, a VARIANT, an interface pointer, the texts of
// an EXCEPINFO, and the attribute blocks of type information. Whatever path a function
// leaves by, what it took is given back. The shell, the Wine tests and the stand-in
// host all use these; nothing else frees a BSTR, clears a VARIANT or releases a
// reference it took by hand.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace zelm {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "BSTR text is UTF-16");

// Our UTF-16 text as the system's wide text.
inline const wchar_t* WideText(const char16_t* Text) noexcept { return reinterpret_cast<const wchar_t*>(Text); }

// A BSTR's text, read as SysStringLen would but without the call (a label request
// reads one each time): its byte length stands in the four bytes before it. A null
// BSTR is the empty text.
inline std::u16string_view BstrText(BSTR Value) noexcept {
  if (Value == nullptr) return {};
  UINT Bytes;
  std::memcpy(&Bytes, reinterpret_cast<const char*>(Value) - sizeof Bytes, sizeof Bytes);
  return {reinterpret_cast<const char16_t*>(Value), Bytes / sizeof(OLECHAR)};
}

class TBstr {
 public:
  TBstr() = default;
  explicit TBstr(const wchar_t* Text) : FValue(Text ? SysAllocString(Text) : nullptr) {
    if (Text && !FValue) throw std::bad_alloc();
  }
  explicit TBstr(std::wstring_view Text) : FValue(Allocate(Text.data(), Text.size())) {}
  explicit TBstr(const std::wstring& Text) : TBstr(std::wstring_view(Text)) {}
  explicit TBstr(std::u16string_view Text)
      : FValue(Allocate(reinterpret_cast<const wchar_t*>(Text.data()), Text.size())) {}
  ~TBstr() { SysFreeString(FValue); }
  TBstr(const TBstr&) = delete;
  TBstr& operator=(const TBstr&) = delete;
  TBstr(TBstr&& Other) noexcept : FValue(std::exchange(Other.FValue, nullptr)) {}
  TBstr& operator=(TBstr&& Other) noexcept {
    if (this != &Other) {
      SysFreeString(FValue);
      FValue = std::exchange(Other.FValue, nullptr);
    }
    return *this;
  }

  BSTR Get() const noexcept { return FValue; }
  // For an out parameter: what was held goes first.
  BSTR* Out() noexcept {
    SysFreeString(FValue);
    FValue = nullptr;
    return &FValue;
  }
  // The pointer itself, for in/out parameters that must come back untouched.
  BSTR* Ref() noexcept { return &FValue; }
  // Hands the string over (an answer to a caller): this owner then holds nothing.
  BSTR Detach() noexcept { return std::exchange(FValue, nullptr); }
  bool IsNull() const noexcept { return FValue == nullptr; }
  std::wstring Text() const { return FValue ? std::wstring(FValue, SysStringLen(FValue)) : std::wstring(); }

 private:
  static BSTR Allocate(const wchar_t* Text, std::size_t Length) {
    BSTR Value = SysAllocStringLen(Text, static_cast<UINT>(Length));
    if (!Value) throw std::bad_alloc();
    return Value;
  }
  BSTR FValue = nullptr;
};

// A VARIANT, cleared with its owner. Where a VARIANT* is wanted, &Value.Get() is it:
// the owner's own address is an owner's.
class TVariant {
 public:
  TVariant() noexcept { VariantInit(&FValue); }
  ~TVariant() { VariantClear(&FValue); }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;
  TVariant(TVariant&& Other) noexcept : FValue(Other.FValue) { VariantInit(&Other.FValue); }
  TVariant& operator=(TVariant&&) = delete;

  VARIANT& Get() noexcept { return FValue; }
  const VARIANT& Get() const noexcept { return FValue; }

 private:
  VARIANT FValue;
};

// A reference to a COM object. Made from a raw pointer it takes a reference of its
// own, as copying does; one the caller already holds is taken over by Adopt.
template <class T>
class TComPtr {
 public:
  TComPtr() = default;
  explicit TComPtr(T* Object) noexcept : FValue(Object) {
    if (FValue) FValue->AddRef();
  }
  static TComPtr Adopt(T* Held) noexcept {
    TComPtr Owner;
    Owner.FValue = Held;
    return Owner;
  }
  ~TComPtr() { Reset(); }
  TComPtr(const TComPtr& Other) noexcept : TComPtr(Other.FValue) {}
  // Copy and swap: assigning an owner to itself keeps its reference.
  TComPtr& operator=(const TComPtr& Other) noexcept {  // NOLINT(bugprone-unhandled-self-assignment)
    TComPtr Copy(Other);                               // first: Other may hold the last reference to what we hold
    std::swap(FValue, Copy.FValue);
    return *this;
  }
  TComPtr(TComPtr&& Other) noexcept : FValue(std::exchange(Other.FValue, nullptr)) {}
  TComPtr& operator=(TComPtr&& Other) noexcept {
    if (this != &Other) {
      Reset();
      FValue = std::exchange(Other.FValue, nullptr);
    }
    return *this;
  }

  T* Get() const noexcept { return FValue; }
  T* operator->() const noexcept { return FValue; }
  explicit operator bool() const noexcept { return FValue != nullptr; }
  T** Out() noexcept {
    Reset();
    return &FValue;
  }
  void** OutVoid() noexcept { return reinterpret_cast<void**>(Out()); }
  void Reset() noexcept {
    if (FValue) std::exchange(FValue, nullptr)->Release();
  }
  T* Detach() noexcept { return std::exchange(FValue, nullptr); }

 private:
  T* FValue = nullptr;
};

// A new COM object of ours, held by its first reference: the count owns it from then on.
template <class T, class... TArgs>
TComPtr<T> MakeComObject(TArgs&&... Args) {
  return TComPtr<T>::Adopt(new T(std::forward<TArgs>(Args)...));  // NOLINT(cppcoreguidelines-owning-memory)
}

// An EXCEPINFO whose texts go with it.
struct TExcepInfo : EXCEPINFO {
  TExcepInfo() noexcept : EXCEPINFO{} {}
  ~TExcepInfo() {
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
  }
  TExcepInfo(const TExcepInfo&) = delete;
  TExcepInfo& operator=(const TExcepInfo&) = delete;
};

// An attribute block of type information (GetTypeAttr, GetLibAttr), given back with
// the owner; empty when it could not be read.
template <class TSource, class TAttr, HRESULT (STDMETHODCALLTYPE TSource::*Get)(TAttr**),
          void (STDMETHODCALLTYPE TSource::*Give)(TAttr*)>
class TAttrBlock {
 public:
  explicit TAttrBlock(TSource* Source) noexcept : FSource(Source) {
    if (!Source || FAILED((Source->*Get)(&FAttr))) FAttr = nullptr;
  }
  ~TAttrBlock() {
    if (FAttr) (FSource->*Give)(FAttr);
  }
  TAttrBlock(const TAttrBlock&) = delete;
  TAttrBlock& operator=(const TAttrBlock&) = delete;
  explicit operator bool() const noexcept { return FAttr != nullptr; }
  const TAttr* operator->() const noexcept { return FAttr; }

 private:
  TSource* FSource;
  TAttr* FAttr = nullptr;
};

using TTypeAttr = TAttrBlock<ITypeInfo, TYPEATTR, &ITypeInfo::GetTypeAttr, &ITypeInfo::ReleaseTypeAttr>;
using TLibAttr = TAttrBlock<ITypeLib, TLIBATTR, &ITypeLib::GetLibAttr, &ITypeLib::ReleaseTLibAttr>;

}  // namespace zelm
