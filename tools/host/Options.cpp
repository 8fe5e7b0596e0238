#include "tools/host/Options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "tools/common/Utf.h"

namespace zelm::bench {
namespace {

struct TOptionInfo {
  std::u16string_view Name;
  const char* Value;  // what stands for the value in the usage
  const char* Takes;  // what a fault says the option takes
  const char* Help;
};

const TOptionInfo cOptions[] = {
    {u"--skin", "FILE", "a file name", "the skin description (required)"},
    {u"--vars", "FILE", "a file name", "the skin-variables file that SAVETOSKIN writes"},
    {u"--fps", "N", "a number from 1 to 60", "frames a second (10)"},
    {u"--frames", "N", "a count, 0 or more", "frames to run; 0 runs until quit or the end of input (0)"},
    {u"--format", "F", "ansi, plain or list", "how frames are written (ansi)"},
    {u"--at", "FRAME:INPUT", "FRAME:INPUT with FRAME from 1", "an input line run before that frame (repeatable)"},
    {u"--sim-status", "FILE", "a file name", "the simulator's status file, for the status line"},
    {u"--ds-path", "TEXT", "a text", "the data-server path handed to Initialize"},
};

// Digits only (strtol alone would take blanks, signs and a trailing rest).
bool ReadCount(std::u16string_view Text, long& Count) {
  if (Text.empty() || Text.size() > 9) return false;
  Count = 0;
  for (const char16_t C : Text) {
    if (C < u'0' || C > u'9') return false;
    Count = Count * 10 + (C - u'0');
  }
  return true;
}

bool ReadFps(std::u16string_view Text, double& Fps) {
  const std::string Ascii = ToUtf8(Text);
  if (Ascii.empty() || Ascii.find_first_not_of("0123456789.") != std::string::npos) return false;
  char* End = nullptr;
  errno = 0;
  Fps = std::strtod(Ascii.c_str(), &End);
  return *End == 0 && errno == 0 && Fps >= 1 && Fps <= 60;
}

// Stores Value for the option; false when it is not what the option takes.
bool Take(std::u16string_view Name, std::u16string_view Value, TOptions& O) {
  if (Name == u"--skin") O.SkinFile = Value;
  else if (Name == u"--vars") O.VarsFile = Value;
  else if (Name == u"--sim-status") O.SimStatus = Value;
  else if (Name == u"--ds-path") O.DsPath = Value;
  else if (Name == u"--fps") return ReadFps(Value, O.Fps);
  else if (Name == u"--frames") return ReadCount(Value, O.Frames);
  else if (Name == u"--format") {
    if (Value == u"ansi") O.Format = TFormat::Ansi;
    else if (Value == u"plain") O.Format = TFormat::Plain;
    else if (Value == u"list") O.Format = TFormat::List;
    else return false;
  } else if (Name == u"--at") {
    const std::size_t Colon = Value.find(u':');
    long Frame = 0;
    if (Colon == std::u16string_view::npos || !ReadCount(Value.substr(0, Colon), Frame) || Frame < 1 ||
        Colon + 1 == Value.size())
      return false;
    O.At.emplace(Frame, Value.substr(Colon + 1));
  }
  return true;
}

}  // namespace

TParsed ParseOptions(const std::vector<std::u16string>& Args, TOptions& Options, std::string& Fault) {
  Options = TOptions{};
  for (std::size_t I = 0; I < Args.size(); ++I) {
    const std::u16string& Arg = Args[I];
    if (Arg == u"--help" || Arg == u"-h") return TParsed::Help;
    const TOptionInfo* Option = nullptr;
    for (const TOptionInfo& Known : cOptions)
      if (Known.Name == Arg) Option = &Known;
    if (Option == nullptr) {
      Fault = "unknown option '" + ToUtf8(Arg) + "'; the options are";
      for (const TOptionInfo& Known : cOptions) Fault += " " + ToUtf8(Known.Name);
      Fault += " and --help";
      return TParsed::Fault;
    }
    const std::string Name = ToUtf8(Option->Name);
    if (I + 1 == Args.size()) {
      Fault = Name + " needs a value: " + Option->Takes;
      return TParsed::Fault;
    }
    const std::u16string& Value = Args[++I];
    if (!Take(Option->Name, Value, Options)) {
      Fault = Name + " takes " + Option->Takes + ", not '" + ToUtf8(Value) + "'";
      return TParsed::Fault;
    }
  }
  if (Options.SkinFile.empty()) {
    Fault = "--skin is required: the skin description to show";
    return TParsed::Fault;
  }
  return TParsed::Run;
}

std::string Usage() {
  std::string Text = "usage: zelm_host --skin FILE [option VALUE]...\n";
  auto Row = [&Text](std::string Left, const char* Help) {
    Left.resize(std::max<std::size_t>(Left.size() + 1, 27), ' ');
    Text += Left + Help + "\n";
  };
  for (const TOptionInfo& Option : cOptions) Row("  " + ToUtf8(Option.Name) + " " + Option.Value, Option.Help);
  Row("  -h, --help", "this text");
  Text +=
      "Standard input, a line at a time: one character presses that key of the skin,\n"
      "a longer line runs as a command batch (\"quit\" ends the host).\n";
  return Text;
}

}  // namespace zelm::bench
