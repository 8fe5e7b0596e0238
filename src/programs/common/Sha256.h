// SHA-256, for checking the package's files on every Windows it supports: Windows XP
// has no tool that computes it (certutil -hashfile SHA256 came later).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelm::tools {

class TSha256 {
 public:
  TSha256() noexcept;
  void Add(std::string_view Bytes) noexcept;
  // The digest as 64 small hexadecimal digits; the object is spent after it.
  std::string HexDigest();

 private:
  void Block(const unsigned char* Data) noexcept;
  uint32_t FState[8];
  unsigned char FBuffer[64];
  std::size_t FFill = 0;
  uint64_t FLength = 0;
};

// One line of a SHA256SUMS file ("digest  name", or "digest *name" for binary mode):
// false when it is none.
bool ParseSumsLine(std::string_view Line, std::string& Digest, std::string& Name);

}  // namespace zelm::tools
