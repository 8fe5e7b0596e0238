// The extension as the front-end sees it: ZelmKvel.RRExtension created through COM by
// its ProgID and called late-bound, by name, as an automation client does.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "win/com/ComTypes.h"

namespace zelm::tools {

// Arguments of a late-bound call, borrowed: the caller keeps what they point at alive.
VARIANT ByRef(BSTR* Text);
VARIANT ByRef(LONG* Number);
VARIANT ByRef(VARIANT* Variable);  // a script's variable: VT_VARIANT | VT_BYREF
VARIANT ByRef(IDispatch** Object);
VARIANT ByValue(BSTR Text);
VARIANT ByValue(IDispatch* Object);
VARIANT ByValue(bool Flag);

// IDispatch::Invoke with positional arguments given first-first.
HRESULT CallDispatch(IDispatch* Dispatch, DISPID Id, std::vector<VARIANT> Args, VARIANT* Result,
                     EXCEPINFO* Exception = nullptr, WORD Flags = DISPATCH_METHOD);

// One late-bound call's answer as a client reads it. By-reference arguments point at the
// caller's own storage, which the call writes back to.
struct TInvokeAnswer {
  HRESULT Result = E_FAIL;  // what Invoke returned
  TVariant Value;           // the answer
  // On DISP_E_EXCEPTION, the exception as the callee filled it in (a deferred fill-in
  // carried out): Code is its scode, else its wCode's, else E_FAIL.
  HRESULT Code = S_OK;
  std::wstring Description, Source;
  DWORD HelpContext = 0;

  VARTYPE Type() const noexcept { return V_VT(&Value.Get()); }
  // A BSTR answer as it is, a short or long one in decimal; "" for anything else.
  std::wstring Text() const;
  long Number() const noexcept;  // a short or long answer; 0 for anything else
  // The failure for a message: "0x80040201 Variables are locked"; empty when it worked.
  std::string Failure() const;
};
// Reads an answer Invoke gave (taking Value over).
TInvokeAnswer ReadAnswer(HRESULT Result, VARIANT& Value, EXCEPINFO& Exception);
// Calls member Id with Args (first first, borrowed for the call) and reads the answer.
TInvokeAnswer InvokeMember(IDispatch* Dispatch, DISPID Id, std::vector<VARIANT> Args, WORD Flags = DISPATCH_METHOD);

class TExtension {
 public:
  // Each call tells in Error what failed when it answers false.
  bool Create(std::string& Error);

  bool Init(IDispatch* Api, std::string& Error);
  bool Initialize(std::u16string_view Path, std::string& Error);
  bool OnLoadSkin(IDispatch* Skin, std::string& Error);
  bool OnUnloadSkin(IDispatch* Skin, std::string& Error);
  // The label codes and commands go by reference, as the front-end passes them.
  bool ReturnLabel(std::u16string_view Code, std::u16string& Text, std::string& Error);
  bool ProcessCommand(std::u16string_view Command, IDispatch* Skin, int& ExitCode, std::string& Error);

 private:
  // Calls Name with Args (given first first, borrowed for the call); Result may be null.
  bool Call(const wchar_t* Name, std::vector<VARIANT> Args, VARIANT* Result, std::string& Error);

  TComPtr<IDispatch> FObject;
  std::map<std::wstring, DISPID> FIds;
};

}  // namespace zelm::tools
