// What the stand-in host draws: the skin's texts and labels on a character grid, the
// skin's keys under it and a status line, either for a terminal (redrawn in place
// with ANSI codes) or as plain text; and the list form, one label a line, that tests
// and scripts read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "programs/common/HostVariables.h"
#include "workbench/host/SkinFile.h"

namespace zelm::tools {

class TGrid {
 public:
  TGrid(int Rows, int Cols);
  // Writes Text into Width cells from Col on (to the right of them when AlignRight),
  // cut to fit; the rest of the cells are blanked.
  void Put(int Row, int Col, int Width, std::u16string_view Text, bool AlignRight = false);
  void Put(int Row, int Col, std::u16string_view Text) { Put(Row, Col, FCols - Col, Text); }
  // The rows with trailing blanks removed.
  std::vector<std::u16string> Lines() const;

 private:
  int FRows, FCols;
  std::vector<std::u32string> FCells;
};

// The dashboard of one frame: the skin's rows, then its keys and the status lines,
// each status line wrapped at blanks to the skin's width. LabelTexts holds one text per label of the skin, in
// the skin's order.
std::vector<std::u16string> ComposeFrame(const TSkin& Skin, const std::vector<std::u16string>& LabelTexts,
                                         const std::vector<std::u16string>& Status);

// Text in lines of at most Width characters, broken at blanks where it can be.
std::vector<std::u16string> Wrap(std::u16string_view Text, std::size_t Width);

// "ce_speed ce_enginespeed" for the data server's "1 11": what a skin author calls
// them. An identifier of no parameter stays a number.
std::string CodesOfIds(std::string_view Ids);

// What the status line says after a command went to the extension: what it did,
// in words; Variables are the host's after the command.
std::string CommandOutcome(std::u16string_view Command, int ExitCode, const THostVariables& Variables);

// The lines of a frame fitted into a terminal of Rows x Cols: each cut to Cols, the
// skin's rows first, then its keys and the status lines as far as they go (the last
// row then says how many more there are). A terminal smaller than the skin is told so
// on the first row. Rows or Cols 0: the size is not known, and nothing is cut.
std::vector<std::u16string> FitScreen(const std::vector<std::u16string>& Lines, const TSkin& Skin, int Rows, int Cols);

// A terminal's new size, sent as it reports one ("ESC [8;ROWS;COLSt").
bool ReadResize(std::u16string_view Line, int& Rows, int& Cols);

// A frame for a terminal: cursor home, each line cleared to its end, nothing after the
// last line (a line break there would scroll a full screen).
std::string AnsiFrame(const std::vector<std::u16string>& Lines);
// A frame as plain text, with a heading line.
std::string PlainFrame(long FrameNo, const std::vector<std::u16string>& Lines);

// The list form:
//   frame N
//   label <TAB> CODE <TAB> TEXT      (one per label, in the skin's order)
//   subscribed <TAB> IDS             (what the data server says, when known)
//   end
std::string ListFrame(long FrameNo, const TSkin& Skin, const std::vector<std::u16string>& LabelTexts,
                      const std::string* Subscribed);

}  // namespace zelm::tools
