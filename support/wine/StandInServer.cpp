// A stand-in for the Zelm data server, for the tests and the Wine bench of the real DLL.
// It owns a hidden top-level window titled "Morvicantrel", logs every control message
// that reaches it, remembers the window announced by message 64 and answers an Add (80)
// with a value record for that identifier and a trip read (129) with records for the
// trip identifiers. The records are sent from inside its window procedure, so they
// reach the extension while it is still waiting in its own send, as the real server's do.
//
//   zelm_standin_server.exe [--log FILE | --quiet] [--script FILE] [--lifetime MS] [RULE ...]
//
// --quiet writes no log (for the Wine bench: a log line costs more than a message); the
// counts of control messages and of records sent can then be asked for with
// cCountHeardMessage and cCountSentMessage.
//
// Rules, one per argument, one per line of a script file, or one per WM_COPYDATA with
// dwData = cRuleMessageId at run time:
//   value ID TEXT[|TITLE,UNIT]  the record answered for identifier ID (TEXT may be empty;
//                               a trip figure's record is its value area only)
//   forget ID                   no record for ID any more
//   hang ID MS [TIMES]          sleep MS inside the window procedure on the next TIMES
//                               control messages with dwData ID (TIMES 0: every one)
//   silent | talk               answer nothing / answer again
//   meddle pointer | show       what any process on the desktop may do to the announced
//                               window: overwrite its user data, extra bytes and a
//                               property with a bad pointer; or send and post every
//                               message, and make every call, that would show, move or
//                               activate it
//   lifetime MS                 quit MS milliseconds from now (default 30000)
//   quit                        quit now
// It also quits on WM_CLOSE, so nothing outlives the program that started it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/protocol/Protocol.h"
#include "support/wine/StandIn.h"

