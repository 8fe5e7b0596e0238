#include "win/window/MessageWindow.h"

#include <atomic>
#include <mutex>

#include "win/com/ErrorBoundary.h"
#include "win/platform/Names.h"

namespace zelm {
namespace {

std::atomic<bool> GClassRegistered{false};

// Which link a window belongs to is kept in this process alone. The window's handle is
// a door that every process on the desktop can knock on, and whatever another process
// can set on the window (its user data, extra bytes, properties) is never read: a
// pointer taken from there would let it steer the front-end's thread. Objects on other
// threads share the table, hence the lock; it is held only to look up.
TLock GTableLock;
TMessageWindowLink* GFirstBound = nullptr;

// A window that is not (or no longer) bound gets the default handling. Nothing that
// fails in here unwinds into the system's code that called us: out of memory while
// storing a value loses the record, and the host lives on.
LRESULT CALLBACK WindowEntry(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage Message = {Msg, WParam, LParam, 0};
  Contain([&] {
    if (TMessageWindowLink* Link = TMessageWindowLink::Bound(Window))
      Link->WndProc(Message);
    else
      Message.Result = DefWindowProcW(Window, Msg, WParam, LParam);
  });
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

// The handle as the data server is told it and the trace shows it.
uint32_t HandleNumber(HWND Window) noexcept { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Window)); }

// On Vista and later a front-end running as administrator takes no WM_COPYDATA from a
// data server that does not; this lets that one message, and only it, into our window.
// Looked up at run time: Windows XP has no such call and must still load us.
void LetValueRecordsIn(HWND Window, TTraceLog& Trace) noexcept {
  using TChangeFilter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  constexpr DWORD cAllow = 1;  // MSGFLT_ALLOW
  HMODULE User = GetModuleHandleW(L"user32.dll");
  FARPROC Proc = User ? GetProcAddress(User, "ChangeWindowMessageFilterEx") : nullptr;
  if (Proc == nullptr) {
    Trace.Trace(
        TTraceLine(u"no per-window message filter here (before Windows 7): WM_COPYDATA left as the system has it"));
    return;
  }
  const auto Change = reinterpret_cast<TChangeFilter>(reinterpret_cast<void*>(Proc));
  if (Change(Window, WM_COPYDATA, cAllow, nullptr)) {
    Trace.Trace(
        TTraceLine(u"WM_COPYDATA let into window ").Hex(HandleNumber(Window)).Add(u" from every integrity level"));
  } else {
    const DWORD Error = GetLastError();
    Trace.Trace(TTraceLine(u"WM_COPYDATA could not be let into window ")
                    .Hex(HandleNumber(Window))
                    .Add(u" (error ")
                    .Decimal(Error)
                    .Add(u")"));
  }
}

}  // namespace

// Unbound first: whatever still reaches the window (or the window itself, should it
// outlive us on a thread that cannot destroy it) no longer finds this object. Then the
// hook goes, and the window last (the members' order).
TMessageWindowLink::~TMessageWindowLink() {
  if (!FOwnWindow) return;
  const std::lock_guard<TLock> Held(GTableLock);
  for (TMessageWindowLink** At = &GFirstBound; *At != nullptr; At = &(*At)->FNextBound) {
    if (*At != this) continue;
    *At = FNextBound;
    break;
  }
}

TMessageWindowLink* TMessageWindowLink::Bound(HWND Window) noexcept {
  const std::lock_guard<TLock> Held(GTableLock);
  for (TMessageWindowLink* Link = GFirstBound; Link != nullptr; Link = Link->FNextBound)
    if (Link->FOwnWindow.Get() == Window) return Link;
  return nullptr;
}

uint32_t TMessageWindowLink::MessageWindow() {
  if (FOwnWindow) return HandleNumber(FOwnWindow.Get());
  HINSTANCE Module = OwnModule();
  if (!EnsureClass(Module)) return 0;
  // Hidden for good: a popup tool window of no size, never shown.
  HWND Window = CreateWindowExW(WS_EX_TOOLWINDOW, cMessageWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                Module, nullptr);
  if (Window == nullptr) return 0;
  {
    const std::lock_guard<TLock> Held(GTableLock);
    FOwnWindow.Reset(Window);
    FNextBound = GFirstBound;
    GFirstBound = this;
  }
  FActivationHook.Reset(SetWindowsHookExW(WH_CBT, RefuseActivation, nullptr, GetCurrentThreadId()));
  if (!FActivationHook)
    FTrace.Trace(TTraceLine(u"hidden window ")
                     .Hex(HandleNumber(Window))
                     .Add(u": no hook to refuse its activation (error ")
                     .Decimal(GetLastError())
                     .Add(u")"));
  LetValueRecordsIn(Window, FTrace);
  return HandleNumber(Window);
}

TSendOutcome TMessageWindowLink::Send(uint32_t MessageId, const TCopyData& Record) {
  if (!FGate.MayTry(GetTickCount())) return {};
  // Looked up afresh each time: the server may have come or gone since.
  HWND Server = FindWindowW(nullptr, ServerWindowTitle());
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
  SayHowTheServerAnswers(Server, Sent != 0, Error);
  return {true, HandleNumber(Server)};
}

