// zelm_host: a stand-in for the front-end. Creates ZelmKvel.RRExtension through COM
// by its ProgID and drives it as the front-end does: Init with our host API object,
// Initialize, OnLoadSkin, then every label of the skin polled frame after frame, and
// the skin's commands fired by keys.
//
// tools/host/Options.h has the command line.
//
// Input comes line by line on standard input (a terminal's keys are forwarded as
// lines by scripts/bench.sh): a line of one character presses that key of the skin;
// a longer line runs as a command batch ("ce_open", "SETVAR;X;1||quit").
#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <deque>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/common/Threads.h"
#include "tools/common/Utf.h"
#include "tools/host/Dashboard.h"
#include "tools/host/HostVariables.h"
#include "tools/host/InputLines.h"
#include "tools/host/Options.h"
#include "tools/host/SkinFile.h"

namespace zelm::bench {
namespace {

std::wstring Wide(std::u16string_view Text) { return std::wstring(Text.begin(), Text.end()); }
std::u16string FromWide(const wchar_t* Text, std::size_t Length) { return std::u16string(Text, Text + Length); }
std::string Narrow(const std::wstring& Text) { return ToUtf8(FromWide(Text.data(), Text.size())); }

std::string HResultText(HRESULT Result) {
  char Buffer[16];
  std::snprintf(Buffer, sizeof Buffer, "0x%08lX", static_cast<unsigned long>(Result));
  return Buffer;
}

// ---------------------------------------------------------------------------------
// Our own automation objects: the host API object and the skin object. Late-bound
// only: names resolve to our DISPIDs and Invoke does the work. Nothing thrown here
// leaves through COM.

class TDispatchObject : public IDispatch {
 public:
  virtual ~TDispatchObject() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Iid, void** Out) override {
    if (Out == nullptr) return E_POINTER;
    if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IDispatch)) {
      *Out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *Out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&FRefs)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG Left = InterlockedDecrement(&FRefs);
    if (Left == 0) delete this;
    return static_cast<ULONG>(Left);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* Count) override {
    if (Count == nullptr) return E_POINTER;
    *Count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** Info) override {
    if (Info) *Info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* Names, UINT Count, LCID, DISPID* Ids) override {
    if (Names == nullptr || Ids == nullptr || Count == 0) return E_INVALIDARG;
    HRESULT Result = S_OK;
    for (UINT I = 0; I < Count; ++I) Ids[I] = DISPID_UNKNOWN;
    Ids[0] = IdOf(Names[0]);
    if (Ids[0] == DISPID_UNKNOWN) Result = DISP_E_UNKNOWNNAME;
    if (Count > 1) Result = DISP_E_UNKNOWNNAME;  // no named arguments
    return Result;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID Id, REFIID, LCID, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                                   EXCEPINFO* Exception, UINT* ArgError) override {
    if (Params == nullptr) return E_INVALIDARG;
    if (!(Flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
    if (Params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    try {
      // Arguments arrive last first; we hand them on first first, as texts.
      std::vector<std::u16string> Args;
      for (UINT I = Params->cArgs; I-- > 0;) {
        VARIANT Text;
        VariantInit(&Text);
        const HRESULT Converted = VariantChangeType(&Text, &Params->rgvarg[I], 0, VT_BSTR);
        if (FAILED(Converted)) {
          if (ArgError) *ArgError = I;
          return DISP_E_TYPEMISMATCH;
        }
        Args.push_back(V_BSTR(&Text) ? FromWide(V_BSTR(&Text), SysStringLen(V_BSTR(&Text))) : u"");
        VariantClear(&Text);
      }
      std::u16string Answer;
      const HRESULT Done = Call(Id, Args, Answer);
      if (FAILED(Done)) return Done;
      if (Result) {
        VariantInit(Result);
        V_VT(Result) = VT_BSTR;
        const std::wstring W = Wide(Answer);
        V_BSTR(Result) = SysAllocStringLen(W.data(), static_cast<UINT>(W.size()));
      }
      return S_OK;
    } catch (...) {
      if (Exception) {
        *Exception = EXCEPINFO{};
        Exception->scode = E_FAIL;
        Exception->bstrSource = SysAllocString(L"zelm_host");
        Exception->bstrDescription = SysAllocString(L"The stand-in host failed to answer");
      }
      return DISP_E_EXCEPTION;
    }
  }

 protected:
  virtual DISPID IdOf(const wchar_t* Name) const = 0;
  virtual HRESULT Call(DISPID Id, const std::vector<std::u16string>& Args, std::u16string& Answer) = 0;

 private:
  LONG FRefs = 1;
};

// Commands that the host routes after the current call returns, as the front-end
// runs a skin's commands from its own loop: an extension is never re-entered from
// inside one of its own calls.
struct THostState {
  THostVariables Variables;
  std::deque<std::u16string> Commands;
  std::vector<std::string> Faults;
};

class THostApi final : public TDispatchObject {
 public:
  explicit THostApi(THostState& State) : FState(State) {}

 protected:
  DISPID IdOf(const wchar_t* Name) const override {
    if (_wcsicmp(Name, L"GetInfo") == 0) return 1;
    if (_wcsicmp(Name, L"Execute") == 0) return 2;
    return DISPID_UNKNOWN;
  }
  HRESULT Call(DISPID Id, const std::vector<std::u16string>& Args, std::u16string& Answer) override {
    if (Id == 1) {  // GetInfo(info)
      if (Args.size() != 1) return DISP_E_BADPARAMCOUNT;
      Answer = FState.Variables.Query(Args[0]);
      return S_OK;
    }
    if (Id == 2) {  // Execute(batch [, wait])
      if (Args.empty() || Args.size() > 2) return DISP_E_BADPARAMCOUNT;
      for (auto& Command : FState.Variables.RunBatch(Args[0], FState.Faults)) FState.Commands.push_back(Command);
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  THostState& FState;
};

class TSkinObject final : public TDispatchObject {
 public:
  explicit TSkinObject(std::u16string Name) : FName(std::move(Name)) {}

 protected:
  DISPID IdOf(const wchar_t* Name) const override { return _wcsicmp(Name, L"SkinName") == 0 ? 1 : DISPID_UNKNOWN; }
  HRESULT Call(DISPID Id, const std::vector<std::u16string>& Args, std::u16string& Answer) override {
    if (Id != 1) return DISP_E_MEMBERNOTFOUND;
    if (!Args.empty()) return DISP_E_BADPARAMCOUNT;
    Answer = FName;
    return S_OK;
  }

 private:
  std::u16string FName;
};

// ---------------------------------------------------------------------------------
// The extension, called late-bound by name as an automation client does.

class TExtension {
 public:
  ~TExtension() {
    if (FObject) FObject->Release();
  }

  bool Create(std::string& Error) {
    CLSID Class;
    HRESULT Result = CLSIDFromProgID(L"ZelmKvel.RRExtension", &Class);
    if (FAILED(Result)) {
      Error = "ZelmKvel.RRExtension is not registered (" + HResultText(Result) + "); register ZelmKvel.dll with regsvr32";
      return false;
    }
    Result = CoCreateInstance(Class, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&FObject));
    if (FAILED(Result)) {
      Error = "cannot create ZelmKvel.RRExtension (" + HResultText(Result) + ")";
      return false;
    }
    return true;
  }

  // Calls Name with Args (given first first); Error tells what failed.
  bool Call(const wchar_t* Name, std::vector<VARIANT> Args, VARIANT* Result, std::string& Error) {
    DISPID Id = 0;
    const auto Known = FIds.find(Name);
    if (Known != FIds.end()) {
      Id = Known->second;
    } else {
      LPOLESTR Names[] = {const_cast<LPOLESTR>(Name)};
      const HRESULT Found = FObject->GetIDsOfNames(IID_NULL, Names, 1, 0, &Id);
      if (FAILED(Found)) {
        Error = Narrow(Name) + ": no such method (" + HResultText(Found) + ")";
        return false;
      }
      FIds[Name] = Id;
    }
    std::reverse(Args.begin(), Args.end());
    DISPPARAMS Params{Args.data(), nullptr, static_cast<UINT>(Args.size()), 0};
    EXCEPINFO Exception{};
    UINT ArgError = 0;
    VARIANT Ignored;
    VariantInit(&Ignored);
    const HRESULT Done = FObject->Invoke(Id, IID_NULL, 0, DISPATCH_METHOD, &Params, Result ? Result : &Ignored,
                                          &Exception, &ArgError);
    VariantClear(&Ignored);
    if (SUCCEEDED(Done)) return true;
    Error = Narrow(Name) + " failed: ";
    if (Done == DISP_E_EXCEPTION) {
      if (Exception.pfnDeferredFillIn) Exception.pfnDeferredFillIn(&Exception);
      const HRESULT Code = Exception.scode ? Exception.scode : static_cast<HRESULT>(Exception.wCode);
      Error += HResultText(Code);
      if (Exception.bstrDescription) Error += " " + Narrow(Exception.bstrDescription);
    } else {
      Error += HResultText(Done);
    }
    SysFreeString(Exception.bstrSource);
    SysFreeString(Exception.bstrDescription);
    SysFreeString(Exception.bstrHelpFile);
    return false;
  }

  static VARIANT Object(IDispatch* Object) {
    VARIANT V;
    VariantInit(&V);
    V_VT(&V) = VT_DISPATCH;
    V_DISPATCH(&V) = Object;  // borrowed for the call
    return V;
  }

  bool Init(IDispatch* Api, std::string& Error) { return Call(L"Init", {Object(Api)}, nullptr, Error); }
  bool OnLoadSkin(IDispatch* Skin, std::string& Error) { return Call(L"OnLoadSkin", {Object(Skin)}, nullptr, Error); }
  bool OnUnloadSkin(IDispatch* Skin, std::string& Error) { return Call(L"OnUnloadSkin", {Object(Skin)}, nullptr, Error); }

  bool Initialize(std::u16string_view Path, std::string& Error) {
    const std::wstring W = Wide(Path);
    VARIANT Arg;
    VariantInit(&Arg);
    V_VT(&Arg) = VT_BSTR;
    V_BSTR(&Arg) = SysAllocStringLen(W.data(), static_cast<UINT>(W.size()));
    const bool Ok = Call(L"Initialize", {Arg}, nullptr, Error);
    VariantClear(&Arg);
    return Ok;
  }

  // The label codes and commands go by reference, as the front-end passes them.
  bool ReturnLabel(std::u16string_view Code, std::u16string& Text, std::string& Error) {
    const std::wstring W = Wide(Code);
    BSTR CodeText = SysAllocStringLen(W.data(), static_cast<UINT>(W.size()));
    BSTR ToolTip = SysAllocString(L"");
    VARIANT Args[2];
    VariantInit(&Args[0]);
    VariantInit(&Args[1]);
    V_VT(&Args[0]) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&Args[0]) = &CodeText;
    V_VT(&Args[1]) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&Args[1]) = &ToolTip;
    VARIANT Result;
    VariantInit(&Result);
    const bool Ok = Call(L"ReturnLabel", {Args[0], Args[1]}, &Result, Error);
    SysFreeString(CodeText);
    SysFreeString(ToolTip);
    Text.clear();
    if (Ok && SUCCEEDED(VariantChangeType(&Result, &Result, 0, VT_BSTR)) && V_BSTR(&Result))
      Text = FromWide(V_BSTR(&Result), SysStringLen(V_BSTR(&Result)));
    VariantClear(&Result);
    return Ok;
  }

  bool ProcessCommand(std::u16string_view Command, IDispatch* Skin, int& ExitCode, std::string& Error) {
    const std::wstring W = Wide(Command);
    BSTR CommandText = SysAllocStringLen(W.data(), static_cast<UINT>(W.size()));
    IDispatch* SkinRef = Skin;
    VARIANT Args[2];
    VariantInit(&Args[0]);
    VariantInit(&Args[1]);
    V_VT(&Args[0]) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&Args[0]) = &CommandText;
    V_VT(&Args[1]) = VT_DISPATCH | VT_BYREF;
    V_DISPATCHREF(&Args[1]) = &SkinRef;
    VARIANT Result;
    VariantInit(&Result);
    const bool Ok = Call(L"ProcessCommand", {Args[0], Args[1]}, &Result, Error);
    SysFreeString(CommandText);
    ExitCode = 0;
    if (Ok && SUCCEEDED(VariantChangeType(&Result, &Result, 0, VT_I4))) ExitCode = V_I4(&Result);
    VariantClear(&Result);
    return Ok;
  }

 private:
  IDispatch* FObject = nullptr;
  std::map<std::wstring, DISPID> FIds;
};

