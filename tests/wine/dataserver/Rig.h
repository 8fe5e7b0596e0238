// What the data-server tests, the script scenario and the Wine bench share: a desktop
// of their own (so that the "Morvicantrel" window of another program in the same Wine
// prefix can neither answer us nor hear us), the stand-in server as a second process
// with its log, a scripted host object, and small COM helpers.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ZelmKvel_TLB.h"

namespace zelm::dstest {

// Moves the calling thread onto a new desktop and answers its name (empty on failure).
// Call it before the thread owns any window, i.e. before CoInitializeEx.
std::wstring EnterPrivateDesktop();
// The desktop the calling thread is on, by name ("" when unknown).
std::wstring CurrentDesktopName();

// Runs the message loop of the calling thread for Ms milliseconds.
void PumpFor(DWORD Ms);

// Milliseconds since an arbitrary start, to the microsecond.
double NowMs();

// The folder of the running program, with a trailing backslash.
std::wstring ProgramFolder();

// One control message as the stand-in logged it.
struct TControl {
  uint32_t Id = 0, Cb = 0, Wp = 0, D1 = 0, D2 = 0, D3 = 0, D4 = 0, Owner = 0;
};

// The stand-in data server, started on the calling thread's desktop.
class TStandIn {
 public:
  TStandIn() = default;
  ~TStandIn() { Stop(); }
  TStandIn(const TStandIn&) = delete;
  TStandIn& operator=(const TStandIn&) = delete;

  // Starts it with these rules and waits (up to 10 s) until its window is there.
  // A quiet one keeps no log, only its two counts.
  bool Start(const std::vector<std::string>& Rules, DWORD LifetimeMs = 30000, bool Quiet = false);
  // Asks it to close, waits for it, and ends it by force only if it will not go.
  void Stop();

  HWND Window() const { return FWindow; }
  DWORD ProcessId() const { return FProcess.dwProcessId; }
  // Hands it one more rule at run time.
  bool Rule(const std::string& Rule);

  // Its whole log, line by line.
  std::vector<std::string> Lines() const;
  // The control messages it has logged, all of them or from a mark on.
  std::vector<TControl> Controls() const;
  std::size_t Mark() const { return Controls().size(); }
  std::vector<TControl> ControlsSince(std::size_t Mark) const;
  // How many value records it has sent back so far (and had taken).
  std::size_t RecordsSent() const;
  // Its own counts of control messages received and records sent, asked of it.
  long CountHeard() const;
  long CountSent() const;

 private:
  PROCESS_INFORMATION FProcess{};
  HANDLE FJob = nullptr;
  HWND FWindow = nullptr;
  std::wstring FLogPath;
};

// Control messages as text, "64(65612) 129(0)": id and Data1; a message whose cbData
// is not 16, whose wParam is not 0 or whose Data2..4 are not 0 shows all its fields,
// so that it cannot match an expectation written in the short form.
std::string Sequence(const std::vector<TControl>& Controls);
std::string Msg(uint32_t Id, uint32_t Data1 = 0);
inline std::string Msg(uint32_t Id, HWND Data1) {
  return Msg(Id, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Data1)));
}

// A BSTR owned by the caller's scope.
class TBstr {
 public:
  TBstr() = default;
  explicit TBstr(const wchar_t* Text) : B(SysAllocString(Text)) {}
  explicit TBstr(const std::wstring& Text) : B(SysAllocStringLen(Text.data(), static_cast<UINT>(Text.size()))) {}
  ~TBstr() { SysFreeString(B); }
  TBstr(const TBstr&) = delete;
  TBstr& operator=(const TBstr&) = delete;
  std::wstring Text() const { return B ? std::wstring(B, SysStringLen(B)) : std::wstring(); }
  BSTR B = nullptr;
};

// A scripted RideRunner API object: GetInfo answers its variables, Execute is logged
// and hands the command to the extension's ProcessCommand, as the host does with the
// commands it runs.
class THost final : public IDispatch {
 public:
  static THost* Create();  // one reference for the caller

  STDMETHODIMP QueryInterface(REFIID Iid, void** Out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetTypeInfoCount(UINT* Count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** Info) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* Names, UINT Count, LCID, DISPID* Ids) override;
  STDMETHODIMP Invoke(DISPID Member, REFIID, LCID, WORD Flags, DISPPARAMS* Params, VARIANT* Result, EXCEPINFO*,
                      UINT*) override;

  std::map<std::wstring, std::wstring> Variables;  // name -> value
  std::vector<std::wstring> Calls;                 // "GetInfo(=$V$)", "Execute(CE_Open,false)"
  IRRExtension* RouteTo = nullptr;                 // not counted: the extension holds us

 private:
  THost() = default;
  ~THost() = default;
  LONG FRefs = 1;
};

// Registers the ZelmKvel.dll beside the running program (its DllRegisterServer), so
// that the ProgID leads to this build's DLL. Under CTest the Wine lock keeps the
// registration tests from undoing it meanwhile.
HRESULT RegisterServer();
// The extension, created by its ProgID.
HRESULT CreateExtension(IRRExtension** Out);

// One label request through the vtable; the answer, or "<hr=...>" when it failed.
std::wstring Label(IRRExtension* Ext, const wchar_t* Code);
// The same through IDispatch::Invoke with DISPID 202.
std::wstring LabelByDispatch(IRRExtension* Ext, const wchar_t* Code);
// One skin command through the vtable; the exit code, or -1 when the call failed.
short Command(IRRExtension* Ext, const wchar_t* Cmd);

std::string Narrow(const std::wstring& Text);

}  // namespace zelm::dstest
