// The workbench programs' command lines, read the same way: options from a table, each
// with its value unless it is a switch; --help (or -h) anywhere asks for the usage; a
// fault names the option and what it takes. Portable, so that the native tests check
// what each option takes; the programs hand their arguments over as UTF-16.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelm::tools {

struct TOptionInfo {
  std::u16string_view Name;
  const char* Value;  // what stands for the value in the usage; nullptr: a switch
  const char* Takes;  // what a fault says the option takes
  const char* Help;
};

enum class TParsed { Run, Help, Fault };

// Calls Take for each option in the order given (Value is empty for a switch); Take
// answers false when the value is not what the option takes.
using TTakeOption = std::function<bool(const TOptionInfo& Option, std::u16string_view Value)>;
TParsed ParseArguments(const std::vector<std::u16string>& Args, std::span<const TOptionInfo> Options,
                       const TTakeOption& Take, std::string& Fault);

// A program's options read into a fresh TOptionsT: Take stores each option's value
// (false when it is not what the option takes); Complete, once all are read, names
// what is still missing or does not go together (nullptr when all is well).
template <typename TOptionsT>
TParsed ParseOptionsInto(const std::vector<std::u16string>& Args, std::span<const TOptionInfo> Options,
                         bool (*Take)(std::u16string_view Name, std::u16string_view Value, TOptionsT& Into),
                         const char* (*Complete)(const TOptionsT& Into), TOptionsT& Into, std::string& Fault) {
  Into = TOptionsT{};
  const TParsed Parsed = ParseArguments(
      Args, Options, [&](const TOptionInfo& O, std::u16string_view Value) { return Take(O.Name, Value, Into); }, Fault);
  if (Parsed != TParsed::Run) return Parsed;
  if (const char* Missing = Complete(Into)) {
    Fault = Missing;
    return TParsed::Fault;
  }
  return TParsed::Run;
}

// "usage: " Synopsis, then one option a line, -h/--help last, then Tail.
std::string UsageText(std::string_view Synopsis, std::span<const TOptionInfo> Options, std::string_view Tail);

// Digits only, at most Max (strtol alone would take blanks, signs and a trailing rest).
bool ReadCount(std::u16string_view Text, uint64_t Max, uint64_t& Count);
// A plain decimal number from Low to High (no sign, exponent, "nan" or "inf").
bool ReadNumber(std::u16string_view Text, double Low, double High, double& Number);

}  // namespace zelm::tools
