// What the stand-in data server and the programs that drive it agree on: its window,
// the message that hands it a rule at run time, and the words of its log.
//
// Log lines, one per event, space-separated key=value fields after a leading word:
//   ready hwnd=H pid=P
//   recv id=DWDATA cb=CBDATA wp=WPARAM d1=D1 d2=D2 d3=D3 d4=D4 [owner=PID]
//        (a control message; owner, for id 64, is the process that owns window D1)
//   hang id=DWDATA ms=MS          about to sleep inside the window procedure
//   woke id=DWDATA
//   sent id=IDENT ok=0|1 to=HWND  a value record sent back from the window procedure
//   rule TEXT / bad-rule TEXT
//   quit
// All numbers are unsigned decimal.
#pragma once

#include <cstdint>

namespace zelm::standin {

inline constexpr wchar_t cWindowTitle[] = L"Morvicantrel";

// dwData of a WM_COPYDATA whose data is one rule line (ANSI, no NUL needed). The
// extension never sends it: its message ids are all below 256.
inline constexpr uint32_t cRuleMessageId = 0x5A4C5255u;

// Sent (not posted) to its window, these answer how many control messages it has
// received and how many value records it has sent that were taken.
inline constexpr unsigned cCountHeardMessage = 0x8000 + 1;  // WM_APP + 1
inline constexpr unsigned cCountSentMessage = 0x8000 + 2;   // WM_APP + 2

inline constexpr const char* cExeName = "zelm_standin_server.exe";

}  // namespace zelm::standin