namespace {

using zelm::standin::cRuleMessageId;

constexpr uint32_t cInitConnection = 64;
constexpr uint32_t cAdd = 80;
constexpr uint32_t cTripRead = 129;
constexpr UINT_PTR cLifetimeTimer = 1;
constexpr UINT cRecordSendBound = 5000;  // ms; a test that stopped pumping must not wedge us

struct THang {
  uint32_t Id;
  DWORD Ms;
  int Times;  // 0: for ever
};

HANDLE GLog = INVALID_HANDLE_VALUE;  // none with --quiet
long GHeard = 0;                     // control messages received
long GSent = 0;                      // value records sent and taken
HWND GWindow = nullptr;
HWND GAnnounced = nullptr;
bool GSilent = false;
UINT GLifetime = 30000;                    // ms
std::map<uint32_t, std::string> GRecords;  // by identifier, as they go out
std::vector<THang> GHangs;

void Log(const std::string& Line) {
  if (GLog == INVALID_HANDLE_VALUE) return;
  const std::string Out = Line + "\n";
  DWORD Written = 0;
  WriteFile(GLog, Out.data(), static_cast<DWORD>(Out.size()), &Written, nullptr);
}

bool IsTripId(uint32_t Id) { return Id >= 129 && Id <= 144 && Id != 136; }

bool Meddle(const std::string& How) {
  const HWND To = GAnnounced;
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

bool ApplyRule(const std::string& Rule) {
  std::istringstream In(Rule);
  std::string Word;
  In >> Word;
  if (Word.empty() || Word[0] == '#') return true;
  if (Word == "value") {
    uint32_t Id = 0;
    if (!(In >> Id)) return false;
    std::string Rest;
    std::getline(In, Rest);
    if (!Rest.empty() && Rest[0] == ' ') Rest.erase(0, 1);
    const auto Bar = Rest.find('|');
    const std::string Text = Rest.substr(0, Bar);
    GRecords[Id] = IsTripId(Id) ? zelm::EncodeTripRecord(Text)
                                : zelm::EncodeLiveRecord(Text, Bar == std::string::npos ? "" : Rest.substr(Bar + 1));
    return true;
  }
  if (Word == "forget") {
    uint32_t Id = 0;
    if (!(In >> Id)) return false;
    GRecords.erase(Id);
    return true;
  }
  if (Word == "hang") {
    THang Hang{0, 0, 1};
    if (!(In >> Hang.Id >> Hang.Ms)) return false;
    In >> Hang.Times;
    GHangs.push_back(Hang);
    return true;
  }
  if (Word == "silent" || Word == "talk") {
    GSilent = Word == "silent";
    return true;
  }
  if (Word == "meddle") {
    std::string How;
    In >> How;
    return Meddle(How);
  }
  if (Word == "lifetime") {
    UINT Ms = 0;
    if (!(In >> Ms)) return false;
    GLifetime = Ms;
    if (GWindow) SetTimer(GWindow, cLifetimeTimer, Ms, nullptr);
    return true;
  }
  if (Word == "quit") {
    if (GWindow) PostMessageW(GWindow, WM_CLOSE, 0, 0);
    return true;
  }
  return false;
}

void TakeRule(const std::string& Rule) { Log((ApplyRule(Rule) ? "rule " : "bad-rule ") + Rule); }

void SendValue(uint32_t Id, const std::string& Record) {
  if (GAnnounced == nullptr) return;
  COPYDATASTRUCT Data{Id, static_cast<DWORD>(Record.size()), const_cast<char*>(Record.data())};
  DWORD_PTR Result = 0;
  const LRESULT Ok = SendMessageTimeoutW(GAnnounced, WM_COPYDATA, reinterpret_cast<WPARAM>(GWindow),
                                         reinterpret_cast<LPARAM>(&Data), SMTO_NORMAL, cRecordSendBound, &Result);
  GSent += Ok != 0;
  Log("sent id=" + std::to_string(Id) + " ok=" + (Ok ? "1" : "0") +
      " to=" + std::to_string(reinterpret_cast<uintptr_t>(GAnnounced)));
}

void HangIfScripted(uint32_t Id) {
  for (auto It = GHangs.begin(); It != GHangs.end(); ++It) {
    if (It->Id != Id) continue;
    const DWORD Ms = It->Ms;
    if (It->Times > 0 && --It->Times == 0) GHangs.erase(It);
    Log("hang id=" + std::to_string(Id) + " ms=" + std::to_string(Ms));
    Sleep(Ms);
    Log("woke id=" + std::to_string(Id));
    return;
  }
}

void OnControl(const COPYDATASTRUCT& Data, WPARAM WParam) {
  ++GHeard;
  const auto Id = static_cast<uint32_t>(Data.dwData);
  uint32_t D[4] = {0, 0, 0, 0};
  if (Data.lpData != nullptr) std::memcpy(D, Data.lpData, Data.cbData < 16 ? Data.cbData : 16);
  std::string Line =
      "recv id=" + std::to_string(Id) + " cb=" + std::to_string(Data.cbData) + " wp=" + std::to_string(WParam);
  for (int I = 0; I < 4; ++I) Line += " d" + std::to_string(I + 1) + "=" + std::to_string(D[I]);
  const HWND Named = reinterpret_cast<HWND>(static_cast<uintptr_t>(D[0]));
  if (Id == cInitConnection) {
    DWORD Owner = 0;
    if (D[0] != 0 && IsWindow(Named)) GetWindowThreadProcessId(Named, &Owner);
    Line += " owner=" + std::to_string(Owner);
  }
  Log(Line);

  HangIfScripted(Id);
  if (Id == cInitConnection) GAnnounced = D[0] != 0 ? Named : nullptr;
  if (GSilent) return;
  if (Id == cAdd) {
    const auto It = GRecords.find(D[0]);
    if (It != GRecords.end()) SendValue(It->first, It->second);
  } else if (Id == cTripRead) {
    for (const auto& [Ident, Record] : GRecords)
      if (IsTripId(Ident)) SendValue(Ident, Record);
  }
}

LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_COPYDATA: {
      const auto* Data = reinterpret_cast<const COPYDATASTRUCT*>(LParam);
      if (Data == nullptr) return 0;
      if (Data->dwData == cRuleMessageId) {
        TakeRule(Data->lpData ? std::string(static_cast<const char*>(Data->lpData), Data->cbData) : std::string());
        return 1;
      }
      OnControl(*Data, WParam);
      return 0;
    }
    case zelm::standin::cCountHeardMessage: return GHeard;
    case zelm::standin::cCountSentMessage: return GSent;
    case WM_TIMER:
      if (WParam == cLifetimeTimer) DestroyWindow(Window);
      return 0;
    case WM_CLOSE: DestroyWindow(Window); return 0;
    case WM_DESTROY:
      Log("quit");
      PostQuitMessage(0);
      return 0;
    default: return DefWindowProcW(Window, Msg, WParam, LParam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> Rules;
  std::vector<std::string> ScriptRules;  // applied first: the command line has the last word
  const char* LogPath = nullptr;
  bool Quiet = false;
  const char* ScriptPath = nullptr;
  for (int I = 1; I < argc; ++I) {
    const std::string Arg = argv[I];
    if (Arg == "--log" && I + 1 < argc) {
      LogPath = argv[++I];
    } else if (Arg == "--quiet") {
      Quiet = true;
    } else if (Arg == "--script" && I + 1 < argc) {
      ScriptPath = argv[++I];
    } else if (Arg == "--lifetime" && I + 1 < argc) {
      GLifetime = static_cast<UINT>(std::strtoul(argv[++I], nullptr, 10));
    } else {
      Rules.push_back(Arg);
    }
  }

  if (LogPath) {
    GLog = CreateFileA(LogPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (GLog == INVALID_HANDLE_VALUE) {
      std::fprintf(stderr, "stand-in: cannot open log %s\n", LogPath);
      return 2;
    }
  } else if (!Quiet) {
    GLog = GetStdHandle(STD_OUTPUT_HANDLE);
  }
  if (ScriptPath) {
    FILE* Script = std::fopen(ScriptPath, "r");
    if (!Script) {
      std::fprintf(stderr, "stand-in: cannot read script %s\n", ScriptPath);
      return 2;
    }
    char Line[512];
    while (std::fgets(Line, sizeof Line, Script)) {
      std::string Rule = Line;
      while (!Rule.empty() && (Rule.back() == '\n' || Rule.back() == '\r')) Rule.pop_back();
      ScriptRules.push_back(Rule);
    }
    std::fclose(Script);
  }

  WNDCLASSW Class{};
  Class.lpfnWndProc = WindowProc;
  Class.hInstance = GetModuleHandleW(nullptr);
  Class.lpszClassName = L"ZelmStandInServer";
  if (!RegisterClassW(&Class)) return 3;
  // The rules come first, so that no message finds the window before it is scripted.
  for (const auto& Rule : ScriptRules) TakeRule(Rule);
  for (const auto& Rule : Rules) TakeRule(Rule);
  GWindow = CreateWindowExW(WS_EX_TOOLWINDOW, Class.lpszClassName, zelm::standin::cWindowTitle, WS_POPUP, 0, 0, 0, 0,
                            nullptr, nullptr, Class.hInstance, nullptr);
  if (!GWindow) return 3;
  SetTimer(GWindow, cLifetimeTimer, GLifetime, nullptr);
  Log("ready hwnd=" + std::to_string(reinterpret_cast<uintptr_t>(GWindow)) +
      " pid=" + std::to_string(GetCurrentProcessId()));

  MSG Msg;
  while (GetMessageW(&Msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
  if (LogPath) CloseHandle(GLog);
  return 0;
}
