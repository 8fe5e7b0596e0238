#include "programs/common/HostVariables.h"

#include <algorithm>

#include "programs/common/Utf.h"

namespace zelm::tools {

std::u16string LowerAsciiCopy(std::u16string_view Text) {
  std::u16string Lower(Text);
  for (char16_t& C : Lower)
    if (C >= u'A' && C <= u'Z') C = static_cast<char16_t>(C + 32);
  return Lower;
}

std::u16string THostVariables::Get(std::u16string_view Name) const {
  const auto It = FValues.find(std::u16string(Name));
  return It == FValues.end() ? std::u16string() : It->second;
}

void THostVariables::Set(std::u16string_view Name, std::u16string_view Value) {
  FValues[std::u16string(Name)] = std::u16string(Value);
}

std::u16string THostVariables::Substitute(std::u16string_view Text) const {
  std::u16string Out;
  std::size_t I = 0;
  while (I < Text.size()) {
    const std::size_t Open = Text.find(u'$', I);
    if (Open == std::u16string_view::npos) break;
    const std::size_t Close = Text.find(u'$', Open + 1);
    if (Close == std::u16string_view::npos || Close == Open + 1) {
      Out.append(Text.substr(I, Open + 1 - I));
      I = Open + 1;
      continue;
    }
    Out.append(Text.substr(I, Open - I));
    Out.append(Get(Text.substr(Open + 1, Close - Open - 1)));
    I = Close + 1;
  }
  Out.append(Text.substr(std::min(I, Text.size())));
  return Out;
}

std::u16string THostVariables::Query(std::u16string_view Info) const {
  if (Info.empty() || Info[0] != u'=') return {};
  return Substitute(Info.substr(1));
}

std::vector<std::u16string> THostVariables::RunBatch(std::u16string_view Batch, std::vector<std::string>& Faults) {
  std::vector<std::u16string> Others;
  std::size_t Start = 0;
  while (Start <= Batch.size()) {
    std::size_t End = Batch.find(u"||", Start);
    if (End == std::u16string_view::npos) End = Batch.size();
    const std::u16string_view Command = Batch.substr(Start, End - Start);
    Start = End + 2;
    if (Command.empty()) continue;

    // VERB;NAME;VALUE - the value is the rest of the command, semicolons and all.
    const std::size_t First = Command.find(u';');
    const std::u16string Verb = LowerAsciiCopy(Command.substr(0, First));
    if (Verb != u"setvar" && Verb != u"savetoskin") {
      Others.emplace_back(Command);
      continue;
    }
    const std::size_t Second = First == std::u16string_view::npos ? First : Command.find(u';', First + 1);
    const std::u16string_view Name =
        First == std::u16string_view::npos ? std::u16string_view() : Command.substr(First + 1, Second - First - 1);
    const std::u16string_view Value =
        Second == std::u16string_view::npos ? std::u16string_view() : Command.substr(Second + 1);
    if (Name.empty()) {
      Faults.push_back("no variable name in '" + ToUtf8(Command) + "'");
      continue;
    }
    const std::u16string Resolved = Substitute(Value);
    Set(Name, Resolved);
    if (Verb == u"savetoskin") {
      FSaved[std::u16string(Name)] = Resolved;
      std::string Error;
      if (OnSaved && !OnSaved(*this, Error)) Faults.push_back(Error);
    }
  }
  return Others;
}

void THostVariables::SetSaved(std::u16string_view Name, std::u16string_view Value) {
  FSaved[std::u16string(Name)] = std::u16string(Value);
  Set(Name, Value);
}

}  // namespace zelm::tools
