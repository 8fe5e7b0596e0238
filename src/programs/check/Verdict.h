// zelm_check's verdict on the installed extension from what it saw, in plain words with
// what mends it for the way ZelmKvel was installed. Portable: the Windows half
// (Registration, ExtensionWatch) only gathers the facts.
#pragma once

#include <string>
#include <vector>

namespace zelm::tools {

// What the check saw of the installed extension, in the order it looks.
struct TCheckFacts {
  bool Registered = false;         // an entry of the class is there, or the installer's mark
  std::u16string InstalledBy;      // the installer package that installed it ("ZelmKvel-1.0.0.msi")
  std::vector<std::string> Wrong;  // entries of the class missing or not right, "HKCR\...: missing"
  std::u16string ServerPath;       // the class's InprocServer32 as registered (without it,
                                   // the type library's path)
  std::u16string LongPath;         // the same in long form, where it differs
  bool ServerFileThere = false;
  bool InUse = false;            // another program on this desktop has ZelmKvel loaded
  bool Created = false;          // the object made through COM, as a front-end makes it
  std::string CreateError;       // why not
  bool DataServerFound = false;  // a window "Morvicantrel" took the extension's messages
  int ValuesSeen = 0;            // label answers that were values (not "-", not empty)
};

enum class TVerdict { Working, NotRegistered, FileMissing, Incomplete, DoesNotLoad, NoDataServer, NoValues, InUse };

// The exit code when the check itself could not run.
inline constexpr int cCheckFailed = 9;

TVerdict Judge(const TCheckFacts& Facts);
// The exit code of each verdict: 0 working, then 3 to 8 and 10 (1 and 2 are the --codes
// and command-line answers, 9 the check's own failure).
int ExitCodeOf(TVerdict Verdict);
// What the check found of the registration, a line each.
std::vector<std::string> RegistrationLines(const TCheckFacts& Facts);
// The verdict in plain words, with what mends it for the way ZelmKvel was installed.
std::vector<std::string> VerdictLines(TVerdict Verdict, const TCheckFacts& Facts);

}  // namespace zelm::tools
