#include "programs/check/CodesRun.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "core/tables/LabelCodes.h"
#include "programs/check/CodesReport.h"
#include "programs/common/ProgramStart.h"
#include "programs/common/Utf.h"
#include "programs/common/WideText.h"
#include "win/com/Handles.h"

namespace zelm::tools {
namespace {

std::string SystemMessage(DWORD Error) {
  wchar_t Text[512];
  DWORD Length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, Error, 0, Text,
                                static_cast<DWORD>(std::size(Text)), nullptr);
  while (Length > 0 && std::wcschr(L"\r\n. ", Text[Length - 1]) != nullptr) --Length;
  return Length > 0 ? Narrow(std::wstring_view(Text, Length)) : "system error " + std::to_string(Error);
}

// The system's ANSI code page, as RideRunner reads a skin in it, and the others, in
// which a skin saved elsewhere may have been written.
TAnsiCodePages SystemCodePages() {
  return {GetACP(),
          [](unsigned CodePage, std::string_view Bytes, std::u16string& Text) {
            return FromCodePage(Bytes, Text, CodePage);
          },
          [](unsigned CodePage, std::u16string_view Text, std::string& Bytes) {
            return ToCodePage(Text, Bytes, CodePage);
          }};
}

TFileCheck CheckFile(const std::u16string& Path) {
  const auto Failed = [](DWORD Error) {
    if (Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND) return Unread(TFileVerdict::NotFound);
    return Unread(TFileVerdict::Unreadable, SystemMessage(Error));
  };
  const TFileHandle File(CreateFileW(Wide(Path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!File) return Failed(GetLastError());
  std::string Bytes;
  char Buffer[16384];
  for (DWORD Got = 0;; Bytes.append(Buffer, Got)) {
    if (!ReadFile(File.Get(), Buffer, sizeof Buffer, &Got, nullptr)) return Failed(GetLastError());
    if (Got == 0) break;
  }
  return CheckSkinBytes(Bytes, SystemCodePages());
}

struct TFound {
  std::u16string Name;
  bool Folder = false;
};

// What Folder (empty, or ending in a separator) holds whose name matches Pattern, by
// name in any case.
std::vector<TFound> ListFolder(const std::u16string& Folder, std::u16string_view Pattern) {
  std::vector<TFound> Found;
  WIN32_FIND_DATAW Data;
  const TFindHandle Search(FindFirstFileW(Wide(Folder + u"*"), &Data));
  for (bool More = static_cast<bool>(Search); More; More = FindNextFileW(Search.Get(), &Data) != FALSE) {
    const std::u16string Name(View16(Data.cFileName));
    if (Name == u"." || Name == u".." || !MatchesWildcard(Pattern, Name)) continue;
    // A folder that leads elsewhere (a junction) could lead back here.
    if (Data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    Found.push_back({Name, (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  }
  std::sort(Found.begin(), Found.end(), [](const TFound& A, const TFound& B) {
    return std::lexicographical_compare(A.Name.begin(), A.Name.end(), B.Name.begin(), B.Name.end(),
                                        [](char16_t X, char16_t Y) { return LowerAsciiChar(X) < LowerAsciiChar(Y); });
  });
  return Found;
}

// The skin files of Folder and of the folders in it.
void SkinFilesIn(const std::u16string& Folder, std::vector<std::u16string>& Files) {
  for (const TFound& F : ListFolder(Folder, u"*"))
    if (F.Folder)
      SkinFilesIn(Folder + F.Name + u"\\", Files);
    else if (IsSkinFileName(F.Name))
      Files.push_back(Folder + F.Name);
}

}  // namespace

int RunCodes(const TCheckOptions& Options) {
  std::vector<TFileVerdict> Verdicts;
  const auto Report = [&Verdicts](const std::u16string& Name, const TFileCheck& Check) {
    for (const std::string& Line : FileCheckLines(ToUtf8(Name), Check)) std::printf("%s\n", Line.c_str());
    Verdicts.push_back(Check.Verdict);
  };
  const auto CheckFolder = [&Report](std::u16string Folder) {
    if (Folder.find_last_of(u"\\/:") != Folder.size() - 1) Folder += u"\\";
    std::vector<std::u16string> Files;
    SkinFilesIn(Folder, Files);
    if (Files.empty()) Report(Folder, Unread(TFileVerdict::NoSkinFiles));
    for (const std::u16string& File : Files) Report(File, CheckFile(File));
  };
  for (const std::u16string& Name : Options.Files) {
    // A Windows program expands its wildcards itself: the console hands them over.
    if (HasWildcards(Name)) {
      const std::u16string Folder = Name.substr(0, Name.find_last_of(u"\\/:") + 1);
      const std::vector<TFound> Matches = ListFolder(Folder, std::u16string_view(Name).substr(Folder.size()));
      if (Matches.empty()) Report(Name, Unread(TFileVerdict::NotFound, "no file matches"));
      for (const TFound& M : Matches)
        M.Folder ? CheckFolder(Folder + M.Name) : Report(Folder + M.Name, CheckFile(Folder + M.Name));
      continue;
    }
    const DWORD Attributes = GetFileAttributesW(Wide(Name));
    if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY))
      CheckFolder(Name);
    else
      Report(Name, CheckFile(Name));
  }
  for (const std::string& Line : CodesClosing(Verdicts)) std::printf("%s\n", Line.c_str());
  return CodesExitCode(Verdicts);
}

}  // namespace zelm::tools
