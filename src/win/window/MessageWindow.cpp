#include "win/window/MessageWindow.h"

#include <atomic>


namespace zelm {
namespace {

std::atomic<bool> GClassRegistered{false};

// Every window of our class reaches its link through GWLP_USERDATA; a window that is
// not (or no longer) bound gets the default handling.
LRESULT CALLBACK WindowEntry(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* Link = reinterpret_cast<TMessageWindowLink*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (Link == nullptr) return DefWindowProcW(Window, Msg, WParam, LParam);
  TMessage Message = {Msg, WParam, LParam, 0};
  Link->WndProc(Message);
  return Message.Result;
}

HINSTANCE OwnModule() noexcept {
  HMODULE Module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&WindowEntry), &Module);
  return Module;
}

bool EnsureClass(HINSTANCE Module) noexcept {
  if (GClassRegistered) return true;
  WNDCLASSEXW Class = {};
  Class.cbSize = sizeof Class;
  Class.lpfnWndProc = WindowEntry;
  Class.hInstance = Module;
  Class.lpszClassName = cMessageWindowClass;
  if (RegisterClassExW(&Class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  GClassRegistered = true;
  return true;
}

uint32_t AsHandle(HWND Window) noexcept { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Window)); }

// On Vista and later a front-end running as administrator takes no WM_COPYDATA from a
// data server that does not; this lets that one message, and only it, into our window.
// Looked up at run time: Windows XP has no such call and must still load us.
void LetValueRecordsIn(HWND Window, TTraceLog& Trace) noexcept {
  using TChangeFilter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  constexpr DWORD cAllow = 1;  // MSGFLT_ALLOW
  HMODULE User = GetModuleHandleW(L"user32.dll");
  FARPROC Proc = User ? GetProcAddress(User, "ChangeWindowMessageFilterEx") : nullptr;
  if (Proc == nullptr) {
    Trace.Trace(TTraceLine(u"no per-window message filter here (before Windows 7): WM_COPYDATA left as the system has it"));
    return;
  }
  const auto Change = reinterpret_cast<TChangeFilter>(reinterpret_cast<void*>(Proc));
  if (Change(Window, WM_COPYDATA, cAllow, nullptr)) {
    Trace.Trace(TTraceLine(u"WM_COPYDATA let into window ").Hex(AsHandle(Window)).Add(u" from every integrity level"));
  } else {
    const DWORD Error = GetLastError();
    Trace.Trace(TTraceLine(u"WM_COPYDATA could not be let into window ").Hex(AsHandle(Window)).Add(u" (error ")
                    .Decimal(Error).Add(u")"));
  }
}

}  // namespace

TMessageWindowLink::~TMessageWindowLink() {
  if (FHandle == nullptr) return;
  // Unbound first: whatever still reaches the window (or the window itself, should
  // it outlive us on a thread that cannot destroy it) no longer finds this object.
  SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
  DestroyWindow(FHandle);
}

uint32_t TMessageWindowLink::MessageWindow() {
  if (FHandle != nullptr) return AsHandle(FHandle);
  const HINSTANCE Module = OwnModule();
  if (!EnsureClass(Module)) return 0;
  // Hidden for good: a popup tool window of no size, never shown.
  HWND Window = CreateWindowExW(WS_EX_TOOLWINDOW, cMessageWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                Module, nullptr);
  if (Window == nullptr) return 0;
  FHandle = Window;
  SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  LetValueRecordsIn(Window, FTrace);
  return AsHandle(Window);
}

TSendOutcome TMessageWindowLink::Send(uint32_t MessageId, const TCopyData& Record) {
  if (!FGate.MayTry(GetTickCount())) return {};
  // Looked up afresh each time: the server may have come or gone since.
  HWND Server = FindWindowW(nullptr, reinterpret_cast<LPCWSTR>(cServerWindowTitle.data()));
  if (Server == nullptr) return {true, 0};
  TCopyData Data = Record;
  COPYDATASTRUCT Copy = {MessageId, sizeof Data, &Data};
  DWORD_PTR Answer = 0;
  // Value records the server sends us while we wait are still handled (SMTO_NORMAL),
  // and so is whatever other windows of this thread are sent: the host's may let us go.
  FWatch.BeforeOutsideCall();
  // A server that does not answer within the bound is given up on.
  const LRESULT Sent = SendMessageTimeoutW(Server, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Copy),
                                           SMTO_NORMAL | SMTO_ABORTIFHUNG, TSendGate::cSendBoundMs, &Answer);
  const DWORD Error = Sent == 0 ? GetLastError() : ERROR_SUCCESS;
  // Only a server that did not answer in time (or hangs) closes the gate; a window that
  // vanished between lookup and send must not keep a new server from hearing us.
  FGate.Tried(GetTickCount(), Error == ERROR_TIMEOUT);
  // A server that runs with higher rights than the front-end refuses our messages.
  const TAnswering Now = Sent != 0                      ? TAnswering::Yes
                         : Error == ERROR_TIMEOUT       ? TAnswering::TimedOut
                         : Error == ERROR_ACCESS_DENIED ? TAnswering::Refused
                                                        : FAnswering;  // gone meanwhile: nothing to say
  if (Now != FAnswering) {
    FAnswering = Now;
    TTraceLine Line(u"server window ");
    Line.Hex(AsHandle(Server));
    if (Now == TAnswering::TimedOut)
      Line.Add(u": a send timed out after ").Decimal(TSendGate::cSendBoundMs).Add(u" ms; sends paused for ")
          .Decimal(TSendGate::cBackOffMs).Add(u" ms at a time while it does not answer");
    else if (Now == TAnswering::Refused)
      Line.Add(u" refuses our messages (it runs with higher rights than the front-end)");
    else
      Line.Add(u" answers again");
    FTrace.Trace(Line);
  }
  return {true, AsHandle(Server)};
}

void TMessageWindowLink::WndProc(TMessage& Message) noexcept {
  Message.Result = 0;
  switch (Message.Msg) {
    case WM_COPYDATA:
      break;
    // Any process may post these. The window lives exactly as long as its object, and
    // its title stays empty: retitled "Morvicantrel" we would take it for the server.
    case WM_CLOSE:
      return;
    case WM_SETTEXT:
      Message.Result = FALSE;
      return;
    default:
      Message.Result = DefWindowProcW(FHandle, Message.Msg, Message.WParam, Message.LParam);
      return;
  }
  if (FSink == nullptr) return;
  const auto* Copy = reinterpret_cast<const COPYDATASTRUCT*>(Message.LParam);
  try {
    if (Copy == nullptr)
      FSink->StoreValueRecord(0, nullptr, 0);  // not even a COPYDATASTRUCT: malformed
    else
      FSink->StoreValueRecord(static_cast<uint32_t>(Copy->dwData), Copy->lpData, Copy->cbData);
  } catch (...) {
    // Out of memory while storing a value: the record is lost, the host lives on.
  }
}

void UnregisterMessageWindowClass(HINSTANCE Module) noexcept {
  if (GClassRegistered.exchange(false)) UnregisterClassW(cMessageWindowClass, Module);
}

}  // namespace zelm
