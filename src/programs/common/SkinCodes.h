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

// The ANSI code pages as the system converts them, strictly (on Windows
// MultiByteToWideChar and WideCharToMultiByte; the tests fake a few).
struct TAnsiCodePages {
  unsigned System = 0;  // the one the system reads ANSI text in, as RideRunner reads a skin
  // Bytes in CodePage to UTF-16; false when they are no text in it or it is not there.
  std::function<bool(unsigned CodePage, std::string_view Bytes, std::u16string& Text)> Decode;
  // UTF-16 in CodePage; false when the code page lacks a character of it.
  std::function<bool(unsigned CodePage, std::u16string_view Text, std::string& Bytes)> Encode;
};

// An ANSI code page's number with its name, "1251 (Cyrillic)"; a code page that is none
// of Windows' ANSI ones by its number alone.
std::string CodePageName(unsigned CodePage);

struct TDecodedSkin {
  bool Decoded = false;
  TSkinEncoding Encoding = TSkinEncoding::Ascii;
  std::u16string Text;
  std::string Why;  // when not decoded
};

// A file's text, every byte of it, or why not. With a byte-order mark as it says, when
// the bytes after it fit it; without one, UTF-16 when NULs stand on one side of the byte
// pairs (at least one pair in four, on the other side hardly any), else UTF-8 when the
// bytes are UTF-8, else the system's ANSI code page. Not decoded: the marks of encodings
// RideRunner does not read (UTF-32 and the rarer ones), a mark the bytes after it do not
// fit, other NUL bytes, UTF-16 of an odd length or with half a surrogate pair, a NUL
// character, and bytes that are no text in the encoding taken.
TDecodedSkin DecodeSkinText(std::string_view Bytes, const TAnsiCodePages& Ansi);

// UTF-16 bytes, either order, to text (a last odd byte is dropped).
std::u16string FromUtf16(std::string_view Bytes, bool Little);

// Every code ZelmKvel answers or carries out, lower case: the label codes, the
// commands, and both together.
const std::vector<std::u16string_view>& KnownLabelCodes();
const std::vector<std::u16string_view>& KnownCommands();
const std::vector<std::u16string_view>& KnownCodes();

// Whether ZelmKvel knows Word, taken as it does: the 26 ASCII capitals lowered.
bool IsKnownCode(std::u16string_view Word);

// Candidates made ready for the closest of them to a text: in the order of their
// characters, so that those that begin alike share the work on their beginning, and a
// beginning already too far from the text passes over all that share it. A text is
// compared with the candidates only as far as one can be near it: one longer or shorter
// than a candidate by more edits than count as near costs nothing more.
class TCandidates {
 public:
  explicit TCandidates(const std::vector<std::u16string_view>& Candidates);
  // The closest candidate to Text by edits (insert, delete, replace), two at most and at
  // most a third of the text, compared after lowering; empty when none is that close.
  // The first given of those as near.
  std::u16string_view Closest(std::u16string_view Text) const;

 private:
  struct TEntry {
    std::u16string_view Text;
    std::size_t Given;   // its place among the candidates given
    std::size_t Shared;  // characters it begins with as the one before it does
  };
  std::vector<TEntry> FEntries;
  std::size_t FLongest = 0;
};

// The same for candidates used once.
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
// A character's code point as Unicode writes it, "U+0440".
std::string CodePoint(char16_t C);

struct TCodeFinding {
  int Line = 0;  // from 1
  std::u16string Word;
  std::u16string_view LooksLike;        // the known code it differs from only in look-alikes
  std::vector<TLookAlike> Differences;  // where, with LooksLike
  std::u16string_view Nearest;          // otherwise the nearest known code; empty: none is near
  // Read in the system's ANSI code page: another ANSI code page in which its bytes are a
  // known code, and that code (0 and empty: none).
  unsigned OtherCodePage = 0;
  std::u16string_view CodeThere;
};

struct TCodeScan {
  int Lines = 0;  // each ended by CR LF, LF or CR alone, and a last one without an end
  int Codes = 0;  // words that begin with "ce_", known or not
  std::vector<TCodeFinding> Unknown;
};

// Every word of Text that begins with "ce_" (any case), counted, and those that are not
// known codes, in the order of the text, with their lines. A word is a run of letters,
// digits and underscores (Latin and Cyrillic letters too): "nice_x" holds none,
// "$ce_speed$" holds ce_speed. A word is compared with the codes only as far as one can
// be like it, so that the scan takes about as long per character whatever the words.
TCodeScan ScanCodes(std::u16string_view Text);

// For each unknown code of a text read in the system's ANSI code page: the other ANSI
// code page in which its bytes are a known code, if one is.
void FindCodesInOtherCodePages(TCodeScan& Scan, const TAnsiCodePages& Ansi);

}  // namespace zelm::tools
