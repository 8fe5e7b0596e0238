// The host's objects as the core sees them, bound to IDispatch: each call is looked up
// by name and invoked late-bound, and the answer comes back as text.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "core/host/HostObject.h"
#include "win/com/ComTypes.h"
#include "core/protocol/Trace.h"

namespace zelm {

// Told before every call into the host's code: a host may drop its last reference to
// the caller from inside, so the caller keeps itself alive from then to the end of
// its own method.
class THostCallWatch {
 public:
  virtual void BeforeHostCall() noexcept = 0;

 protected:
  ~THostCallWatch() = default;
};

class TDispatchHost final : public THostObject {
 public:
  // Takes its own reference. A failing call is traced once, until it succeeds again.
  TDispatchHost(IDispatch* Dispatch, TTraceLog& Trace, THostCallWatch& Watch) noexcept;
  TDispatchHost(const TDispatchHost&) = delete;
  TDispatchHost& operator=(const TDispatchHost&) = delete;

  std::u16string Call(std::u16string_view Name, THostCallKind Kind, std::initializer_list<THostArg> Args) override;

 private:
  DISPID MemberId(std::u16string_view Name);
  std::u16string Invoke(std::u16string_view Name, THostCallKind Kind, std::initializer_list<THostArg> Args);

  TComPtr<IDispatch> FDispatch;
  TTraceLog& FTrace;
  THostCallWatch& FWatch;
  std::u16string FFailing;  // the call that failed last, until it succeeds again
  int32_t FFailingCode = 0;
};

// An answer from the host as text: empty gives "", a BSTR stays as it is, numbers and
// Booleans give their text, also by reference; anything else (Null first of all, a
// reference to nothing, a type that does not exist) fails with "Could not convert
// variant of type (...) into type (OleStr)". Only what it can read safely is read.
std::u16string VariantToText(const VARIANT& Value);

// The message a failed Invoke hands on: the system's text for the code, less trailing
// blanks and full stops, or "OLE error XXXXXXXX".
std::u16string OleErrorMessage(HRESULT Code);

}  // namespace zelm
