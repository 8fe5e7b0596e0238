#include "programs/sim/ServerWindow.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "win/com/Handles.h"
#include "win/platform/Names.h"
#include "programs/common/WideText.h"

namespace zelm::tools {
namespace {

constexpr wchar_t cClassName[] = L"ZelmDataServerWindow";
// Not SMTO_BLOCK: while we wait, the extension may itself be sending to us.
constexpr UINT cRecordSendBoundMs = 2000;

// Which object a window belongs to is kept in this process alone, never on the window,
// where any process on the desktop may write. Windows on other threads share the
// table, hence the lock; it is held only to look up.
TLock GTableLock;
TServerWindow* GFirstBound = nullptr;

std::string Number(uint64_t Value) { return std::to_string(Value); }

}  // namespace

TServerWindow::TServerWindow(TDriveSource& Source) : FServer(Source, *this) {
  WNDCLASSEXW Class{};
  Class.cbSize = sizeof Class;
  Class.lpfnWndProc = Entry;
  Class.hInstance = GetModuleHandleW(nullptr);
  Class.lpszClassName = cClassName;
  RegisterClassExW(&Class);  // once a process; later calls find it there
  // A real top-level window, never shown: message-only windows cannot be found by title.
  // Until it is bound below, its messages have the default handling.
  const HWND Window = CreateWindowExW(WS_EX_TOOLWINDOW, cClassName, ServerWindowTitle(), WS_POPUP, 0, 0, 0, 0, nullptr,
                                      nullptr, Class.hInstance, nullptr);
  if (Window == nullptr) return;
  const std::lock_guard<TLock> Held(GTableLock);
  FWindow = Window;
  FNextBound = GFirstBound;
  GFirstBound = this;
}

TServerWindow::~TServerWindow() {
  {
    const std::lock_guard<TLock> Held(GTableLock);
    for (TServerWindow** At = &GFirstBound; *At != nullptr; At = &(*At)->FNextBound)
      if (*At == this) {
        *At = FNextBound;
        break;
      }
  }
  if (FWindow) DestroyWindow(FWindow);
}

TServerWindow* TServerWindow::Bound(HWND Window) noexcept {
  const std::lock_guard<TLock> Held(GTableLock);
  for (TServerWindow* Server = GFirstBound; Server != nullptr; Server = Server->FNextBound)
    if (Server->FWindow == Window) return Server;
  return nullptr;
}

LRESULT CALLBACK TServerWindow::Entry(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  TServerWindow* Self = Bound(Window);
  if (Self == nullptr) return DefWindowProcW(Window, Message, WParam, LParam);
  if (Message == WM_NCDESTROY) Self->FWindow = nullptr;  // closed: the program sees it gone
  return Self->Handle(Window, Message, WParam, LParam);
}

LRESULT TServerWindow::Handle(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  LRESULT Result = 0;
  if (OnMessage && OnMessage(Message, WParam, LParam, Result)) return Result;
  if (Message == WM_COPYDATA) {
    // The system copies the data across processes; a null one is no record.
    const auto* Data = reinterpret_cast<const COPYDATASTRUCT*>(LParam);
    if (Data == nullptr) return FALSE;
    Heard(*Data, WParam);
    return TRUE;
  }
  return DefWindowProcW(Window, Message, WParam, LParam);
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
  if (OnControl && !OnControl(Id, Record)) return;
  FServer.OnControl(Id, Record);
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

std::string TServerWindow::ToAnsi(std::u16string_view Text) { return tools::ToAnsi(Text); }

void TServerWindow::StateChanged() {
  if (OnStateChanged) OnStateChanged();
}

}  // namespace zelm::tools
