// Constant-time lookup of the 277 label codes a skin may ask for: the value, title and
// unit code of each parameter and the four codes of each dynamic label slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zelm {

enum class TLabelCodeKind : uint8_t { Value, Title, Unit, SlotName, SlotValue, SlotTitle, SlotUnit };

struct TLabelCode {
  std::u16string_view Code;
  TLabelCodeKind Kind;
  uint8_t Index;  // parameter index (into cParams) or slot number
};

// No label code is longer than this; a longer text matches nothing.
inline constexpr std::size_t cMaxLabelCodeLength = 29;
inline constexpr std::size_t cLabelCodeCount = 277;

// The hash the code table is built with: two UTF-16 units at a time, in 32-bit
// arithmetic (what ships runs on i686 processors without SSE2), the length first.
class TCodeHash {
 public:
  constexpr explicit TCodeHash(std::size_t Length) noexcept : FValue(0x811C9DC5u ^ static_cast<uint32_t>(Length)) {}
  constexpr void AddPair(char16_t First, char16_t Second) noexcept {
    Mix(static_cast<uint32_t>(First) | static_cast<uint32_t>(Second) << 16);
  }
  constexpr void AddLast(char16_t Last) noexcept { Mix(Last); }
  constexpr uint32_t Value() const noexcept { return FValue ^ (FValue >> 16); }

 private:
  constexpr void Mix(uint32_t Word) noexcept {
    FValue = (FValue ^ Word) * 0x9E3779B1u;
    FValue ^= FValue >> 17;
  }
  uint32_t FValue;
};

constexpr uint32_t HashOfCode(std::u16string_view Code) noexcept {
  TCodeHash Hash(Code.size());
  std::size_t I = 0;
  for (; I + 2 <= Code.size(); I += 2) Hash.AddPair(Code[I], Code[I + 1]);
  if (I < Code.size()) Hash.AddLast(Code[I]);
  return Hash.Value();
}

// The code, compared whole and case-sensitively; nullptr when it is none of ours.
// Hashes the text once and compares one or two entries: no scan, no allocation. The
// second form takes the hash already made (HashOfCode of the same text).
const TLabelCode* FindLabelCode(std::u16string_view Code) noexcept;
const TLabelCode* FindLabelCode(std::u16string_view Code, uint32_t Hash) noexcept;

// The 26 ASCII capitals to small letters; every other character as it is.
constexpr char16_t LowerAsciiChar(char16_t C) noexcept { return (C >= u'A' && C <= u'Z') ? char16_t(C + 32) : C; }

// A working copy of a code lowered for the 26 ASCII capitals only, kept on the stack,
// with its hash made in the same pass.
// Longer texts keep only their first characters and are marked too long, so they
// still pass or fail the "ce_" prefix test but match no code.
class TLoweredCode {
 public:
  explicit TLoweredCode(std::u16string_view Text) noexcept;
  bool HasPrefix(std::u16string_view Prefix) const noexcept;
  // The text, cut to its first 32 characters when TooLong().
  std::u16string_view View() const noexcept { return {FChars, FLength}; }
  bool TooLong() const noexcept { return FTooLong; }
  // Whole-text comparison with a fixed code.
  bool Is(std::u16string_view Code) const noexcept { return !FTooLong && View() == Code; }
  const TLabelCode* Find() const noexcept { return FTooLong ? nullptr : FindLabelCode(View(), FHash); }

 private:
  static constexpr std::size_t cCapacity = 32;
  char16_t FChars[cCapacity];
  std::size_t FLength = 0;
  uint32_t FHash = 0;
  bool FTooLong = false;
};

// ASCII-only lowering for texts that are kept (host variables read into slots).
void LowerAscii(std::u16string& Text) noexcept;

}  // namespace zelm
