// What stands in for the Zelm data server in the Wine tests, the script scenario and
// the Wine bench: a desktop of the program's own (so that the "Morvicantrel" window of
// another program in the same Wine prefix can neither answer it nor hear it), the
// stand-in server as a second process with its log, and "Morvicantrel" windows on the
// program's own thread; value records delivered by hand.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "win/com/Handles.h"

namespace zelm::wine {

// --- A desktop of our own -------------------------------------------------------------

// Moves the calling thread onto a new desktop and answers its name (empty on failure).
// Call it before the thread owns any window, i.e. before CoInitializeEx.
std::wstring EnterPrivateDesktop();
// The desktop the calling thread is on, by name ("" when unknown).
std::wstring CurrentDesktopName();
// What a program that starts the stand-in does first: the known prefix, a desktop of
// its own, one single-threaded apartment, and this build's DLL registered. Answers
// what failed, or nullptr.
const char* SetUpOwnDesktop();

// Runs the message loop of the calling thread for Ms milliseconds.
void PumpFor(DWORD Ms);
// Milliseconds since an arbitrary start, to the microsecond.
double NowMs();

// --- The stand-in data server, a second process -----------------------------------------

// One control message as the stand-in logged it.
struct TControl {
  uint32_t Id = 0, Cb = 0, Wp = 0, D1 = 0, D2 = 0, D3 = 0, D4 = 0, Owner = 0;
};

// The stand-in, started on the calling thread's desktop.
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
  DWORD ProcessId() const { return FProcessId; }
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
  THandle FProcess, FThread, FJob;
  DWORD FProcessId = 0;
  HWND FWindow = nullptr;  // the stand-in's
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

// --- "Morvicantrel" windows on our own thread -------------------------------------------

// A hidden top-level window titled "Morvicantrel" of a class of that name (registered
// on first use), with Owner in its GWLP_USERDATA for the window procedure.
HWND MakeServerWindow(const wchar_t* ClassName, WNDPROC Entry, void* Owner);

// One WM_COPYDATA as a server window took it.
struct TReceived {
  ULONG_PTR Id;
  DWORD Size;
  WPARAM WParam;
  DWORD Data[4];  // the control record, when cbData is 16
};

// A server window that records what reaches it.
class TServerWindow {
 public:
  TServerWindow();

  TServerWindow(const TServerWindow&) = delete;
  TServerWindow& operator=(const TServerWindow&) = delete;

  HWND Window() const { return FWindow.Get(); }
  // The window the last announcement (64) named; null before one.
  HWND Announced() const;

  std::vector<TReceived> Received;
  // Runs inside the window procedure, for answers during a send.
  std::function<void(const TReceived&)> OnReceive;

 private:
  static LRESULT CALLBACK Entry(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);
  TWindow FWindow;
};

// A value record (or any data) handed to a window as the data server hands it: a
// WM_COPYDATA with wParam 0. Answers what the window procedure returned.
LRESULT SendRecord(HWND To, ULONG_PTR Id, const void* Data, DWORD Size);
inline LRESULT SendRecord(HWND To, ULONG_PTR Id, std::string_view Record) {
  return SendRecord(To, Id, Record.data(), static_cast<DWORD>(Record.size()));
}

}  // namespace zelm::wine
