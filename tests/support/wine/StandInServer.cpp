// The data server of the tests and the Wine bench: the data server's window serving the
// values its rules give (tests/support/wine/Rules.h), in a process of its own, logging
// every event.
//
//   zelm_standin_server.exe [--log FILE | --quiet] [--script FILE] [--lifetime MS] [RULE ...]
//
// --quiet writes no log (for the Wine bench: a log line costs more than a message); the
// counts can then be asked of the window. Rules come one per argument, one per line of
// a script file, or one per WM_COPYDATA at run time. Besides the data server's, it takes
//   meddle pointer | show   what any process on the desktop may do to the announced
//                           window: overwrite its user data, extra bytes and a property
//                           with a bad pointer; or send and post every message, and make
//                           every call, that would show, move or activate it
// It logs "ready hwnd=H pid=P" when its window is there and ruled (and sets the event
// its starter made, tests/support/wine/StandIn.h) and "quit" when it goes; it quits on
// WM_CLOSE, and after its lifetime (30 s unless told).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/wine/StandIn.h"
#include "tests/support/wine/Rules.h"
#include "win/com/Handles.h"

namespace {

using namespace zelm::wine;

constexpr UINT_PTR cLifetimeTimer = 1;

bool Meddle(HWND To, const std::string& How) {
  if (To == nullptr) return false;
  constexpr LONG_PTR cBad = 0x41414140;
  if (How == "pointer") {
    SetWindowLongPtrW(To, GWLP_USERDATA, cBad);
    SetWindowLongW(To, 0, static_cast<LONG>(cBad));
    SetPropW(To, L"ZelmKvel", reinterpret_cast<HANDLE>(cBad));
    return true;
  }
  if (How != "show") return false;
  const struct {
    UINT Msg;
    WPARAM W;
    LPARAM L;
  } Messages[] = {{WM_SYSCOMMAND, SC_MAXIMIZE, 0},
                  {WM_SYSCOMMAND, SC_KEYMENU, ' '},
                  {WM_SYSCOMMAND, SC_RESTORE, 0},
                  {WM_SYSCOMMAND, SC_MOVE, 0},
                  {WM_SETREDRAW, TRUE, 0},
                  {WM_SHOWWINDOW, TRUE, SW_PARENTOPENING},
                  {WM_ACTIVATE, WA_ACTIVE, 0},
                  {WM_ACTIVATE, WA_CLICKACTIVE, 0},
                  {WM_MOUSEACTIVATE, 0, MAKELPARAM(HTCAPTION, WM_LBUTTONDOWN)},
                  {WM_SETFOCUS, 0, 0},
                  {WM_NCLBUTTONDOWN, HTCAPTION, 0},
                  {WM_NCLBUTTONDBLCLK, HTCAPTION, 0},
                  {WM_SETHOTKEY, 'Z' | (2 << 8) /* HOTKEYF_CONTROL */, 0},
                  {WM_SYSKEYDOWN, VK_SPACE, 1 << 29},
                  {WM_SYSCHAR, ' ', 1 << 29},
                  {WM_KEYDOWN, VK_F10, 0},
                  {WM_CONTEXTMENU, 0, 0},
                  {0x0313 /* WM_POPUPSYSTEMMENU */, 0, 0},
                  {WM_QUERYOPEN, 0, 0}};
  for (const auto& M : Messages) {
    PostMessageW(To, M.Msg, M.W, M.L);
    DWORD_PTR Result = 0;
    SendMessageTimeoutW(To, M.Msg, M.W, M.L, SMTO_NORMAL, 2000, &Result);
  }
  WINDOWPOS Pos{To, HWND_TOPMOST, 0, 0, 800, 600, SWP_SHOWWINDOW};
  DWORD_PTR Result = 0;
  SendMessageTimeoutW(To, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&Pos), SMTO_NORMAL, 2000, &Result);
  SetWindowPos(To, HWND_TOPMOST, 10, 10, 800, 600, SWP_SHOWWINDOW);
  MoveWindow(To, 10, 10, 300, 200, TRUE);
  for (int Show : {SW_SHOW, SW_SHOWNORMAL, SW_RESTORE, SW_SHOWMAXIMIZED, SW_MINIMIZE}) ShowWindow(To, Show);
  ShowWindowAsync(To, SW_SHOWMAXIMIZED);
  SetWindowLongW(To, GWL_STYLE, GetWindowLongW(To, GWL_STYLE) | WS_VISIBLE | WS_CAPTION | WS_SYSMENU);
  SetWindowLongW(To, GWL_EXSTYLE, GetWindowLongW(To, GWL_EXSTYLE) | WS_EX_TOPMOST | WS_EX_APPWINDOW);
  BringWindowToTop(To);
  SetForegroundWindow(To);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> Rules, ScriptRules;  // a script's first: the command line has the last word
  const char* LogPath = nullptr;
  bool Quiet = false;
  UINT Lifetime = 30000;
  for (int I = 1; I < argc; ++I) {
    const std::string Arg = argv[I];
    if (Arg == "--log" && I + 1 < argc) {
      LogPath = argv[++I];
    } else if (Arg == "--quiet") {
      Quiet = true;
    } else if (Arg == "--lifetime" && I + 1 < argc) {
      Lifetime = static_cast<UINT>(std::strtoul(argv[++I], nullptr, 10));
    } else if (Arg == "--script" && I + 1 < argc) {
      std::ifstream Script(argv[++I]);
      if (!Script) {
        std::fprintf(stderr, "stand-in: cannot read script %s\n", argv[I]);
        return 2;
      }
      for (std::string Line; std::getline(Script, Line);) {
        while (!Line.empty() && Line.back() == '\r') Line.pop_back();
        ScriptRules.push_back(Line);
      }
    } else {
      Rules.push_back(Arg);
    }
  }
  zelm::TFile Log(LogPath ? std::fopen(LogPath, "ab") : nullptr);
  if (LogPath && !Log) {
    std::fprintf(stderr, "stand-in: cannot open log %s\n", LogPath);
    return 2;
  }
  FILE* To = LogPath ? Log.Get() : Quiet ? nullptr : stdout;

