#include "programs/common/CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "programs/common/Utf.h"

namespace zelm::tools {

TParsed ParseArguments(const std::vector<std::u16string>& Args, std::span<const TOptionInfo> Options,
                       const TTakeOption& Take, std::string& Fault) {
  for (std::size_t I = 0; I < Args.size(); ++I) {
    const std::u16string& Arg = Args[I];
    if (Arg == u"--help" || Arg == u"-h") return TParsed::Help;
    const TOptionInfo* Option = nullptr;
    for (const TOptionInfo& Known : Options)
      if (Known.Name == Arg) Option = &Known;
    if (Option == nullptr) {
      Fault = "unknown option '" + ToUtf8(Arg) + "'; the options are";
      for (const TOptionInfo& Known : Options) Fault += " " + ToUtf8(Known.Name);
      Fault += " and --help";
      return TParsed::Fault;
    }
    const std::string Name = ToUtf8(Option->Name);
    if (Option->Value == nullptr) {
      Take(*Option, {});
      continue;
    }
    if (I + 1 == Args.size()) {
      Fault = Name + " needs a value: " + Option->Takes;
      return TParsed::Fault;
    }
    const std::u16string& Value = Args[++I];
    if (!Take(*Option, Value)) {
      Fault = Name + " takes " + Option->Takes + ", not '" + ToUtf8(Value) + "'";
      return TParsed::Fault;
    }
  }
  return TParsed::Run;
}

std::string UsageText(std::string_view Synopsis, std::span<const TOptionInfo> Options, std::string_view Tail) {
  std::string Text = "usage: " + std::string(Synopsis) + "\n";
  auto Row = [&Text](std::string Left, const char* Help) {
    Left.resize(std::max<std::size_t>(Left.size() + 1, 27), ' ');
    Text += Left + Help + "\n";
  };
  for (const TOptionInfo& Option : Options)
    Row("  " + ToUtf8(Option.Name) + (Option.Value ? std::string(" ") + Option.Value : ""), Option.Help);
  Row("  -h, --help", "this text");
  Text += Tail;
  return Text;
}

bool ReadCount(std::u16string_view Text, uint64_t Max, uint64_t& Count) {
  if (Text.empty() || Text.size() > 18) return false;
  Count = 0;
  for (const char16_t C : Text) {
    if (C < u'0' || C > u'9') return false;
    Count = Count * 10 + static_cast<uint64_t>(C - u'0');
  }
  return Count <= Max;
}

bool ReadNumber(std::u16string_view Text, double Low, double High, double& Number) {
  const std::string Ascii = ToUtf8(Text);
  if (Ascii.empty() || Ascii.find_first_not_of("0123456789.") != std::string::npos) return false;
  char* End = nullptr;
  errno = 0;
  Number = std::strtod(Ascii.c_str(), &End);
  return *End == 0 && errno == 0 && Number >= Low && Number <= High;
}

}  // namespace zelm::tools
