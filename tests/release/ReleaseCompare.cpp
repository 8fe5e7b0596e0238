// zelm_release_compare FIRST SECOND [--path TEXT]...: two builds of the release (two
// dist folders) compared file by file. It names each file that only one of them has,
// and each that differs, with its first differing byte and what that byte is in the
// file's format; with --path, each file that holds TEXT (a folder of a build machine).
// Exit code: 0 when every file is the same and holds no such path, 1 when not, 2 when
// it cannot tell (a folder or a file it cannot read, a wrong command line).
#include <cstdio>
#include <string>
#include <vector>

#include "tests/release/ReleaseDiff.h"

int main(int Count, char** Arguments) {
  const std::vector<std::string> Words(Arguments + 1, Arguments + Count);
  std::vector<std::string> Paths, Faults;
  for (std::size_t I = 2; I + 1 < Words.size() && Words[I] == "--path"; I += 2) Paths.push_back(Words[I + 1]);
  if (Words.size() < 2 || Words.size() != 2 + 2 * Paths.size()) {
    std::fprintf(stderr, "usage: zelm_release_compare FIRST SECOND [--path TEXT]...\n");
    return 2;
  }
  std::size_t Files = 0;
  if (!zelm::release::CompareFolders(Words[0], Words[1], Paths, Faults, Files)) {
    std::fprintf(stderr, "zelm_release_compare: cannot read the files of %s and %s\n", Words[0].c_str(),
                 Words[1].c_str());
    return 2;
  }
  for (const std::string& Fault : Faults) std::printf("%s\n", Fault.c_str());
  std::printf("%zu files compared: %s\n", Files,
              Faults.empty() ? "each the same, byte for byte" : (std::to_string(Faults.size()) + " faults").c_str());
  return Faults.empty() ? 0 : 1;
}
