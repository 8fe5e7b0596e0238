#include "programs/check/VerifyRun.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "programs/check/Registration.h"
#include "programs/check/VerifyReport.h"
#include "programs/common/ProgramStart.h"
#include "programs/common/Sha256.h"
#include "programs/common/Utf.h"
#include "programs/common/WideText.h"
#include "win/platform/Names.h"

namespace zelm::tools {
namespace {

std::u16string OwnFolder() {
  wchar_t Path[MAX_PATH] = {};
  const DWORD Length = GetModuleFileNameW(nullptr, Path, MAX_PATH);
  std::u16string Folder(View16(std::wstring_view(Path, Length)));
  return Folder.substr(0, Folder.find_last_of(u"\\/") + 1);
}

DWORD WINAPI FullPath(LPCWSTR Path, LPWSTR Out, DWORD Size) { return GetFullPathNameW(Path, Size, Out, nullptr); }

// A folder in full and in long form, to be compared with another so.
std::wstring LongFolder(const std::u16string& Folder) {
  return PathInForm(PathInForm(std::wstring(ViewWide(Folder.empty() ? u".\\" : Folder)), FullPath), GetLongPathNameW);
}

}  // namespace

int RunVerify(const TCheckOptions& Options) {
  const std::u16string Sums = Options.Files.empty() ? OwnFolder() + u"SHA256SUMS" : Options.Files[0];
  const std::u16string Folder = Sums.substr(0, Sums.find_last_of(u"\\/") + 1);
  TVerifyRun Run;
  Run.SumsName = ToUtf8(Sums);
  // In the folder the installer installed ZelmKvel into (where the DLL is registered,
  // there or not) the zip's scripts are rightly not there, and the remedy is the
  // installer's.
  TCheckFacts Facts;
  ReadRegistration(Facts);
  const std::u16string Dll = Facts.ServerPath;
  if (!Facts.InstalledBy.empty() && !Dll.empty() &&
      _wcsicmp(LongFolder(Folder).c_str(), LongFolder(Dll.substr(0, Dll.find_last_of(u"\\/") + 1)).c_str()) == 0)
    Run.InstalledBy = Facts.InstalledBy;
  std::string Text, Bytes;
  if (!ReadWholeFile(Sums, Text)) {
    const DWORD Attributes = GetFileAttributesW(Wide(Sums));
    Run.Unreadable = Attributes == INVALID_FILE_ATTRIBUTES   ? "not found"
                     : Attributes & FILE_ATTRIBUTE_DIRECTORY ? "a folder, not a file"
                                                             : "cannot be read";
  } else {
    Run.Sums = ReadSums(Text);
  }
  for (const TSumsEntry& Entry : Run.Sums.Entries) {
    const std::u16string Path = Folder + FromUtf8(Entry.Name);
    if (!ReadWholeFile(Path, Bytes)) {
      const bool Absent = GetFileAttributesW(Wide(Path)) == INVALID_FILE_ATTRIBUTES;
      Run.States.push_back(!Absent                                           ? TFileState::Unreadable
                           : !Run.InstalledBy.empty() && ZipOnly(Entry.Name) ? TFileState::NotInstalled
                                                                             : TFileState::Missing);
      continue;
    }
    TSha256 Hash;
    Hash.Add(Bytes);
    Run.States.push_back(Hash.HexDigest() == Entry.Digest ? TFileState::Same : TFileState::Differs);
  }
  for (const std::string& Line : VerifyLines(Run)) std::printf("%s\n", Line.c_str());
  return VerifyExitCode(JudgeVerify(Run));
}

}  // namespace zelm::tools
