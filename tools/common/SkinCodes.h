// The codes a skin names, as an owner's check finds them in a skin file of any format
// (the front-end's own, the workbench's, anything): every word that begins with "ce_" in
// any case, and for each that ZelmKvel does not know, the nearest one it does.
// Portable, so that the native tests hold it; zelm_check --codes and the workbench's skin
// check use it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelm::tools {

// A file's text: UTF-16 with its byte-order mark (either order), else UTF-8 with or
// without one; bytes that are no UTF-8 become U+FFFD.
std::u16string DecodeSkinText(std::string_view Bytes);

// Every code ZelmKvel answers or carries out, lower case: the label codes, the
// commands, and both together.
const std::vector<std::u16string_view>& KnownLabelCodes();
const std::vector<std::u16string_view>& KnownCommands();
const std::vector<std::u16string_view>& KnownCodes();

// Whether ZelmKvel knows Word, taken as it does: the 26 ASCII capitals lowered.
bool IsKnownCode(std::u16string_view Word);

// Edits (insert, delete, replace) that turn A into B.
std::size_t EditDistance(std::u16string_view A, std::u16string_view B);

// The known code fewest edits away from Word (lowered), the first in KnownCodes() of
// those as near.
std::u16string_view NearestCode(std::u16string_view Word);

struct TCodeFinding {
  int Line = 0;  // from 1
  std::u16string Word;
  std::u16string_view Nearest;
};

// Every word of Text that begins with "ce_" (any case) and is not a known code, in the
// order of the text. A word is a run of letters, digits and underscores (Latin and
// Cyrillic letters too): "nice_x" holds none, "$ce_speed$" holds ce_speed.
std::vector<TCodeFinding> UnknownCodes(std::u16string_view Text);

}  // namespace zelm::tools
