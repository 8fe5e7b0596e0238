#include "tools/sim/ServerWindow.h"

#include <algorithm>
#include <cstring>

namespace zelm::tools {
namespace {

constexpr wchar_t cClassName[] = L"ZelmDataServerWindow";
// A hang that nobody releases ends after this: a failed test must not wedge the server.
constexpr DWORD cLongestHangMs = 60000;
// Not SMTO_BLOCK: while we wait, the extension may itself be sending to us.
constexpr UINT cRecordSendBoundMs = 2000;

std::string Number(uint64_t Value) { return std::to_string(Value); }

}  // namespace

TServerWindow::TServerWindow(TDriveSource& Source, TRuleSource* Values)
    : FServer(Source, *this),
      FValues(Values),
      FRelease(CreateEventW(nullptr, FALSE, FALSE, ReleaseEventName(GetCurrentProcessId()).c_str())) {
  WNDCLASSEXW Class{};
  Class.cbSize = sizeof Class;
  Class.lpfnWndProc = Entry;
  Class.hInstance = GetModuleHandleW(nullptr);
  Class.lpszClassName = cClassName;
  RegisterClassExW(&Class);  // once a process; later calls find it there
  // A real top-level window, never shown: message-only windows cannot be found by title.
  FWindow = CreateWindowExW(WS_EX_TOOLWINDOW, cClassName, cServerWindowTitleW, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            Class.hInstance, this);
}

TServerWindow::~TServerWindow() {
  if (FWindow) {
    SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
    DestroyWindow(FWindow);
  }
}

std::wstring TServerWindow::ReleaseEventName(DWORD ProcessId) {
  return L"ZelmKvelDataServerRelease." + std::to_wstring(ProcessId);
}

void TServerWindow::Release() const { SetEvent(FRelease.Get()); }

LRESULT CALLBACK TServerWindow::Entry(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  if (Message == WM_NCCREATE) {
    auto* Self = static_cast<TServerWindow*>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams);
    Self->FWindow = Window;
    SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Self));
  }
  auto* Self = reinterpret_cast<TServerWindow*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (Self == nullptr) return DefWindowProcW(Window, Message, WParam, LParam);
  if (Message == WM_NCDESTROY) {
    SetWindowLongPtrW(Window, GWLP_USERDATA, 0);
    Self->FWindow = nullptr;
    return DefWindowProcW(Window, Message, WParam, LParam);
  }
  return Self->Handle(Message, WParam, LParam);
}

LRESULT TServerWindow::Handle(UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_COPYDATA: {
      const auto* Data = reinterpret_cast<const COPYDATASTRUCT*>(LParam);
      if (Data == nullptr) return FALSE;
      if (Data->dwData == cRuleMessageId)
        return Rule(Data->lpData ? std::string(static_cast<const char*>(Data->lpData), Data->cbData) : std::string());
      Heard(*Data, WParam);
      return TRUE;
    }
    case cCountHeardMessage: return static_cast<LRESULT>(FServer.Counters().Heard);
    case cCountSentMessage: return FTaken;
    default: break;
  }
  LRESULT Result = 0;
  if (OnMessage && OnMessage(Message, WParam, LParam, Result)) return Result;
  if (Message == WM_CLOSE) {
    DestroyWindow(FWindow);
    return 0;
  }
  return DefWindowProcW(FWindow, Message, WParam, LParam);
}

void TServerWindow::Heard(const COPYDATASTRUCT& Data, WPARAM WParam) {
  const auto Id = static_cast<uint32_t>(Data.dwData);
  TCopyData Record{};
  if (Data.lpData != nullptr) std::memcpy(&Record, Data.lpData, std::min<std::size_t>(Data.cbData, sizeof Record));
  if (Log) {
    std::string Line = "recv id=" + Number(Id) + " cb=" + Number(Data.cbData) + " wp=" + Number(WParam) +
                       " d1=" + Number(Record.Data1) + " d2=" + Number(Record.Data2) + " d3=" + Number(Record.Data3) +
                       " d4=" + Number(Record.Data4);
    if (Id == InitConnectionMessageId) {
      const HWND Named = reinterpret_cast<HWND>(static_cast<uintptr_t>(Record.Data1));
      DWORD Owner = 0;
      if (Record.Data1 != 0 && IsWindow(Named)) GetWindowThreadProcessId(Named, &Owner);
      Line += " owner=" + Number(Owner);
    }
    Say(Line);
  }
  if (OnControl) OnControl(Id, Record);
  for (auto Hang = FHangs.begin(); Hang != FHangs.end(); ++Hang) {
    if (Hang->Id != Id) continue;
    if (Hang->Times > 0 && --Hang->Times == 0) FHangs.erase(Hang);
    Say("hang id=" + Number(Id));
    WaitForSingleObject(FRelease.Get(), cLongestHangMs);
    Say("woke id=" + Number(Id));
    break;
  }
  FServer.OnControl(Id, Record);
}