// ---------------------------------------------------------------------------------

volatile LONG StopRequested = 0;
DWORD MainThreadId = 0;

BOOL WINAPI OnConsoleControl(DWORD) {
  InterlockedExchange(&StopRequested, 1);
  PostThreadMessageW(MainThreadId, WM_NULL, 0, 0);
  return TRUE;
}

class THost {
 public:
  THost(const TOptions& Options, const TSkin& Skin) : FOptions(Options), FSkin(Skin) {}

  int Run();

 private:
  bool PumpMessages();
  void DrainInput();
  void Input(std::u16string Line);
  void RunCommands();
  void Poll();
  void Show();
  std::string* ReadSimStatus();
  void Status(std::string Text) { FStatus = std::move(Text); }

  const TOptions& FOptions;
  const TSkin& FSkin;
  THostState FState;
  TExtension FExtension;
  THostApi* FApi = nullptr;
  TSkinObject* FSkinObject = nullptr;
  std::vector<std::u16string> FTexts;
  std::string FStatus;
  std::string FSimText;
  long FFrame = 0;
  unsigned long long FRequests = 0;
  bool FQuit = false;
  std::shared_ptr<TInputLines<TLock>> FInput;
};

bool THost::PumpMessages() {
  MSG Message;
  while (PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
    if (Message.message == WM_QUIT) return false;
    TranslateMessage(&Message);
    DispatchMessageW(&Message);
  }
  return true;
}

