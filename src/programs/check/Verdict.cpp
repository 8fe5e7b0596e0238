#include "programs/check/Verdict.h"

#include "programs/common/Utf.h"

namespace zelm::tools {

TVerdict Judge(const TCheckFacts& Facts) {
  if (!Facts.Registered) return TVerdict::NotRegistered;
  if (!Facts.ServerPath.empty() && !Facts.ServerFileThere) return TVerdict::FileMissing;
  if (!Facts.Wrong.empty()) return TVerdict::Incomplete;
  if (Facts.InUse) return TVerdict::InUse;
  if (!Facts.Created) return TVerdict::DoesNotLoad;
  if (!Facts.DataServerFound) return TVerdict::NoDataServer;
  if (Facts.ValuesSeen == 0) return TVerdict::NoValues;
  return TVerdict::Working;
}

int ExitCodeOf(TVerdict Verdict) {
  switch (Verdict) {
    case TVerdict::Working: return 0;
    case TVerdict::NotRegistered: return 3;
    case TVerdict::FileMissing: return 4;
    case TVerdict::DoesNotLoad: return 5;
    case TVerdict::NoDataServer: return 6;
    case TVerdict::NoValues: return 7;
    case TVerdict::InUse: return 8;
    case TVerdict::Incomplete: return 10;
  }
  return cCheckFailed;
}

namespace {

// The file, in long form, and as registered where that differs.
std::vector<std::string> PathLines(const TCheckFacts& Facts, const char* Indent) {
  if (Facts.LongPath.empty()) return {Indent + ToUtf8(Facts.ServerPath)};
  return {Indent + ToUtf8(Facts.LongPath), std::string(Indent) + "(registered as " + ToUtf8(Facts.ServerPath) + ")"};
}

std::u16string FolderOf(const std::u16string& Path) { return Path.substr(0, Path.find_last_of(u"\\/")); }

// What mends an installation by the installer: its repair, by hand or silently.
std::vector<std::string> RepairLines(const TCheckFacts& Facts) {
  const std::string Msi = ToUtf8(Facts.InstalledBy);
  return {"It was installed with " + Msi + ": repair it. Right-click that file and",
          "choose Repair, or choose ZelmKvel in Programs and Features (Add or Remove",
          "Programs), then Repair. Silently, as administrator, in the folder of that file:",
          "  msiexec /i " + Msi + " REINSTALL=ALL REINSTALLMODE=emus /qn"};
}

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
      return {"Verdict: ZelmKvel is installed and working: it gets values from the data",
              "server. If RideRunner's labels still stay empty, look at the skin's codes:",
              "  zelm_check --codes SKINFILE"};
    case TVerdict::NotRegistered:
      return {"Verdict: ZelmKvel is not registered (no class ZelmKvel.RRExtension).",
              "Install it: double-click the .msi package; or unpack the zip where it is to",
              "stay and run its install.cmd as administrator."};
    case TVerdict::FileMissing: {
      auto Lines = Joined({"Verdict: ZelmKvel is registered, but the file it is registered with is missing:"},
                          PathLines(Facts, "  "));
      if (ByInstaller) return Joined(Lines, RepairLines(Facts));
      return Joined(Lines, {"It was registered from a folder (by the zip's install.cmd) that was moved or",
                            "deleted. Run install.cmd as administrator in the folder where ZelmKvel is to",
                            "stay (unpack the zip there again if need be). To remove it instead, run",
                            "uninstall.cmd from any copy of the zip."});
    }
    case TVerdict::Incomplete: {
      std::vector<std::string> Lines = {
          "Verdict: ZelmKvel's registration is incomplete, so RideRunner may not find it:"};
      for (const std::string& Entry : Facts.Wrong) Lines.push_back("  " + Entry);
      if (ByInstaller) return Joined(Lines, RepairLines(Facts));
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
      if (ByInstaller) return Joined(Lines, RepairLines(Facts));
      return Joined(Lines, {"The file may be damaged: zelm_check --verify, run in its folder, names each",
                            "damaged file. Copy those files from a fresh copy of the zip into that folder."});
    }
    case TVerdict::NoDataServer:
      return {"Verdict: ZelmKvel is installed and loads, but no data server is running",
              "(no window \"Morvicantrel\"). Start the Zelm data server (or zelm_sim.exe, the",
              "demo one) on this desktop, then check again."};
    case TVerdict::NoValues:
      return {"Verdict: ZelmKvel is installed and found the data server, but no values",
              "arrived. Does the data server run with other rights than RideRunner (one as",
              "administrator)? Run both alike. Is it connected to the car? It may be waiting",
              "for the vehicle's diagnostics."};
    case TVerdict::InUse:
      return {"Verdict: another program on this desktop (RideRunner?) has ZelmKvel loaded,",
              "so the check made no copy of its own: the data server sends its values to",
              "one window at a time, and a second copy would take them from the first.",
              "Close RideRunner, then run zelm_check again."};
  }
  return {};
}
}  // namespace zelm::tools
