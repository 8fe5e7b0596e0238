// zelm_check: the owner's check, without the front-end. Creates the installed
// ZelmKvel.RRExtension as RideRunner does (by its ProgID, late-bound, with a host object
// of its own answering GetInfo and Execute), shows for a few seconds what it gets (the
// data server, a few live values and trip figures, the DLL's trace lines), and ends with
// a verdict and its exit code (programs/check/ExtensionWatch.h). --codes scans skin
// files (CodesRun.h); --verify checks the package's files against SHA256SUMS
// (VerifyRun.h). programs/check/Options.h has the command line.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <exception>
#include <string>

#include "ZelmKvelCommit.h"
#include "ZelmKvelVersion.h"
#include "programs/check/CodesRun.h"
#include "programs/check/ExtensionWatch.h"
#include "programs/check/Verdict.h"
#include "programs/check/VerifyRun.h"
#include "programs/common/ProgramStart.h"

namespace zelm::tools {
namespace {

int Main() {
  TCheckOptions Options;
  std::string Fault;
  std::printf("zelm_check %s, for ZelmKvel %s%s%s\n", ZELM_VERSION_TEXT, ZELM_VERSION_TEXT,
#ifdef ZELM_COMMIT_TEXT
              " (", ZELM_COMMIT_TEXT ")"
#else
              "", ""
#endif
  );
  if (const int Stop = AnswerOptions(ParseCheckOptions(Arguments(), Options, Fault), "zelm_check", Fault, CheckUsage());
      Stop >= 0)
    return Stop;
  if (Options.Mode == TCheckMode::Codes) return RunCodes(Options);
  if (Options.Mode == TCheckMode::Verify) return RunVerify(Options);

  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::printf("COM could not be started on this thread.\n");
    return cCheckFailed;
  }
  const int Code = RunCheck(Options);
  CoUninitialize();
  return Code;
}

}  // namespace
}  // namespace zelm::tools

int main() {
  int Code = zelm::tools::cCheckFailed;
  try {
    Code = zelm::tools::Main();
  } catch (const std::exception& E) {
    std::fprintf(stderr, "zelm_check: %s\n", E.what());
  } catch (...) {
    std::fprintf(stderr, "zelm_check: the check failed\n");
  }
  std::fflush(stdout);
  // From the Start menu the window would close before it is read.
  for (const std::u16string& Arg : zelm::tools::Arguments())
    if (Arg == u"--wait") {
      std::printf("Press Enter to close this window.\n");
      std::getchar();
    }
  return Code;
}