void THost::DrainInput() {
  std::deque<std::u16string> Lines;
  const bool Closed = FInput->Take(Lines);
  for (auto& Line : Lines) Input(std::move(Line));
  // Without a frame count the host runs until its input ends.
  if (Closed && FOptions.Frames == 0) FQuit = true;
}

// A line of input: one character presses that key; anything longer is a command batch.
void THost::Input(std::u16string Line) {
  while (!Line.empty() && (Line.back() == u'\r' || Line.back() == u' ')) Line.pop_back();
  if (Line.empty()) return;
  std::u16string Batch = Line;
  if (Line.size() == 1) {
    const TSkinButton* Button = FSkin.ButtonFor(Line[0]);
    if (Button == nullptr) {
      Status("no button on key '" + ToUtf8(Line) + "'");
      return;
    }
    Batch = Button->Command;
  }
  for (auto& Command : FState.Variables.RunBatch(Batch, FState.Faults)) FState.Commands.push_back(Command);
  RunCommands();
}

// Routes the queued commands: our own verbs here, everything else to the extension.
void THost::RunCommands() {
  for (int Guard = 0; Guard < 100 && !FState.Commands.empty(); ++Guard) {
    const std::u16string Command = FState.Commands.front();
    FState.Commands.pop_front();
    const std::u16string Verb = LowerAsciiCopy(Command);
    if (Verb == u"quit" || Verb == u"exit") {
      FQuit = true;
      continue;
    }
    int ExitCode = 0;
    std::string Error;
    if (!FExtension.ProcessCommand(Command, FSkinObject, ExitCode, Error))
      Status(Error);
    else if (ExitCode == 0)
      Status("nobody took the command '" + ToUtf8(Command) + "'");
    else
      Status("'" + ToUtf8(Command) + "' done (" + std::to_string(ExitCode) + ")");
  }
  for (const std::string& Fault : FState.Faults) Status(Fault);
  FState.Faults.clear();
}

