#include "programs/check/Verdict.h"

#include <cstdio>
#include <string_view>

#include "programs/common/Utf.h"

namespace zelm::tools {

void NoteTrace(const std::string& Line, TCheckFacts& Facts) {
  // Only the DLL's own lines: other modules in the process may say things too.
  constexpr std::string_view cOurs = "ZelmKvel: ";
  if (Line.rfind(cOurs, 0) != 0) return;
  const std::string_view Said = std::string_view(Line).substr(cOurs.size());
  const auto Starts = [Said](std::string_view Words) { return Said.substr(0, Words.size()) == Words; };
  const auto Has = [Said](std::string_view Words) { return Said.find(Words) != std::string_view::npos; };
  if (Starts("server window found (") || Starts("server window changed ("))
    Facts.DataServerFound = true;
  else if (Starts("server window lost ("))
    Facts.DataServerFound = false;
  else if (Starts("server window ") && Has(": a send timed out after "))
    Facts.ServerAnswer = TServerAnswer::TimedOut;
  else if (Starts("server window ") && Has(" refuses our messages"))
    Facts.ServerAnswer = TServerAnswer::Refused;
  else if (Starts("server window ") && Has(" answers again"))
    Facts.ServerAnswer = TServerAnswer::Yes;
  else if (Starts("WM_COPYDATA could not be let into window "))
    Facts.ValuesLetIn = false;
}

TVerdict Judge(const TCheckFacts& Facts) {
  if (!Facts.Registered) return TVerdict::NotRegistered;
  if (!Facts.ServerPath.empty() && !Facts.ServerFileThere) return TVerdict::FileMissing;
  if (!Facts.Wrong.empty()) return TVerdict::Incomplete;
  if (Facts.InUse) return TVerdict::InUse;
  if (!Facts.Created) return TVerdict::DoesNotLoad;
  if (!Facts.DataServerFound) return TVerdict::NoDataServer;
  // How the window took our sends last decides over values that came before.
  if (Facts.ServerAnswer == TServerAnswer::TimedOut) return TVerdict::ServerHangs;
  if (Facts.ServerAnswer == TServerAnswer::Refused) return TVerdict::ServerRefuses;
  if (Facts.ValuesSeen == 0) return TVerdict::ServerSilent;
  return TVerdict::Working;
}

int ExitCodeOf(TVerdict Verdict) {
  switch (Verdict) {
    case TVerdict::Working: return 0;
    case TVerdict::NotRegistered: return 3;
    case TVerdict::FileMissing: return 4;
    case TVerdict::DoesNotLoad: return 5;
    case TVerdict::NoDataServer: return 6;
    case TVerdict::ServerRefuses: return 7;
    case TVerdict::InUse: return 8;
    case TVerdict::Incomplete: return 10;
    case TVerdict::ServerHangs: return 18;
    case TVerdict::ServerSilent: return 19;
  }
  return cCheckFailed;
}

std::string RepairCommand(const std::u16string& Msi, const char* Mode) {
  return "  msiexec /i " + ToUtf8(Msi) + " REINSTALL=ALL REINSTALLMODE=" + Mode + " /qn";
}

std::vector<std::string> RepairLines(const std::u16string& Msi) {
  return {
      "It was installed with " + ToUtf8(Msi) + ": repair it. Right-click that file and",
      "choose Repair, or choose ZelmKvel in Programs and Features (Add or Remove",
      "Programs), then Repair. Silently, as administrator, in the folder of that file:", RepairCommand(Msi, "emus")};
}

namespace {

// The file, in long form, and as registered where that differs.
std::vector<std::string> PathLines(const TCheckFacts& Facts, const char* Indent) {
  if (Facts.LongPath.empty()) return {Indent + ToUtf8(Facts.ServerPath)};
  return {Indent + ToUtf8(Facts.LongPath), std::string(Indent) + "(registered as " + ToUtf8(Facts.ServerPath) + ")"};
}

std::u16string FolderOf(const std::u16string& Path) { return Path.substr(0, Path.find_last_of(u"\\/")); }

std::vector<std::string> Joined(std::vector<std::string> Lines, const std::vector<std::string>& More) {
  Lines.insert(Lines.end(), More.begin(), More.end());
  return Lines;
}

}  // namespace

std::vector<std::string> RegistrationLines(const TCheckFacts& Facts) {
  if (!Facts.Registered) return {"  ZelmKvel.RRExtension: not registered"};
  std::vector<std::string> Lines;
  if (Facts.ServerPath.empty()) {
    Lines.emplace_back("  file: none registered");
  } else {
    Lines = PathLines(Facts, "    ");
    Lines[0] = "  file: " + Lines[0].substr(4) + (Facts.ServerFileThere ? " (there)" : " (MISSING)");
  }
  Lines.push_back(Facts.InstalledBy.empty() ? "  registered from its folder (by the zip's install.cmd, or regsvr32)"
                                            : "  installed with " + ToUtf8(Facts.InstalledBy) + " (Windows Installer)");
  Lines.push_back(Facts.Wrong.empty()
                      ? "  registry entries: all there"
                      : "  registry entries: " + std::to_string(Facts.Wrong.size()) + " missing or not right (below)");
  return Lines;
}

std::vector<std::string> VerdictLines(TVerdict Verdict, const TCheckFacts& Facts) {
  const bool ByInstaller = !Facts.InstalledBy.empty();
  switch (Verdict) {
    case TVerdict::Working:
      return {"Verdict: ZelmKvel is installed and working: values came from the data server",
              "(" + std::to_string(Facts.ValuesSeen) +
                  " label answers were values). If RideRunner's labels still stay empty, look",
              "at the skin's codes:", "  zelm_check --codes SKINFILE"};
    case TVerdict::NotRegistered:
      return {"Verdict: ZelmKvel is not registered: the registry has no entry of its class",
              "ZelmKvel.RRExtension. Install it: double-click the .msi package; or unpack the",
              "zip where it is to stay and run its install.cmd as administrator."};
    case TVerdict::FileMissing: {
      auto Lines = Joined({"Verdict: ZelmKvel is registered, but its file is missing: the registry's",
                           std::string(Facts.PathFromTypeLibrary ? "type library" : "InprocServer32") +
                               " entry names this file, which is not there:"},
                          PathLines(Facts, "  "));
      if (ByInstaller) return Joined(Lines, RepairLines(Facts.InstalledBy));
      return Joined(Lines, {"It was registered from a folder (by the zip's install.cmd) that was moved or",
                            "deleted. Run install.cmd as administrator in the folder where ZelmKvel is to",
                            "stay (unpack the zip there again if need be). To remove it instead, run",
                            "uninstall.cmd from any copy of the zip."});
    }
    case TVerdict::Incomplete: {
      std::vector<std::string> Lines = {
          "Verdict: ZelmKvel's registration is incomplete, so RideRunner may not find it:"};
      for (const std::string& Entry : Facts.Wrong) Lines.push_back("  " + Entry);
      if (ByInstaller) return Joined(Lines, RepairLines(Facts.InstalledBy));
      if (Facts.ServerPath.empty())
        return Joined(Lines, {"Run install.cmd again, as administrator, in the folder ZelmKvel was installed",
                              "from (or unpack the zip where it is to stay and run its install.cmd)."});
      const std::u16string& Path = Facts.LongPath.empty() ? Facts.ServerPath : Facts.LongPath;
      return Joined(Lines, {"It was registered from its folder (by the zip's install.cmd). Run install.cmd",
                            "there again, as administrator:", "  " + ToUtf8(FolderOf(Path)) + "\\install.cmd"});
    }
    case TVerdict::DoesNotLoad: {
      auto Lines = Joined({"Verdict: ZelmKvel is registered and its file is there, but it does not load",
                           "(" + Facts.CreateError + "):"},
                          PathLines(Facts, "  "));
      if (ByInstaller) return Joined(Lines, RepairLines(Facts.InstalledBy));
      return Joined(Lines, {"The file may be damaged: zelm_check --verify, run in its folder, names each",
                            "damaged file. Copy those files from a fresh copy of the zip into that folder."});
    }
    case TVerdict::NoDataServer:
      return {"Verdict: ZelmKvel is installed and loads, but no data server is running: no",
              "window \"Morvicantrel\" on this desktop. Start the Zelm data server (or",
              "zelm_sim.exe, the demo one) on this desktop, then check again."};
    case TVerdict::ServerRefuses:
      return {"Verdict: the data server's window \"Morvicantrel\" is there, but it refuses",
              "ZelmKvel's messages: the data server runs with higher rights (as",
              "administrator) than this check. Run the data server and RideRunner alike:",
              "both as administrator, or neither; then run this check as RideRunner runs."};
    case TVerdict::ServerHangs:
      return {"Verdict: the data server's window \"Morvicantrel\" is there, but it does not",
              "answer: ZelmKvel's messages to it timed out, so the data server hangs.",
              "Restart the data server: close it (if it does not close, end it in the Task",
              "Manager), start it again, then check again."};
    case TVerdict::ServerSilent: {
      char Seconds[16];
      std::snprintf(Seconds, sizeof Seconds, "%g", Facts.SecondsWatched);
      std::vector<std::string> Lines = {"Verdict: the data server's window \"Morvicantrel\" takes ZelmKvel's messages,",
                                        "but it sent no value in " + std::string(Seconds) +
                                            (Facts.SecondsWatched == 1 ? " second" : " seconds") +
                                            ". Is the data server connected to the",
                                        "car? It may be waiting for the vehicle's diagnostics. If it is connected,",
                                        "restart the data server, then check again."};
      if (Facts.ValuesLetIn) return Lines;
      return Joined(Lines, {"ZelmKvel could not let in values from a program with fewer rights: run the",
                            "data server and RideRunner alike (both as administrator, or neither)."});
    }
    case TVerdict::InUse: {
      if (Facts.InUseBy.empty())
        return {"Verdict: another program on this desktop (RideRunner?) has ZelmKvel loaded,",
                "so the check made no copy of its own: the data server sends its values to",
                "one window at a time, and a second copy would take them from the first.",
                "Close RideRunner, then run zelm_check again."};
      return {"Verdict: another program on this desktop has ZelmKvel loaded:",
              "  " + Facts.InUseBy + " (process " + std::to_string(Facts.InUseProcess) + ")",
              "so the check made no copy of its own: the data server sends its values to",
              "one window at a time, and a second copy would take them from the first.",
              "Close " + Facts.InUseBy + ", then run zelm_check again."};
    }
  }
  return {};
}
}  // namespace zelm::tools
