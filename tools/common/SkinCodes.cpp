#include "tools/common/SkinCodes.h"

#include <algorithm>

#include "core/tables/Catalogue.h"
#include "core/tables/LabelCodes.h"
#include "core/tables/SlotTexts.h"
#include "tools/common/Utf.h"

namespace zelm::tools {
namespace {

bool IsWordChar(char16_t C) {
  if ((C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z') || (C >= u'0' && C <= u'9') || C == u'_') return true;
  // Latin letters with marks and Cyrillic (one code is spelled with a Cyrillic letter),
  // and what could not be decoded, which most likely stood inside a word.
  return (C >= 0xC0 && C <= 0x24F && C != 0xD7 && C != 0xF7) || (C >= 0x400 && C <= 0x4FF) || C == 0xFFFD;
}

std::u16string Lowered(std::u16string_view Text) {
  std::u16string Out(Text);
  for (char16_t& C : Out) C = LowerAsciiChar(C);
  return Out;
}

}  // namespace

std::u16string DecodeSkinText(std::string_view Bytes) {
  const auto Byte = [&](std::size_t I) { return static_cast<unsigned char>(Bytes[I]); };
  if (Bytes.size() >= 2 && ((Byte(0) == 0xFF && Byte(1) == 0xFE) || (Byte(0) == 0xFE && Byte(1) == 0xFF))) {
    const bool Little = Byte(0) == 0xFF;
    std::u16string Text;
    for (std::size_t I = 2; I + 1 < Bytes.size(); I += 2)
      Text.push_back(static_cast<char16_t>(Little ? Byte(I) | Byte(I + 1) << 8 : Byte(I) << 8 | Byte(I + 1)));
    return Text;
  }
  if (Bytes.size() >= 3 && Byte(0) == 0xEF && Byte(1) == 0xBB && Byte(2) == 0xBF) Bytes.remove_prefix(3);
  return FromUtf8(Bytes);
}

const std::vector<std::u16string_view>& KnownLabelCodes() {
  static const std::vector<std::u16string_view> Codes = [] {
    std::vector<std::u16string_view> All;
    for (const TParamInfo& P : cParams) All.insert(All.end(), {P.ValueCode, P.TitleCode, P.UnitCode});
    for (const TSlotTexts& S : cSlots) All.insert(All.end(), {S.ValueCode, S.NameCode, S.TitleCode, S.UnitCode});
    return All;
  }();
  return Codes;
}

const std::vector<std::u16string_view>& KnownCommands() {
  static const std::vector<std::u16string_view> Commands = [] {
    std::vector<std::u16string_view> All = {u"ce_open", u"ce_close"};
    for (const TSlotTexts& S : cSlots) All.push_back(S.StepCommand);
    return All;
  }();
  return Commands;
}

const std::vector<std::u16string_view>& KnownCodes() {
  static const std::vector<std::u16string_view> Codes = [] {
    std::vector<std::u16string_view> All = KnownLabelCodes();
    All.insert(All.end(), KnownCommands().begin(), KnownCommands().end());
    return All;
  }();
  return Codes;
}

bool IsKnownCode(std::u16string_view Word) {
  const std::u16string Lower = Lowered(Word);
  return FindLabelCode(Lower) != nullptr ||
         std::find(KnownCodes().begin(), KnownCodes().end(), Lower) != KnownCodes().end();
}

std::size_t EditDistance(std::u16string_view A, std::u16string_view B) {
  std::vector<std::size_t> Row(B.size() + 1);
  for (std::size_t J = 0; J <= B.size(); ++J) Row[J] = J;
  for (std::size_t I = 1; I <= A.size(); ++I) {
    std::size_t Diagonal = Row[0];
    Row[0] = I;
    for (std::size_t J = 1; J <= B.size(); ++J) {
      const std::size_t Up = Row[J];
      Row[J] = std::min({Row[J] + 1, Row[J - 1] + 1, Diagonal + (A[I - 1] == B[J - 1] ? 0 : 1)});
      Diagonal = Up;
    }
  }
  return Row[B.size()];
}

std::u16string_view NearestCode(std::u16string_view Word) {
  const std::u16string Lower = Lowered(Word);
  std::u16string_view Best;
  std::size_t BestDistance = SIZE_MAX;
  for (const std::u16string_view Code : KnownCodes()) {
    const std::size_t D = EditDistance(Lower, Code);
    if (D < BestDistance) Best = Code, BestDistance = D;
  }
  return Best;
}

std::vector<TCodeFinding> UnknownCodes(std::u16string_view Text) {
  std::vector<TCodeFinding> Found;
  int Line = 1;
  for (std::size_t I = 0; I < Text.size();) {
    if (Text[I] == u'\n') ++Line;
    if (!IsWordChar(Text[I])) {
      ++I;
      continue;
    }
    std::size_t End = I;
    while (End < Text.size() && IsWordChar(Text[End])) ++End;
    const std::u16string_view Word = Text.substr(I, End - I);
    if (Word.size() >= 3 && LowerAsciiChar(Word[0]) == u'c' && LowerAsciiChar(Word[1]) == u'e' && Word[2] == u'_' &&
        !IsKnownCode(Word))
      Found.push_back({Line, std::u16string(Word), NearestCode(Word)});
    I = End;
  }
  return Found;
}

}  // namespace zelm::tools