void THost::Poll() {
  FTexts.resize(FSkin.Labels.size());
  for (std::size_t I = 0; I < FSkin.Labels.size(); ++I) {
    std::string Error;
    if (!FExtension.ReturnLabel(FSkin.Labels[I].Code, FTexts[I], Error)) {
      FTexts[I].assign(1, u'!');  // a failed label request
      Status(Error);
    }
    ++FRequests;
  }
}

std::string* THost::ReadSimStatus() {
  if (FOptions.SimStatus.empty()) return nullptr;
  FSimText.clear();
  FILE* In = _wfopen(reinterpret_cast<const wchar_t*>(FOptions.SimStatus.c_str()), L"rb");
  if (In == nullptr) {
    FSimText = "-";  // no data server running
    return &FSimText;
  }
  char Buffer[1024];
  std::string Text;
  for (std::size_t N; (N = std::fread(Buffer, 1, sizeof Buffer, In)) > 0;) Text.append(Buffer, N);
  std::fclose(In);
  const std::size_t At = Text.find("subscribed");
  if (At != std::string::npos) {
    const std::size_t Start = std::min(At + 11, Text.size());
    FSimText = Text.substr(Start, Text.find('\n', Start) - Start);
  }
  return &FSimText;
}

void THost::Show() {
  const std::string* Subscribed = ReadSimStatus();
  std::string Out;
  if (FOptions.Format == TFormat::List) {
    Out = ListFrame(FFrame, FSkin, FTexts, Subscribed);
  } else {
    std::string Line = "frame " + std::to_string(FFrame) + " | " + std::to_string(FSkin.Labels.size()) +
                       " labels at " + std::to_string(static_cast<int>(FOptions.Fps)) + "/s";
    if (Subscribed) {
      const auto Count = std::count(Subscribed->begin(), Subscribed->end(), ' ') + !Subscribed->empty();
      Line += *Subscribed == "-" ? " | no data server"
                                 : " | data server sends " + std::to_string(Count) + ": " + *Subscribed;
    }
    const auto Lines = ComposeFrame(FSkin, FTexts, {FromUtf8(Line), FromUtf8(FStatus)});
    Out = FOptions.Format == TFormat::Ansi ? AnsiFrame(Lines) : PlainFrame(FFrame, Lines);
  }
  std::fwrite(Out.data(), 1, Out.size(), stdout);
  std::fflush(stdout);
}

