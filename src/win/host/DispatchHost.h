// The host's objects as the core sees them, bound to IDispatch: each call is looked up
// by name and invoked late-bound, and the answer comes back as text.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <utility>
#include <vector>

#include "core/host/HostObject.h"
#include "core/platform/Trace.h"
#include "win/com/ComTypes.h"
#include "win/com/OutsideCalls.h"

namespace zelm {

class TDispatchHost final : public THostObject {
 public:
  // Takes its own reference. A failing call is traced once, until it succeeds again.
  TDispatchHost(IDispatch* Dispatch, TTraceLog& Trace, TOutsideCallWatch& Watch) noexcept;
  TDispatchHost(const TDispatchHost&) = delete;
  TDispatchHost& operator=(const TDispatchHost&) = delete;

  std::u16string Call(std::u16string_view Name, THostCallKind Kind, std::initializer_list<THostArg> Args) override;

 private:
  DISPID MemberId(std::u16string_view Name);
  std::u16string Invoke(std::u16string_view Name, THostCallKind Kind, std::initializer_list<THostArg> Args);

  TComPtr<IDispatch> FDispatch;
  TTraceLog& FTrace;
  TOutsideCallWatch& FWatch;
  // Notes a call's outcome (Code 0: it worked); whether it is a failure new to say.
  bool IsNewFailure(const std::u16string& Call, int32_t Code);
  // The calls failing now, with their codes: the host's variables and commands are few.
  static constexpr std::size_t cRememberedFailures = 64;
  std::vector<std::pair<std::u16string, int32_t>> FFailing;
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
