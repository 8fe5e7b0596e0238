#include "programs/check/VerifyRun.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "programs/common/ProgramStart.h"
#include "programs/common/Sha256.h"
#include "programs/common/Utf.h"
#include "programs/common/WideText.h"

namespace zelm::tools {
namespace {

std::u16string OwnFolder() {
  wchar_t Path[MAX_PATH] = {};
  const DWORD Length = GetModuleFileNameW(nullptr, Path, MAX_PATH);
  std::u16string Folder(View16(std::wstring_view(Path, Length)));
  return Folder.substr(0, Folder.find_last_of(u"\\/") + 1);
}

}  // namespace

int RunVerify(const TCheckOptions& Options) {
  const std::u16string Sums = Options.Files.empty() ? OwnFolder() + u"SHA256SUMS" : Options.Files[0];
  const std::u16string Folder = Sums.substr(0, Sums.find_last_of(u"\\/") + 1);
  std::string Text;
  if (!ReadWholeFile(Sums, Text)) {
    std::printf("%s: cannot be read\n", ToUtf8(Sums).c_str());
    return 2;
  }
  int Bad = 0, Good = 0;
  for (std::size_t Start = 0; Start < Text.size();) {
    const std::size_t End = std::min(Text.find('\n', Start), Text.size());
    std::string Digest, Name, Bytes;
    if (ParseSumsLine(std::string_view(Text).substr(Start, End - Start), Digest, Name)) {
      TSha256 Hash;
      if (!ReadWholeFile(Folder + FromUtf8(Name), Bytes)) {
        std::printf("  %-20s MISSING\n", Name.c_str());
        ++Bad;
      } else {
        Hash.Add(Bytes);
        const bool Same = Hash.HexDigest() == Digest;
        std::printf("  %-20s %s\n", Name.c_str(),
                    Same ? "OK" : "DIFFERS: damaged; copy it from a fresh copy of the zip");
        (Same ? Good : Bad)++;
      }
    }
    Start = End + 1;
  }
  std::printf("%d file%s as published, %d not.\n", Good, Good == 1 ? "" : "s", Bad);
  return Bad == 0 && Good > 0 ? 0 : 1;
}

}  // namespace zelm::tools
