#include "tools/sim/Rules.h"

#include <sstream>

namespace zelm::tools {

TRule ParseRule(std::string_view Line) {
  std::istringstream In{std::string(Line)};
  std::string Word;
  TRule Rule;
  if (!(In >> Word) || Word[0] == '#') return Rule;
  using K = TRule::TKind;
  const bool Numbered = Word == "value" || Word == "forget" || Word == "hang";
  if (Numbered && !(In >> Rule.Id)) {
    Rule.Kind = K::Bad;
    return Rule;
  }
  if (Word == "value") {
    std::string Rest;
    std::getline(In, Rest);
    if (!Rest.empty() && Rest[0] == ' ') Rest.erase(0, 1);
    const auto Bar = Rest.find('|');
    Rule.Text = Rest.substr(0, Bar);
    if (Bar != std::string::npos) Rule.TitleUnit = Rest.substr(Bar + 1);
    Rule.Kind = Rule.Text.empty() ? K::Bad : K::Value;
  } else if (Word == "forget") {
    Rule.Kind = K::Forget;
  } else if (Word == "hang") {
    if (!(In >> Rule.Times)) Rule.Times = 1;
    Rule.Kind = Rule.Times < 0 ? K::Bad : K::Hang;
  } else if (Word == "silent" || Word == "talk" || Word == "quit") {
    Rule.Kind = Word == "silent" ? K::Silent : Word == "talk" ? K::Talk : K::Quit;
  } else {
    Rule.Kind = K::Other;
    Rule.Text = Word;
  }
  return Rule;
}

std::string TRuleSource::ValueText(uint32_t Id) const {
  const auto Found = FValues.find(Id);
  return Found == FValues.end() ? std::string() : Found->second.first;
}

std::u16string TRuleSource::RecordedTitleUnit(uint32_t Id) const {
  const auto Found = FValues.find(Id);
  return Found == FValues.end() ? std::u16string() : Found->second.second;
}

void TRuleSource::Set(uint32_t Id, std::string Text, std::u16string TitleUnit) {
  FValues[Id] = {std::move(Text), std::move(TitleUnit)};
}

}  // namespace zelm::tools