int THost::Run() {
  std::string Error;
  // The skin's variables as the skin ships them, then what was saved into it since.
  for (const auto& [Name, Value] : FSkin.Variables) FState.Variables.Set(Name, Value);
  if (!FOptions.VarsFile.empty()) {
    const std::string Path = ToUtf8(FOptions.VarsFile);
    if (!FState.Variables.LoadFile(Path, Error)) {
      std::fprintf(stderr, "zelm_host: %s\n", Error.c_str());
      return 2;
    }
    FState.Variables.SetFile(Path);
  }

  if (!FExtension.Create(Error)) {
    std::fprintf(stderr, "zelm_host: %s\n", Error.c_str());
    return 3;
  }
  FApi = new THostApi(FState);
  FSkinObject = new TSkinObject(FSkin.Name);
  bool Started = FExtension.Init(FApi, Error) && FExtension.Initialize(FOptions.DsPath, Error);
  if (Started) RunCommands();  // "CE_Open", asked for by Initialize
  Started = Started && FExtension.OnLoadSkin(FSkinObject, Error);
  if (!Started) std::fprintf(stderr, "zelm_host: %s\n", Error.c_str());

  FInput = StartReadingLines<TLock>(
      std::cin, [Loop = GetCurrentThreadId()] { PostThreadMessageW(Loop, WM_NULL, 0, 0); }, RunDetached);

  if (FOptions.Format == TFormat::Ansi) std::fputs("\x1b[?25l\x1b[2J", stdout);
  using TClock = std::chrono::steady_clock;
  const auto Period = std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(1 / FOptions.Fps));
  TClock::time_point Next = TClock::now();
  while (Started && !FQuit) {
    ++FFrame;
    const auto Scripted = FOptions.At.equal_range(FFrame);
    for (auto It = Scripted.first; It != Scripted.second; ++It) Input(It->second);
    if (FQuit) break;
    Poll();
    Show();
    if (FOptions.Frames > 0 && FFrame >= FOptions.Frames) break;

    // Until the next frame: the data server's values arrive as window messages, and
    // keys as lines.
    Next += Period;
    while (!FQuit) {
      if (!PumpMessages() || StopRequested) {
        FQuit = true;
        break;
      }
      DrainInput();
      const TClock::time_point Now = TClock::now();
      if (Now >= Next) break;
      const auto Wait = std::chrono::duration_cast<std::chrono::milliseconds>(Next - Now).count() + 1;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(Wait), QS_ALLINPUT);
    }
    if (TClock::now() > Next + 10 * Period) Next = TClock::now();  // fell far behind: no racing to catch up
  }
  if (FOptions.Format == TFormat::Ansi) std::fputs("\x1b[?25h\r\n", stdout);

  std::string Ignored;
  if (Started) FExtension.OnUnloadSkin(FSkinObject, Ignored);
  std::printf("zelm_host: %ld frames, %llu label requests%s", FFrame, FRequests,
              FOptions.Format == TFormat::Ansi ? "\r\n" : "\n");
  std::fflush(stdout);
  FSkinObject->Release();
  FApi->Release();
  return Started ? 0 : 4;
}

