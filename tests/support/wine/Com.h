// The real DLL as the Wine tests, the script scenario and the Wine bench reach it: the file
// beside the program, loaded by hand or registered and created by its ProgID, its error
// information read back, and calls through the vtable and through IDispatch. The
// owners of BSTRs, VARIANTs and interface pointers are the shell's own (ComTypes.h).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>
#include <vector>

#include "ZelmKvel_TLB.h"
#include "programs/common/ExtensionClient.h"
#include "programs/common/WideText.h"
#include "tests/support/wine/ScriptedHost.h"
#include "win/com/ComTypes.h"

namespace zelm::wine {

// --- The DLL ----------------------------------------------------------------------------

// The folder of the running program, with its trailing backslash.
std::wstring ProgramFolder();
inline std::wstring DllPath() { return ProgramFolder() + L"ZelmKvel.dll"; }

// The DLL loaded by LoadLibrary, its four exports called directly.
struct TLoadedServer {
  explicit TLoadedServer(const std::wstring& Path);
  ~TLoadedServer();
  TLoadedServer(const TLoadedServer&) = delete;
  TLoadedServer& operator=(const TLoadedServer&) = delete;

  HMODULE Module = nullptr;
  HRESULT(WINAPI* RegisterServer)() = nullptr;
  HRESULT(WINAPI* UnregisterServer)() = nullptr;
  HRESULT(WINAPI* CanUnloadNow)() = nullptr;
  HRESULT(WINAPI* GetClassObject)(REFCLSID, REFIID, void**) = nullptr;

  // A new RRExtension through DllGetClassObject and the class factory.
  TComPtr<IRRExtension> Create();
};

// Registers the DLL beside the program (its DllRegisterServer), so that the ProgID
// leads to this build's DLL. Under CTest the Wine lock keeps the registration tests
// from undoing it meanwhile.
HRESULT RegisterServer();

// The object by its ProgID, as a host creates it; empty when that fails or the ProgID
// leads to another class.
TComPtr<IRRExtension> CreateByProgId();

// --- Reading our error-info object --------------------------------------------------------

struct TErrorInfo {
  bool Present = false;
  GUID Guid = GUID_NULL;
  std::wstring Source;
  std::wstring Description;
  DWORD HelpContext = 0;
};
TErrorInfo TakeErrorInfo();

// --- Calling through IDispatch -------------------------------------------------------------

// The tools' late-bound client's argument variants and call (borrowed arguments).
using tools::ByRef;
using tools::ByValue;
using tools::CallDispatch;
using tools::InvokeMember;
using tools::ReadAnswer;
using tools::TInvokeAnswer;

// The host's objects: the front-end's own, scripted by the test.
// The host hands every command of its batches that is not its own to the extension at
// once, as RideRunner does while its Execute call is still on the stack.
void RouteTo(TScriptedHost& Host, IRRExtension* Extension);
// Its variables, in the tests' wide texts; what SAVETOSKIN saved of one ("" if nothing).
void SetVar(TScriptedHost& Host, std::wstring_view Name, std::wstring_view Value);
std::wstring GetVar(const TScriptedHost& Host, std::wstring_view Name);
std::wstring Saved(const TScriptedHost& Host, std::wstring_view Name);

// The code after Code in the label-code cycle, as the core steps a slot: the Wine tests
// lean on the rule (its native tests walk the cycle) to reach what Windows decides.
std::wstring NextInCycle(std::wstring_view Code);

// The member's DISPID (a failed lookup fails the running test).
DISPID IdOf(IDispatch* Dispatch, const wchar_t* Name);
// Looks the name up and calls it as a method, arguments given first-first.
inline TInvokeAnswer InvokeByName(IDispatch* Dispatch, const wchar_t* Name, std::vector<VARIANT> Args) {
  return InvokeMember(Dispatch, IdOf(Dispatch, Name), std::move(Args));
}

// --- The calls a host makes most ----------------------------------------------------------

// One label request through the vtable: the answer, or "<hr=0x...>" when it failed.
std::wstring Label(IRRExtension* Object, std::wstring_view Code);
// The same through IDispatch::Invoke (DISPID 202); "<vt=N>" for an answer that is no text.
std::wstring LabelByDispatch(IRRExtension* Object, std::wstring_view Code);
// One skin command through the vtable: the exit code, or -1 when the call failed.
short Command(IRRExtension* Object, std::wstring_view Text);

// Wide text as UTF-8, for test messages.
using tools::Narrow;

// --- The DLL's trace, caught in this process ----------------------------------------------

// The lines the DLL traces ("ZelmKvel: ..." through OutputDebugString), caught where they
// are raised (programs/common/DebugOutput.h): a test asserts the lines its own calls
// caused, next to those calls.
class TTraceLines {
 public:
  TTraceLines();  // from now on: what came before is dropped
  // The lines since the last Take, without the "ZelmKvel: " before each; with Starting,
  // only those that start so.
  std::vector<std::string> Take(std::string_view Starting = {});
};
// A handle or an address as the trace writes it: "0x0001002A".
std::string TraceHex(uintptr_t Value);
inline std::string TraceHex(const void* Pointer) { return TraceHex(reinterpret_cast<uintptr_t>(Pointer)); }

// --- The prefix, which every test program shares ------------------------------------------

// The user's decimal separator ("" when the system does not say).
std::wstring DecimalSeparator();

// What a test changes in the prefix is put back whatever happens, a failed assertion
// included: this sets the user's decimal separator for as long as it lives.
class TDecimalSeparator {
 public:
  explicit TDecimalSeparator(const wchar_t* Separator);
  ~TDecimalSeparator();
  TDecimalSeparator(const TDecimalSeparator&) = delete;
  TDecimalSeparator& operator=(const TDecimalSeparator&) = delete;
  bool Set() const { return FSet; }

 private:
  std::wstring FBefore;
  bool FSet = false;
};

// Every test program starts from the same prefix, whatever a run that was killed left
// in it: "." as the decimal separator.
void StartFromKnownPrefix();

}  // namespace zelm::wine
