#include "programs/common/DebugOutput.h"

#include <windows.h>

#include <deque>
#include <mutex>

#include "programs/common/WideText.h"
#include "win/com/Handles.h"

namespace zelm::tools {
namespace {

// The plain (ANSI) form that every Windows raises, or the wide one Windows 10 and later
// raise first.
constexpr DWORD cPrintException = 0x40010006;      // DBG_PRINTEXCEPTION_C
constexpr DWORD cPrintExceptionWide = 0x4001000A;  // DBG_PRINTEXCEPTION_WIDE_C
// The handler runs on whichever thread writes a line (the system's own threads too):
// the lines are shared with the reader under a lock.
std::deque<std::string> GLines;
TLock GLock;

void Keep(std::string Line) {
  while (!Line.empty() && (Line.back() == '\n' || Line.back() == '\r')) Line.pop_back();
  GLines.push_back(std::move(Line));
}

LONG CALLBACK Catch(EXCEPTION_POINTERS* Info) {
  const EXCEPTION_RECORD* R = Info->ExceptionRecord;
  if ((R->ExceptionCode != cPrintExceptionWide && R->ExceptionCode != cPrintException) || R->NumberParameters < 2 ||
      R->ExceptionInformation[1] == 0)
    return EXCEPTION_CONTINUE_SEARCH;
  const std::lock_guard<TLock> Held(GLock);
  try {
    if (R->ExceptionCode == cPrintExceptionWide) {
      Keep(Narrow(reinterpret_cast<const wchar_t*>(R->ExceptionInformation[1])));
    } else {
      // The system's code page: widened, then written as UTF-8.
      std::u16string Text;
      FromCodePage(reinterpret_cast<const char*>(R->ExceptionInformation[1]), Text, CP_ACP, false);
      Keep(ToUtf8(Text));
    }
  } catch (...) {
    // Out of memory: the line is lost, nothing else.
  }
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

void CatchDebugOutput() {
  static const PVOID Handler = AddVectoredExceptionHandler(1, Catch);
  (void)Handler;
}

std::vector<std::string> TakeDebugOutput() {
  const std::lock_guard<TLock> Held(GLock);
  std::vector<std::string> Lines(GLines.begin(), GLines.end());
  GLines.clear();
  return Lines;
}

}  // namespace zelm::tools
