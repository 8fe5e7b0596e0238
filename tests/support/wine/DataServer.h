// The data server as the Wine tests, the script scenario and the Wine bench meet it: the
// data server's window serving the values of its rules (tests/support/wine/Rules.h), as the
// stand-in in a second process or on the test's own thread, each with its log read
// back; a desktop of the program's own (so that the "Morvicantrel" window of another
// program in the same Wine prefix can neither answer it nor hear it); value records
// delivered by hand.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/wine/Rules.h"
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

// Milliseconds since an arbitrary start, to the microsecond (for the bench's figures).
double NowMs();
// Handles what the calling thread's queue holds now, and returns.
void PumpWaiting();

// --- What a data server heard ----------------------------------------------------------

// One control message as a data server logged it.
struct TControl {
  uint32_t Id = 0, Cb = 0, Wp = 0, D1 = 0, D2 = 0, D3 = 0, D4 = 0, Owner = 0;
};

// A data server's log read back (tests/support/wine/Rules.h has its words).
class TServerLog {
 public:
  virtual ~TServerLog() = default;
  virtual std::vector<std::string> Lines() const = 0;
  // The control messages it heard, all of them or from a mark on.
  std::vector<TControl> Controls() const;
  std::size_t Mark() const { return Controls().size(); }
  std::vector<TControl> ControlsSince(std::size_t Mark) const;
  // How many records it has sent that were taken.
  std::size_t RecordsSent() const;
};

// A program of ours started on the calling thread's desktop, so that our extension finds
// its window and nobody else does, in a job that ends it should we die.
struct TChildProcess {
  THandle Process, Job;
  DWORD Id = 0;
  // BeforeRun runs while it is still suspended (with its process id).
  bool Start(std::wstring CommandLine, const std::function<void(DWORD Id)>& BeforeRun = {});
  // Its "Morvicantrel" window once there: once Ready is set (if given) or the window
  // shows; null when the process ends first or 10 s pass.
  HWND ServerWindow(HANDLE Ready = nullptr) const;
  bool Running() const { return Process && WaitForSingleObject(Process.Get(), 0) == WAIT_TIMEOUT; }
  // Asks its window to close, waits for it, and ends it by force only if it will not go.
  void Stop(HWND Window);
};

// A program run to its end on the calling thread's desktop, in Folder if given, with its
// standard output and error read back (from a file: Wine's helpers may hold a pipe
// open long after). Answers what failed (it did not start, or end within 60 s), or
// nullptr.
struct TRunToEnd {
  DWORD Id = 0, Exit = 1;
  std::string Output;
};
const char* RunToEnd(std::wstring CommandLine, TRunToEnd& Run, const std::wstring& Folder = {});

// The stand-in, a second process on the calling thread's desktop.
class TStandIn final : public TServerLog {
 public:
  TStandIn() = default;
  ~TStandIn() { Stop(); }
  TStandIn(const TStandIn&) = delete;
  TStandIn& operator=(const TStandIn&) = delete;

  // Starts it with these rules and waits until its window is there. A quiet one keeps
  // no log, only its two counts.
  bool Start(const std::vector<std::string>& Rules, DWORD LifetimeMs = 30000, bool Quiet = false);
  // Asks it to close, waits for it, and ends it by force only if it will not go.
  void Stop();

  HWND Window() const { return FWindow; }
  DWORD ProcessId() const { return FChild.Id; }
  // Hands it one more rule at run time.
  bool Rule(const std::string& Rule);
  // Ends the hang it is blocked in (a "hang" rule's).
  void Release() const;
  // Its own counts of control messages heard and records sent, asked of it: while we
  // wait for the answer, the records it sends us meanwhile are taken.
  long CountHeard() const;
  long CountSent() const;

  std::vector<std::string> Lines() const override;

 private:
  TChildProcess FChild;
  HWND FWindow = nullptr;  // the stand-in's
  std::wstring FLogPath;
};

// The same data server on the calling thread: what it hears while the thread waits in a
// send (as the extension's are) it answers at once. A quiet one keeps no log (for the
// bench), only its counts.
class TLocalServer final : public TServerLog {
 public:
  explicit TLocalServer(const std::vector<std::string>& Rules = {}, bool Quiet = false);
  HWND Window() const { return FServer.Window(); }
  TRuledServer& Server() { return FServer; }
  std::vector<std::string> Lines() const override { return FLines; }
  // The window the extension announced; null before one.
  HWND Announced() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(FServer.Server().Window())); }

 private:
  TRuledServer FServer;
  std::vector<std::string> FLines;
};

// Control messages as text, "64(65612) 129(0)": id and Data1; a message whose cbData
// is not 16, whose wParam is not 0 or whose Data2..4 are not 0 shows all its fields,
// so that it cannot match an expectation written in the short form.
std::string Sequence(const std::vector<TControl>& Controls);
std::string Msg(uint32_t Id, uint32_t Data1 = 0);
inline std::string Msg(uint32_t Id, HWND Data1) {
  return Msg(Id, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Data1)));
}

// A value record (or any data) handed to a window as the data server hands it: a
// WM_COPYDATA with wParam 0. Answers what the window procedure returned.
LRESULT SendRecord(HWND To, ULONG_PTR Id, const void* Data, DWORD Size);
inline LRESULT SendRecord(HWND To, ULONG_PTR Id, std::string_view Record) {
  return SendRecord(To, Id, Record.data(), static_cast<DWORD>(Record.size()));
}

}  // namespace zelm::wine