  TRuledServer Server;
  if (!Server.Window()) return 3;
  const auto Say = [To](const std::string& Line) {
    std::fprintf(To, "%s\n", Line.c_str());
    std::fflush(To);
  };
  if (To) Server.SetLog(Say);
  Server.OnRule = [&Server](const TRule& Rule, const std::string& Line) {
    std::istringstream Words(Line);
    std::string Word, How;
    Words >> Word >> How;
    return Rule.Text == "meddle" &&
           Meddle(reinterpret_cast<HWND>(static_cast<uintptr_t>(Server.Server().Window())), How);
  };
  Server.OnMessage = [&Server](UINT Message, WPARAM WParam, LPARAM, LRESULT&) {
    if (Message == WM_TIMER && WParam == cLifetimeTimer) return DestroyWindow(Server.Window()) != FALSE;
    if (Message == WM_DESTROY) PostQuitMessage(0);
    return false;
  };
  // The rules come first, so that no message finds the window before it is ruled.
  for (const auto& Rule : ScriptRules) Server.Rule(Rule);
  for (const auto& Rule : Rules) Server.Rule(Rule);
  SetTimer(Server.Window(), cLifetimeTimer, Lifetime, nullptr);
  if (To)
    Say("ready hwnd=" + std::to_string(reinterpret_cast<uintptr_t>(Server.Window())) +
        " pid=" + std::to_string(GetCurrentProcessId()));
  const zelm::THandle Ready(
      OpenEventW(EVENT_MODIFY_STATE, FALSE, zelm::standin::ReadyEventName(GetCurrentProcessId()).c_str()));
  if (Ready) SetEvent(Ready.Get());

  MSG Msg;
  while (GetMessageW(&Msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
  if (To) Say("quit");
  return 0;
}
