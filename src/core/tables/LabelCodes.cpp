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

// Mixes the code four UTF-16 units at a time; the length goes in too, so codes that
// share their start (value, title, unit) part early. Usable at compile time.
constexpr uint32_t Hash(std::u16string_view Text) {
  uint64_t H = 0x9E3779B97F4A7C15ull ^ Text.size();
  std::size_t I = 0;
  for (; I + 4 <= Text.size(); I += 4) {
    const uint64_t Block = uint64_t(Text[I]) | uint64_t(Text[I + 1]) << 16 | uint64_t(Text[I + 2]) << 32 |
                           uint64_t(Text[I + 3]) << 48;
    H = (H ^ Block) * 0xFF51AFD7ED558CCDull;
  }
  for (; I < Text.size(); ++I) H = (H ^ Text[I]) * 0xC4CEB9FE1A85EC53ull;
  return static_cast<uint32_t>(H ^ (H >> 29));
}

// Open addressing over a table four times the number of codes: most codes sit in
// their first bucket, and a miss usually ends at an empty one.
constexpr std::size_t cBuckets = 1024;
static_assert(cBuckets >= 2 * cLabelCodeCount && (cBuckets & (cBuckets - 1)) == 0);

struct TCodeTable {
  std::array<int16_t, cBuckets> Bucket{};
  constexpr TCodeTable() {
    for (auto& B : Bucket) B = -1;
    for (std::size_t I = 0; I < cCodes.size(); ++I) {
      std::size_t B = Hash(cCodes[I].Code) & (cBuckets - 1);
      while (Bucket[B] >= 0) B = (B + 1) & (cBuckets - 1);
      Bucket[B] = static_cast<int16_t>(I);
    }
  }
};

constexpr TCodeTable cTable;

}  // namespace

const TLabelCode* FindLabelCode(std::u16string_view Code) noexcept {
  if (Code.size() > cMaxLabelCodeLength) return nullptr;
  for (std::size_t B = Hash(Code) & (cBuckets - 1);; B = (B + 1) & (cBuckets - 1)) {
    const int16_t I = cTable.Bucket[B];
    if (I < 0) return nullptr;
    if (cCodes[static_cast<std::size_t>(I)].Code == Code) return &cCodes[static_cast<std::size_t>(I)];
  }
}

void TLoweredCode::Assign(std::u16string_view Text, bool Lower) noexcept {
  FTooLong = Text.size() > cCapacity;
  FLength = FTooLong ? cCapacity : Text.size();
  for (std::size_t I = 0; I < FLength; ++I) FChars[I] = Lower ? LowerAsciiChar(Text[I]) : Text[I];
}

bool TLoweredCode::HasPrefix(std::u16string_view Prefix) const noexcept {
  return View().substr(0, Prefix.size()) == Prefix && FLength >= Prefix.size();
}

void LowerAscii(std::u16string& Text) noexcept {
  for (auto& C : Text) C = LowerAsciiChar(C);
}

}  // namespace zelm