bool TServerWindow::Rule(const std::string& Line) {
  const TRule Rule = ParseRule(Line);
  bool Taken = true;
  switch (Rule.Kind) {
    case TRule::TKind::None: break;
    case TRule::TKind::Value: {
      if (!FValues) {
        Taken = false;
        break;
      }
      // The rule's title is ANSI, as the records carry it: it goes out as it came.
      std::u16string TitleUnit(Rule.TitleUnit.size(), u'\0');
      const int Length =
          MultiByteToWideChar(CP_ACP, 0, Rule.TitleUnit.data(), static_cast<int>(Rule.TitleUnit.size()),
                              reinterpret_cast<wchar_t*>(TitleUnit.data()), static_cast<int>(TitleUnit.size()));
      TitleUnit.resize(static_cast<std::size_t>(std::max(Length, 0)));
      FValues->Set(Rule.Id, Rule.Text, TitleUnit);
      break;
    }
    case TRule::TKind::Forget:
      if (FValues) FValues->Forget(Rule.Id);
      Taken = FValues != nullptr;
      break;
    case TRule::TKind::Hang: FHangs.push_back({Rule.Id, Rule.Times}); break;
    case TRule::TKind::Silent:
    case TRule::TKind::Talk: FServer.SetSilent(Rule.Kind == TRule::TKind::Silent); break;
    case TRule::TKind::Quit: PostMessageW(FWindow, WM_CLOSE, 0, 0); break;
    case TRule::TKind::Other: Taken = OnRule && OnRule(Rule, Line); break;
    case TRule::TKind::Bad: Taken = false; break;
  }
  Say((Taken ? "rule " : "bad-rule ") + Line);
  return Taken;
}

void TServerWindow::Say(const std::string& Line) const {
  if (Log) Log(Line);
}

bool TServerWindow::SendRecord(uint32_t Window, uint32_t Identifier, std::string_view Record) {
  const HWND Target = reinterpret_cast<HWND>(static_cast<uintptr_t>(Window));
  if (!IsWindow(Target)) return false;
  COPYDATASTRUCT Data{Identifier, static_cast<DWORD>(Record.size()), const_cast<char*>(Record.data())};
  DWORD_PTR Answer = 0;
  const bool Taken =
      SendMessageTimeoutW(Target, WM_COPYDATA, reinterpret_cast<WPARAM>(FWindow), reinterpret_cast<LPARAM>(&Data),
                          SMTO_NORMAL | SMTO_ABORTIFHUNG, cRecordSendBoundMs, &Answer) != 0;
  FTaken += Taken;
  Say("sent id=" + Number(Identifier) + " ok=" + (Taken ? "1" : "0") + " to=" + Number(Window));
  // A busy host loses this value and takes the next; a window that went is forgotten.
  return Taken || IsWindow(Target);
}

std::string TServerWindow::ToAnsi(std::u16string_view Text) {
  const auto* Wide = reinterpret_cast<const wchar_t*>(Text.data());
  const int Size = WideCharToMultiByte(CP_ACP, 0, Wide, static_cast<int>(Text.size()), nullptr, 0, nullptr, nullptr);
  std::string Out(static_cast<std::size_t>(std::max(Size, 0)), '\0');
  if (Size > 0) WideCharToMultiByte(CP_ACP, 0, Wide, static_cast<int>(Text.size()), Out.data(), Size, nullptr, nullptr);
  return Out;
}

void TServerWindow::StateChanged() {
  if (OnStateChanged) OnStateChanged();
}

}  // namespace zelm::tools
