// The codes a skin names, as an owner's check finds them in a skin file of any format
// (the front-end's own, the workbench's, anything): every word that begins with "ce_" in
// any case, and for each that ZelmKvel does not know, the code it looks like or the
// nearest one it knows.
// Portable, so that the native tests hold it; zelm_check --codes and the workbench's skin
// check use it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zelm::tools {

// How a skin file's bytes were read: as the front-end reads them.
enum class TSkinEncoding {
  Ascii,        // no byte over 127: every encoding below reads it alike
  Utf8,         // UTF-8 without a byte-order mark
  Utf8Mark,     // UTF-8 with its mark
  Utf16LeMark,  // UTF-16 with its mark, little-endian
  Utf16BeMark,
  Utf16Le,  // UTF-16 without a mark, told by its NUL bytes
  Utf16Be,
  Ansi,  // none of these: the system's ANSI code page
};

// Bytes in the system's ANSI code page to UTF-16; false when they are no text in it.
using TAnsiDecoder = std::function<bool(std::string_view Bytes, std::u16string& Text)>;

struct TDecodedSkin {
  bool Decoded = false;
  TSkinEncoding Encoding = TSkinEncoding::Ascii;
  std::u16string Text;
  std::string Why;  // when not decoded
};

// A file's text. With a byte-order mark as it says; without one, UTF-16 when NULs stand
// on one side of the byte pairs (at least one pair in four, on the other side hardly
// any), else UTF-8 when the bytes are UTF-8, else the ANSI code page. Other NUL bytes,
// UTF-16 of an odd length, broken UTF-8 after UTF-8's mark and bytes that are no text in
// the code page are not decoded.
TDecodedSkin DecodeSkinText(std::string_view Bytes, const TAnsiDecoder& Ansi);

// UTF-16 bytes, either order, to text (a last odd byte is dropped).
std::u16string FromUtf16(std::string_view Bytes, bool Little);

// Every code ZelmKvel answers or carries out, lower case: the label codes, the
// commands, and both together.
const std::vector<std::u16string_view>& KnownLabelCodes();
const std::vector<std::u16string_view>& KnownCommands();
const std::vector<std::u16string_view>& KnownCodes();

// Whether ZelmKvel knows Word, taken as it does: the 26 ASCII capitals lowered.
bool IsKnownCode(std::u16string_view Word);

// Edits (insert, delete, replace) that turn A into B.
std::size_t EditDistance(std::u16string_view A, std::u16string_view B);

// The closest of Candidates to Text (two edits at most, at most a third of the text),
// compared after lowering; empty when none is that close. The first of those as near.
std::u16string_view Closest(std::u16string_view Text, const std::vector<std::u16string_view>& Candidates);

// A character where a word and the code it looks like differ: a Latin letter where the
// code has the Cyrillic one that looks the same, or the reverse.
struct TLookAlike {
  std::size_t Position = 0;  // from 1
  char16_t Have = 0;
  char16_t Want = 0;
};

// A look-alike character's name, "Latin p" or "Cyrillic er"; empty for any other.
std::string LetterName(char16_t C);

struct TCodeFinding {
  int Line = 0;  // from 1
  std::u16string Word;
  std::u16string_view LooksLike;        // the known code it differs from only in look-alikes
  std::vector<TLookAlike> Differences;  // where, with LooksLike
  std::u16string_view Nearest;          // otherwise the nearest known code; empty: none is near
};

struct TCodeScan {
  int Codes = 0;  // words that begin with "ce_", known or not
  std::vector<TCodeFinding> Unknown;
};

// Every word of Text that begins with "ce_" (any case), counted, and those that are not
// known codes, in the order of the text. A word is a run of letters, digits and
// underscores (Latin and Cyrillic letters too): "nice_x" holds none, "$ce_speed$" holds
// ce_speed.
TCodeScan ScanCodes(std::u16string_view Text);

}  // namespace zelm::tools
