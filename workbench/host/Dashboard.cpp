#include "workbench/host/Dashboard.h"

#include <algorithm>
#include <sstream>

#include "core/tables/Catalogue.h"
#include "core/tables/SlotTexts.h"
#include "programs/common/Utf.h"
#include "workbench/host/Options.h"

namespace zelm::tools {
namespace {

// A control character would move the terminal's cursor: show it as a blank.
template <typename TChar>
TChar Printable(TChar C) {
  return C < 0x20 || C == 0x7F ? TChar(' ') : C;
}

}  // namespace

TGrid::TGrid(int Rows, int Cols)
    : FRows(std::max(Rows, 0)),
      FCols(std::max(Cols, 0)),
      FCells(static_cast<std::size_t>(FRows), std::u32string(static_cast<std::size_t>(FCols), U' ')) {}

void TGrid::Put(int Row, int Col, int Width, std::u16string_view Text, bool AlignRight) {
  if (Row < 0 || Row >= FRows || Col < 0 || Col >= FCols || Width <= 0) return;
  const auto Cells = static_cast<std::size_t>(std::min(Width, FCols - Col));
  // One cell a character: a surrogate pair is one character.
  std::u32string Shown;
  for (std::size_t I = 0; I < Text.size() && Shown.size() < Cells; ++I) {
    char32_t C = Text[I];
    if (C >= 0xD800 && C < 0xDC00 && I + 1 < Text.size() && Text[I + 1] >= 0xDC00 && Text[I + 1] < 0xE000)
      C = 0x10000 + ((C - 0xD800) << 10) + (Text[++I] - 0xDC00);
    Shown.push_back(Printable(C));
  }
  const std::u32string Blank(Cells - Shown.size(), U' ');
  FCells[static_cast<std::size_t>(Row)].replace(static_cast<std::size_t>(Col), Cells,
                                                AlignRight ? Blank + Shown : Shown + Blank);
}

std::vector<std::u16string> TGrid::Lines() const {
  std::vector<std::u16string> Out;
  for (std::u32string Line : FCells) {
    Line.erase(Line.find_last_not_of(U' ') + 1);
    std::u16string Text;
    for (char32_t C : Line) {
      if (C >= 0x10000) {
        Text.push_back(static_cast<char16_t>(0xD800 + ((C - 0x10000) >> 10)));
        Text.push_back(static_cast<char16_t>(0xDC00 + ((C - 0x10000) & 0x3FF)));
      } else {
        Text.push_back(static_cast<char16_t>(C));
      }
    }
    Out.push_back(std::move(Text));
  }
  return Out;
}

std::vector<std::u16string> ComposeFrame(const TSkin& Skin, const std::vector<std::u16string>& LabelTexts,
                                         const std::vector<std::u16string>& Status) {
  TGrid Grid(Skin.Rows, Skin.Cols);
  for (const TSkinText& T : Skin.Texts) Grid.Put(T.Row, T.Col, T.Text);
  for (std::size_t I = 0; I < Skin.Labels.size(); ++I) {
    const TSkinLabel& L = Skin.Labels[I];
    Grid.Put(L.Row, L.Col, L.Width, I < LabelTexts.size() ? std::u16string_view(LabelTexts[I]) : u"", L.AlignRight);
  }
  std::vector<std::u16string> Lines = Grid.Lines();

  // The keys, as many to a line as fit.
  std::u16string Keys;
  for (const TSkinButton& B : Skin.Buttons) {
    std::u16string Item = u"[";
    Item += B.Key;
    Item += u"] " + B.Caption;
    if (!Keys.empty() && DisplayWidth(Keys) + 2 + DisplayWidth(Item) > static_cast<std::size_t>(Skin.Cols)) {
      Lines.push_back(Keys);
      Keys.clear();
    }
    Keys += (Keys.empty() ? u"" : u"  ") + Item;
  }
  if (!Keys.empty()) Lines.push_back(Keys);
  for (const std::u16string& Text : Status) {
    std::vector<std::u16string> Wrapped = Wrap(Text, static_cast<std::size_t>(Skin.Cols));
    TGrid StatusLines(static_cast<int>(Wrapped.size()), Skin.Cols);
    for (std::size_t I = 0; I < Wrapped.size(); ++I) StatusLines.Put(static_cast<int>(I), 0, Wrapped[I]);
    for (auto& Line : StatusLines.Lines()) Lines.push_back(std::move(Line));
  }
  return Lines;
}

std::vector<std::u16string> Wrap(std::u16string_view Text, std::size_t Width) {
  std::vector<std::u16string> Lines(1);
  Width = std::max<std::size_t>(Width, 1);
  while (!Text.empty()) {
    if (DisplayWidth(Text) <= Width) {
      Lines.back() = Text;
      break;
    }
    // The last blank that leaves the line within Width, or a hard cut.
    std::size_t Cut = Width;
    while (Cut > 0 && Text[Cut] != u' ') --Cut;
    if (Cut == 0) Cut = Width;
    Lines.back() = Text.substr(0, Cut);
    Text.remove_prefix(Cut);
    while (!Text.empty() && Text.front() == u' ') Text.remove_prefix(1);
    Lines.emplace_back();
  }
  return Lines;
}

std::string CodesOfIds(std::string_view Ids) {
  std::istringstream In{std::string(Ids)};
  std::string Out;
  for (unsigned long Id = 0; In >> Id;) {
    const int Index = ParamIndexOfId(static_cast<uint32_t>(Id));
    Out += (Out.empty() ? "" : " ") +
           (Index < 0 ? std::to_string(Id) : ToUtf8(cParams[static_cast<std::size_t>(Index)].ValueCode));
  }
  return Out;
}

std::string CommandOutcome(std::u16string_view Command, int ExitCode, const THostVariables& Variables) {
  const std::string Said = ToUtf8(Command);
  if (ExitCode == 0) return "nobody took the command '" + Said + "'";
  const std::u16string Verb = LowerAsciiCopy(Command);
  if (Verb == u"ce_open")
    return Said + ": the extension announced itself to the data server and asked for the trip figures";
  if (Verb == u"ce_close") return Said + ": the trip computer starts again from zero";
  for (const TSlotTexts& S : cSlots)
    if (Verb == S.StepCommand)
      return Said + ": " + ToUtf8(S.ValueCode) + " now shows " + ToUtf8(Variables.Get(S.Variable));
  return Said + ": taken by the extension";
}

std::vector<std::u16string> FitScreen(const std::vector<std::u16string>& Lines, const TSkin& Skin, int Rows, int Cols) {
  if (Rows <= 0 || Cols <= 0) return Lines;
  auto Cut = [Cols](std::u16string_view Text) {
    TGrid Line(1, Cols);
    Line.Put(0, 0, Text);
    return Line.Lines()[0];
  };
  std::vector<std::u16string> Out;
  if (Skin.Rows > Rows || Skin.Cols > Cols)
    Out.push_back(Cut(FromUtf8("The skin needs " + std::to_string(Skin.Rows) + "x" + std::to_string(Skin.Cols) +
                               "; this terminal is " + std::to_string(Rows) + "x" + std::to_string(Cols) + ".")));
  for (std::size_t I = 0; I < Lines.size() && Out.size() < static_cast<std::size_t>(Rows); ++I) {
    const std::size_t After = Lines.size() - I - 1;
    if (Out.size() + 1 == static_cast<std::size_t>(Rows) && After > 0)
      Out.push_back(Cut(u"(" + FromUtf8(std::to_string(After + 1)) + u" more lines: a taller terminal shows them)"));
    else
      Out.push_back(Cut(Lines[I]));
  }
  return Out;
}

bool ReadResize(std::u16string_view Line, int& Rows, int& Cols) {
  if (Line.substr(0, 4) != u"\x1b[8;" || Line.back() != u't') return false;
  Line = Line.substr(4, Line.size() - 5);
  const std::size_t Semicolon = Line.find(u';');
  if (Semicolon == std::u16string_view::npos) return false;
  std::u16string Size(Line);
  Size[Semicolon] = u'x';
  return ReadScreen(Size, Rows, Cols);
}

std::string AnsiFrame(const std::vector<std::u16string>& Lines) {
  std::string Out = "\x1b[H";
  for (std::size_t I = 0; I < Lines.size(); ++I) Out += (I > 0 ? "\r\n" : "") + ToUtf8(Lines[I]) + "\x1b[K";
  Out += "\x1b[J";
  return Out;
}

std::string PlainFrame(long FrameNo, const std::vector<std::u16string>& Lines) {
  std::string Out = "--- frame " + std::to_string(FrameNo) + " ---\n";
  for (const auto& Line : Lines) Out += ToUtf8(Line) + "\n";
  return Out;
}

std::string ListFrame(long FrameNo, const TSkin& Skin, const std::vector<std::u16string>& LabelTexts,
                      const std::string* Subscribed) {
  std::string Out = "frame " + std::to_string(FrameNo) + "\n";
  for (std::size_t I = 0; I < Skin.Labels.size(); ++I) {
    std::u16string Text = I < LabelTexts.size() ? LabelTexts[I] : u"";
    for (char16_t& C : Text) C = Printable(C);  // keeps the list one label a line
    Out += "label\t" + ToUtf8(Skin.Labels[I].Code) + "\t" + ToUtf8(Text) + "\n";
  }
  if (Subscribed) Out += "subscribed\t" + *Subscribed + "\n";
  Out += "end\n";
  return Out;
}

}  // namespace zelm::tools
