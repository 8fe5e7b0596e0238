#include "programs/common/Sha256.h"

#include <cstring>

namespace zelm::tools {
namespace {

constexpr uint32_t cRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t Rotate(uint32_t X, int N) noexcept { return X >> N | X << (32 - N); }

}  // namespace

TSha256::TSha256() noexcept
    : FState{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19},
      FBuffer{} {}

void TSha256::Block(const unsigned char* Data) noexcept {
  uint32_t W[64];
  for (std::size_t I = 0; I < 16; ++I)
    W[I] = uint32_t{Data[4 * I]} << 24 | uint32_t{Data[4 * I + 1]} << 16 | uint32_t{Data[4 * I + 2]} << 8 |
           uint32_t{Data[4 * I + 3]};
  for (int I = 16; I < 64; ++I) {
    const uint32_t S0 = Rotate(W[I - 15], 7) ^ Rotate(W[I - 15], 18) ^ (W[I - 15] >> 3);
    const uint32_t S1 = Rotate(W[I - 2], 17) ^ Rotate(W[I - 2], 19) ^ (W[I - 2] >> 10);
    W[I] = W[I - 16] + S0 + W[I - 7] + S1;
  }
  uint32_t A = FState[0], B = FState[1], C = FState[2], D = FState[3];
  uint32_t E = FState[4], F = FState[5], G = FState[6], H = FState[7];
  for (int I = 0; I < 64; ++I) {
    const uint32_t T1 = H + (Rotate(E, 6) ^ Rotate(E, 11) ^ Rotate(E, 25)) + ((E & F) ^ (~E & G)) + cRound[I] + W[I];
    const uint32_t T2 = (Rotate(A, 2) ^ Rotate(A, 13) ^ Rotate(A, 22)) + ((A & B) ^ (A & C) ^ (B & C));
    H = G, G = F, F = E, E = D + T1, D = C, C = B, B = A, A = T1 + T2;
  }
  FState[0] += A, FState[1] += B, FState[2] += C, FState[3] += D;
  FState[4] += E, FState[5] += F, FState[6] += G, FState[7] += H;
}

void TSha256::Add(std::string_view Bytes) noexcept {
  FLength += Bytes.size();
  for (const char C : Bytes) {
    FBuffer[FFill++] = static_cast<unsigned char>(C);
    if (FFill == 64) {
      Block(FBuffer);
      FFill = 0;
    }
  }
}

std::string TSha256::HexDigest() {
  const uint64_t Bits = FLength * 8;
  Add(std::string_view("\x80", 1));
  while (FFill != 56) Add(std::string_view("\0", 1));
  unsigned char Length[8];
  for (int I = 0; I < 8; ++I) Length[I] = static_cast<unsigned char>(Bits >> (56 - 8 * I));
  Add(std::string_view(reinterpret_cast<const char*>(Length), 8));
  std::string Hex;
  for (const uint32_t Word : FState)
    for (int Shift = 28; Shift >= 0; Shift -= 4) Hex.push_back("0123456789abcdef"[(Word >> Shift) & 15]);
  return Hex;
}

bool ParseSumsLine(std::string_view Line, std::string& Digest, std::string& Name) {
  while (!Line.empty() && (Line.back() == '\r' || Line.back() == '\n')) Line.remove_suffix(1);
  if (Line.size() < 67 || Line[64] != ' ' || (Line[65] != ' ' && Line[65] != '*')) return false;
  for (std::size_t I = 0; I < 64; ++I)
    if (!std::strchr("0123456789abcdefABCDEF", Line[I]) || Line[I] == 0) return false;
  if (Line.substr(66).find_first_not_of(' ') == std::string_view::npos) return false;
  Digest.assign(Line.substr(0, 64));
  for (char& C : Digest) C = static_cast<char>(C >= 'A' && C <= 'F' ? C + 32 : C);
  Name.assign(Line.substr(66));
  return true;
}

}  // namespace zelm::tools
