// The host's objects as the core sees them, bound to IDispatch: each call is looked up
// by name and invoked late-bound, and the answer comes back as text.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "host/HostObject.h"

namespace zelm {

class TDispatchHost final : public THostObject {
 public:
  explicit TDispatchHost(IDispatch* Dispatch) noexcept;  // takes its own reference
  ~TDispatchHost() override;
  TDispatchHost(const TDispatchHost&) = delete;
  TDispatchHost& operator=(const TDispatchHost&) = delete;

  std::u16string Call(std::u16string_view Name, THostCallKind Kind, std::initializer_list<THostArg> Args) override;

 private:
  DISPID MemberId(std::u16string_view Name);

  IDispatch* FDispatch;
};

// An answer from the host as text: empty gives "", a BSTR stays as it is, numbers and
// Booleans give their text; anything else (Null first of all) fails with
// "Could not convert variant of type (...) into type (OleStr)".
std::u16string VariantToText(const VARIANT& Value);

// The message a failed Invoke hands on: the system's text for the code, less trailing
// blanks and full stops, or "OLE error XXXXXXXX".
std::u16string OleErrorMessage(HRESULT Code);

}  // namespace zelm