std::vector<std::u16string> Arguments() {
  int Count = 0;
  LPWSTR* Args = CommandLineToArgvW(GetCommandLineW(), &Count);
  std::vector<std::u16string> Out;
  for (int I = 1; Args && I < Count; ++I) Out.push_back(FromWide(Args[I], std::wcslen(Args[I])));
  LocalFree(Args);
  return Out;
}

int Main() {
  TOptions O;
  std::string Fault;
  switch (ParseOptions(Arguments(), O, Fault)) {
    case TParsed::Help:
      std::fputs(Usage().c_str(), stdout);
      return 0;
    case TParsed::Fault:
      std::fprintf(stderr, "zelm_host: %s\n%s", Fault.c_str(), Usage().c_str());
      return 2;
    case TParsed::Run:
      break;
  }

  SetConsoleOutputCP(CP_UTF8);
  // Lines end as we write them: "\n" for files and pipes, "\r\n" where a terminal in
  // raw mode needs it.
  _setmode(_fileno(stdout), _O_BINARY);
  static char OutBuffer[1 << 16];
  std::setvbuf(stdout, OutBuffer, _IOFBF, sizeof OutBuffer);

  TSkin Skin;
  std::string Error;
  if (!LoadSkin(ToUtf8(O.SkinFile), Skin, Error)) {
    std::fprintf(stderr, "zelm_host: %s\n", Error.c_str());
    return 2;
  }
  MainThreadId = GetCurrentThreadId();
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
  int Code = 0;
  {
    THost Host(O, Skin);
    Code = Host.Run();
  }
  CoUninitialize();
  return Code;
}

}  // namespace
}  // namespace zelm::bench

int main() {
  try {
    return zelm::bench::Main();
  } catch (const std::exception& E) {
    std::fprintf(stderr, "zelm_host: %s\n", E.what());
    return 1;
  }
}