// Said when it changes, not for every send.
void TMessageWindowLink::SayHowTheServerAnswers(HWND Server, bool Sent, DWORD Error) noexcept {
  // A server that runs with higher rights than the front-end refuses our messages.
  const TAnswering Now = Sent                           ? TAnswering::Yes
                         : Error == ERROR_TIMEOUT       ? TAnswering::TimedOut
                         : Error == ERROR_ACCESS_DENIED ? TAnswering::Refused
                                                        : FAnswering;  // gone meanwhile: nothing to say
  if (Now != FAnswering) {
    FAnswering = Now;
    TTraceLine Line(u"server window ");
    Line.Hex(HandleNumber(Server));
    if (Now == TAnswering::TimedOut)
      Line.Add(u": a send timed out after ")
          .Decimal(TSendGate::cSendBoundMs)
          .Add(u" ms; sends paused for ")
          .Decimal(TSendGate::cBackOffMs)
          .Add(u" ms at a time while it does not answer");
    else if (Now == TAnswering::Refused)
      Line.Add(u" refuses our messages (it runs with higher rights than the front-end)");
    else
      Line.Add(u" answers again");
    FTrace.Trace(Line);
  }
}

void TMessageWindowLink::WndProc(TMessage& Message) {
  Message.Result = 0;
  switch (Message.Msg) {
    case WM_COPYDATA: break;
    // Any process may post these. The window lives exactly as long as its object, and
    // its title stays empty: retitled "Morvicantrel" we would take it for the server.
    case WM_CLOSE: return;
    case WM_SETTEXT: Message.Result = FALSE; return;
    default:
      if (!KeepHidden(Message))
        Message.Result = DefWindowProcW(FOwnWindow.Get(), Message.Msg, Message.WParam, Message.LParam);
      return;
  }
  if (FSink == nullptr) return;
  const auto* Copy = reinterpret_cast<const COPYDATASTRUCT*>(Message.LParam);
  if (Copy == nullptr)
    FSink->StoreValueRecord(0, nullptr, 0);  // not even a COPYDATASTRUCT: malformed
  else
    FSink->StoreValueRecord(static_cast<uint32_t>(Copy->dwData), Copy->lpData, Copy->cbData);
}

// The window shares the front-end's thread: shown, it is a blank box over the
// dashboard; active or focused, the front-end no longer takes its keys. Nothing we do
// ever shows, moves or sizes it, so every message that asks for that (or whose default
// handling would do it) comes from outside and is refused. Activation, focus and the
// minimized or maximized state are refused earlier still, by the thread's hook.
bool TMessageWindowLink::KeepHidden(TMessage& Message) noexcept {
  switch (Message.Msg) {
    // Maximize, restore, move, size, the key menu, the task list, the screen saver:
    // the window has no system menu, so none of these is ours.
    case WM_SYSCOMMAND:
    // Redrawing turned on marks the window visible.
    case WM_SETREDRAW:
    // A hotkey activates its window whenever it is pressed.
    case WM_SETHOTKEY:
      SayRefused(Message.Msg == WM_SYSCOMMAND  ? TRefused::SysCommand
                 : Message.Msg == WM_SETREDRAW ? TRefused::Redraw
                                               : TRefused::Hotkey,
                 static_cast<uint32_t>(Message.WParam & 0xFFF0u));
      return true;
    // ShowWindow and SetWindowPos, from whichever process: never shown, moved, sized or
    // brought forward (nor activated: the hook sees to that).
    case WM_WINDOWPOSCHANGING: {
      auto* Pos = reinterpret_cast<WINDOWPOS*>(Message.LParam);
      if (Pos == nullptr) return false;
      const UINT Kept = (Pos->flags & ~static_cast<UINT>(SWP_SHOWWINDOW)) | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER;
      if (Kept == Pos->flags) return false;
      Pos->flags = Kept;
      SayRefused(TRefused::Position, 0);
      return true;
    }
    // Its style stays what it was made with: WS_VISIBLE, WS_EX_TOPMOST or
    // WS_EX_APPWINDOW set from outside would show it or put it on the taskbar.
    case WM_STYLECHANGING: {
      auto* Style = reinterpret_cast<STYLESTRUCT*>(Message.LParam);
      if (Style == nullptr || Style->styleNew == Style->styleOld) return false;
      Style->styleNew = Style->styleOld;
      SayRefused(TRefused::Style, 0);
      return true;
    }
    default: return false;
  }
}

LRESULT CALLBACK TMessageWindowLink::RefuseActivation(int Code, WPARAM WParam, LPARAM LParam) noexcept {
  // The focus cannot reach a window that is not active.
  const TRefused Kind = Code == HCBT_ACTIVATE ? TRefused::Activation
                        : Code == HCBT_MINMAX ? TRefused::MinMax
                                              : TRefused::None;
  if (Kind != TRefused::None) {
    if (TMessageWindowLink* Link = Bound(reinterpret_cast<HWND>(WParam))) {
      Link->SayRefused(Kind, 0);
      return 1;
    }
  }
  return CallNextHookEx(nullptr, Code, WParam, LParam);
}

void TMessageWindowLink::SayRefused(TRefused Kind, uint32_t Detail) noexcept {
  static constexpr const char16_t* cWhat[] = {u"",
                                              u"WM_SYSCOMMAND ",
                                              u"WM_SETREDRAW",
                                              u"WM_SETHOTKEY",
                                              u"WM_WINDOWPOSCHANGING",
                                              u"WM_STYLECHANGING",
                                              u"activation",
                                              u"minimizing or maximizing"};
  const auto Bit = 1u << static_cast<unsigned>(Kind);
  if (FRefusalsSaid & Bit) return;
  FRefusalsSaid |= Bit;
  TTraceLine Line(u"hidden window ");
  Line.Hex(HandleNumber(FOwnWindow.Get())).Add(u": ").Add(cWhat[static_cast<unsigned>(Kind)]);
  if (Kind == TRefused::SysCommand) Line.Hex(Detail);
  Line.Add(u" refused: it is never shown, moved or activated");
  FTrace.Trace(Line);
}

void UnregisterMessageWindowClass(HINSTANCE Module) noexcept {
  if (GClassRegistered.exchange(false)) UnregisterClassW(cMessageWindowClass, Module);
}

}  // namespace zelm
