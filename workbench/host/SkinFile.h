// The workbench's skin description: a plain text file, one element a line.
//
//   # a comment
//   skin NAME                          what the skin object answers to SkinName
//   size ROWS COLS                     the dashboard's size in characters
//   var NAME "VALUE"                   a skin variable as the skin ships it
//   text ROW COL "TEXT"                fixed text
//   label ROW COL WIDTH CODE [right]   a label, polled with its code every frame
//   button KEY "COMMAND" "CAPTION"     a key that fires a command
//
// Words are separated by blanks; a word with blanks goes in double quotes, in which
// \" and \\ stand for " and \. Rows and columns count from 0. Files are UTF-8, with or
// without a byte-order mark, or UTF-16 with one (Notepad's "Unicode").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zelm::tools {

// Line: where the element stands in the file, for what the skin check says.
struct TSkinLabel {
  int Row = 0, Col = 0, Width = 0;
  int Line = 0;
  std::u16string Code;
  bool AlignRight = false;
};

struct TSkinText {
  int Row = 0, Col = 0;
  std::u16string Text;
};

struct TSkinButton {
  char16_t Key = 0;
  int Line = 0;
  std::u16string Command;
  std::u16string Caption;
};

struct TSkinVariable {
  std::u16string Name, Value;
  int Line = 0;
};

struct TSkin {
  std::u16string Name;
  int Rows = 24, Cols = 80;
  std::vector<TSkinVariable> Variables;
  std::vector<TSkinText> Texts;
  std::vector<TSkinLabel> Labels;
  std::vector<TSkinButton> Buttons;

  const TSkinButton* ButtonFor(char16_t Key) const noexcept;
};

// One thing wrong with a skin file, said as "FILE:LINE: fault" (or "FILE: fault" for the
// whole file, Line 0).
struct TSkinProblem {
  int Line = 0;
  std::string Text;
};

// Reads a skin description as far as it reads: the elements without a fault are kept,
// and every fault is said, in the order of the file. True when there is none.
bool ParseSkin(std::string_view Text, std::string_view FileName, TSkin& Skin, std::vector<TSkinProblem>& Faults);
bool LoadSkin(const std::string& Path, TSkin& Skin, std::vector<TSkinProblem>& Faults);
// The same, the faults a line each in Error.
bool ParseSkin(std::string_view Text, std::string_view FileName, TSkin& Skin, std::string& Error);
bool LoadSkin(const std::string& Path, TSkin& Skin, std::string& Error);

// A file's bytes as UTF-8: UTF-8 as it is (a byte-order mark dropped), UTF-16 with its
// byte-order mark converted. Bytes that are neither are named in Fault.
bool SkinText(std::string_view Bytes, std::string& Text, std::string& Fault);

}  // namespace zelm::tools
