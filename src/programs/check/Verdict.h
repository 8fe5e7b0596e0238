// zelm_check's verdict on the installed extension from what it saw, in plain words with
// what mends it for the way ZelmKvel was installed. Portable: the Windows half
// (Registration, ExtensionWatch) only gathers the facts.
#pragma once

#include <string>
#include <vector>

namespace zelm::tools {

// How the data server's window took the extension's sends, as the DLL's trace says it
// when it changes: at first it answers.
enum class TServerAnswer { Yes, TimedOut, Refused };

// What the check saw of the installed extension, in the order it looks.
struct TCheckFacts {
  bool Registered = false;           // an entry of the class is there, or the installer's mark
  std::u16string InstalledBy;        // the installer package that installed it ("ZelmKvel-1.0.0.msi")
  std::vector<std::string> Wrong;    // entries of the class missing or not right, "HKCR\...: missing"
  std::u16string ServerPath;         // the class's InprocServer32 as registered (without it,
                                     // the type library's path)
  std::u16string LongPath;           // the same in long form, where it differs
  bool PathFromTypeLibrary = false;  // ServerPath is the type library's entry
  bool ServerFileThere = false;
  bool InUse = false;                               // another program on this desktop has ZelmKvel loaded
  std::string InUseBy;                              // which program, "RideRunner.exe", if known
  unsigned long InUseProcess = 0;                   // and its process id
  bool Created = false;                             // the object made through COM, as a front-end makes it
  std::string CreateError;                          // why not
  bool DataServerFound = false;                     // a window "Morvicantrel" is there (the trace found it)
  TServerAnswer ServerAnswer = TServerAnswer::Yes;  // how it took our sends, as the trace last said
  bool ValuesLetIn = true;                          // false: the trace says values could not be let in
  int ValuesSeen = 0;                               // label answers that were values (not "-", not empty)
  double SecondsWatched = 0;
};

enum class TVerdict {
  Working,
  NotRegistered,
  FileMissing,
  Incomplete,
  DoesNotLoad,
  NoDataServer,
  ServerRefuses,
  ServerHangs,
  ServerSilent,
  InUse
};

// The exit code when the check itself could not run.
inline constexpr int cCheckFailed = 9;

// One line of the DLL's trace, caught while the check watched, taken into the facts:
// the data server's window found, lost or changed, how it answers, whether its values
// may come in.
void NoteTrace(const std::string& Line, TCheckFacts& Facts);
TVerdict Judge(const TCheckFacts& Facts);
// The exit code of each verdict: 0 working, then 3 to 8, 10, 18 and 19 (1 and 2 are the
// --codes and command-line answers, 9 the check's own failure, 11 to 17 --codes', 20 to
// 23 --verify's).
int ExitCodeOf(TVerdict Verdict);
// What the check found of the registration, a line each.
std::vector<std::string> RegistrationLines(const TCheckFacts& Facts);
// The verdict in plain words, with what mends it for the way ZelmKvel was installed.
std::vector<std::string> VerdictLines(TVerdict Verdict, const TCheckFacts& Facts);
// What mends an installation by the installer package Msi: its repair, by hand or
// silently.
std::vector<std::string> RepairLines(const std::u16string& Msi);
// The silent repair's command line, indented, in a REINSTALLMODE ("emus": each file that
// is missing or of the same or an older version; "amus": every file).
std::string RepairCommand(const std::u16string& Msi, const char* Mode);

}  // namespace zelm::tools
