// The bench programs' command lines, read the same way: options from a table, each
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

namespace zelm::bench {

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

// "usage: " Synopsis, then one option a line, -h/--help last, then Tail.
std::string UsageText(std::string_view Synopsis, std::span<const TOptionInfo> Options, std::string_view Tail);

// Digits only, at most Max (strtol alone would take blanks, signs and a trailing rest).
bool ReadCount(std::u16string_view Text, uint64_t Max, uint64_t& Count);
// A plain decimal number from Low to High (no sign, exponent, "nan" or "inf").
bool ReadNumber(std::u16string_view Text, double Low, double High, double& Number);

}  // namespace zelm::bench
