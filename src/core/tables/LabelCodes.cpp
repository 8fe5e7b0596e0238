#include "core/tables/LabelCodes.h"

#include <array>

#include "core/tables/Catalogue.h"
#include "core/tables/SlotTexts.h"

namespace zelm {
namespace {

constexpr std::array<TLabelCode, cLabelCodeCount> MakeCodes() {
  std::array<TLabelCode, cLabelCodeCount> Codes{};
  std::size_t N = 0;
  for (std::size_t I = 0; I < cParams.size(); ++I) {
    const auto Index = static_cast<uint8_t>(I);
    Codes[N++] = {cParams[I].ValueCode, TLabelCodeKind::Value, Index};
    Codes[N++] = {cParams[I].TitleCode, TLabelCodeKind::Title, Index};
    Codes[N++] = {cParams[I].UnitCode, TLabelCodeKind::Unit, Index};
  }
  for (std::size_t I = 0; I < cSlots.size(); ++I) {
    const auto Index = static_cast<uint8_t>(I);
    Codes[N++] = {cSlots[I].NameCode, TLabelCodeKind::SlotName, Index};
    Codes[N++] = {cSlots[I].ValueCode, TLabelCodeKind::SlotValue, Index};
    Codes[N++] = {cSlots[I].TitleCode, TLabelCodeKind::SlotTitle, Index};
    Codes[N++] = {cSlots[I].UnitCode, TLabelCodeKind::SlotUnit, Index};
  }
  return Codes;
}

constexpr std::array<TLabelCode, cLabelCodeCount> cCodes = MakeCodes();

// Open addressing over a table four times the number of codes: most codes sit in
// their first bucket, and a miss usually ends at an empty one.
constexpr std::size_t cBuckets = 1024;
static_assert(cBuckets >= 2 * cLabelCodeCount && (cBuckets & (cBuckets - 1)) == 0);

struct TCodeTable {
  std::array<int16_t, cBuckets> Bucket{};
  std::size_t LongestProbe = 0;  // buckets looked at for the worst code of ours
  constexpr TCodeTable() {
    for (auto& B : Bucket) B = -1;
    for (std::size_t I = 0; I < cCodes.size(); ++I) {
      std::size_t B = HashOfCode(cCodes[I].Code) & (cBuckets - 1);
      std::size_t Probe = 1;
      for (; Bucket[B] >= 0; ++Probe) B = (B + 1) & (cBuckets - 1);
      Bucket[B] = static_cast<int16_t>(I);
      if (Probe > LongestProbe) LongestProbe = Probe;
    }
  }
};

constexpr TCodeTable cTable;
static_assert(cTable.LongestProbe <= 3, "the hash spreads our codes badly");

}  // namespace

const TLabelCode* FindLabelCode(std::u16string_view Code) noexcept {
  return Code.size() > cMaxLabelCodeLength ? nullptr : FindLabelCode(Code, HashOfCode(Code));
}

const TLabelCode* FindLabelCode(std::u16string_view Code, uint32_t Hash) noexcept {
  for (std::size_t B = Hash & (cBuckets - 1);; B = (B + 1) & (cBuckets - 1)) {
    const int16_t I = cTable.Bucket[B];
    if (I < 0) return nullptr;
    if (cCodes[static_cast<std::size_t>(I)].Code == Code) return &cCodes[static_cast<std::size_t>(I)];
  }
}

// One pass over the characters: lowered, copied and hashed.
TLoweredCode::TLoweredCode(std::u16string_view Text) noexcept {
  FTooLong = Text.size() > cCapacity;
  FLength = FTooLong ? cCapacity : Text.size();
  TCodeHash Hash(FLength);
  std::size_t I = 0;
  for (; I + 2 <= FLength; I += 2) {
    const char16_t First = LowerAsciiChar(Text[I]);
    const char16_t Second = LowerAsciiChar(Text[I + 1]);
    FChars[I] = First;
    FChars[I + 1] = Second;
    Hash.AddPair(First, Second);
  }
  if (I < FLength) {
    FChars[I] = LowerAsciiChar(Text[I]);
    Hash.AddLast(FChars[I]);
  }
  FHash = Hash.Value();
}

bool TLoweredCode::HasPrefix(std::u16string_view Prefix) const noexcept {
  return View().substr(0, Prefix.size()) == Prefix && FLength >= Prefix.size();
}

void LowerAscii(std::u16string& Text) noexcept {
  for (auto& C : Text) C = LowerAsciiChar(C);
}

}  // namespace zelm
