#include "workbench/host/SkinFile.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "programs/common/SkinCodes.h"
#include "programs/common/Utf.h"

namespace zelm::tools {
namespace {

// Splits one line into words; false for an unterminated quote.
bool SplitWords(std::string_view Line, std::vector<std::string>& Words, std::string& Fault) {
  Words.clear();
  std::size_t I = 0;
  while (true) {
    while (I < Line.size() && (Line[I] == ' ' || Line[I] == '\t' || Line[I] == '\r')) ++I;
    if (I == Line.size() || Line[I] == '#') return true;
    std::string Word;
    if (Line[I] == '"') {
      ++I;
      bool Closed = false;
      while (I < Line.size()) {
        const char C = Line[I++];
        if (C == '"') {
          Closed = true;
          break;
        }
        if (C == '\\' && I < Line.size() && (Line[I] == '"' || Line[I] == '\\')) {
          Word.push_back(Line[I++]);
        } else {
          Word.push_back(C);
        }
      }
      if (!Closed) {
        Fault = "unterminated quote";
        return false;
      }
    } else {
      while (I < Line.size() && Line[I] != ' ' && Line[I] != '\t' && Line[I] != '\r') Word.push_back(Line[I++]);
    }
    Words.push_back(std::move(Word));
  }
}

bool ToInt(const std::string& Word, int Low, int High, int& Value) {
  const auto [End, Err] = std::from_chars(Word.data(), Word.data() + Word.size(), Value);
  return Err == std::errc() && End == Word.data() + Word.size() && Value >= Low && Value <= High;
}

}  // namespace

const TSkinButton* TSkin::ButtonFor(char16_t Key) const noexcept {
  for (const TSkinButton& B : Buttons)
    if (B.Key == Key) return &B;
  return nullptr;
}

bool SkinText(std::string_view Bytes, std::string& Text, std::string& Fault) {
  // Editors on Windows like to start a file with a byte-order mark: UTF-16 with one is
  // read as the owners' check reads it.
  if (Bytes.substr(0, 2) == "\xFF\xFE" || Bytes.substr(0, 2) == "\xFE\xFF") {
    Text = ToUtf8(FromUtf16(Bytes.substr(2), Bytes[0] == '\xFF'));
    return true;
  }
  if (Bytes.substr(0, 3) == "\xEF\xBB\xBF") Bytes.remove_prefix(3);
  if (Bytes.find('\0') != std::string_view::npos) {
    Fault =
        "the file holds NUL bytes: it is UTF-16 without a byte-order mark, or no text at all; "
        "save it as UTF-8";
    return false;
  }
  Text = Bytes;
  return true;
}

bool ParseSkin(std::string_view Text, std::string_view FileName, TSkin& Skin, std::vector<TSkinProblem>& Faults) {
  Skin = TSkin{};
  Faults.clear();
  bool SawElement = false;
  std::vector<std::string> W;
  int LineNo = 0;
  auto Fail = [&](const std::string& Fault) {
    Faults.push_back(
        {LineNo, std::string(FileName) + (LineNo > 0 ? ":" + std::to_string(LineNo) : std::string()) + ": " + Fault});
  };
  std::string Decoded, Fault;
  if (!SkinText(Text, Decoded, Fault)) {
    Fail(Fault);
    return false;
  }
  Text = Decoded;
  std::size_t Pos = 0;
  while (Pos < Text.size()) {
    const std::size_t End = std::min(Text.find('\n', Pos), Text.size());
    const std::string_view Line = Text.substr(Pos, End - Pos);
    Pos = End + 1;
    ++LineNo;
    if (ToUtf8(FromUtf8(Line)) != Line) {
      Fail("the line is not UTF-8 (the file was saved in another encoding): save the file as UTF-8");
      continue;
    }
    if (!SplitWords(Line, W, Fault)) {
      Fail(Fault);
      continue;
    }
    if (W.empty()) continue;
    const std::string& Verb = W[0];
    auto Need = [&](std::size_t Low, std::size_t High) { return W.size() >= Low && W.size() <= High; };
    if (Verb == "skin") {
      if (!Need(2, 2))
        Fail("skin takes one name");
      else
        Skin.Name = FromUtf8(W[1]);
    } else if (Verb == "size") {
      if (!Need(3, 3) || !ToInt(W[1], 1, 200, Skin.Rows) || !ToInt(W[2], 10, 400, Skin.Cols))
        Fail("size takes ROWS (1-200) and COLS (10-400)");
      else if (SawElement)
        Fail("size must come before the elements");
    } else if (Verb == "var") {
      if (!Need(3, 3) || W[1].empty())
        Fail("var takes a NAME and a VALUE");
      else
        Skin.Variables.push_back({FromUtf8(W[1]), FromUtf8(W[2]), LineNo});
    } else if (Verb == "text") {
      TSkinText T;
      SawElement = true;
      if (!Need(4, 4) || !ToInt(W[1], 0, Skin.Rows - 1, T.Row) || !ToInt(W[2], 0, Skin.Cols - 1, T.Col)) {
        Fail("text takes ROW COL \"TEXT\" inside the skin's size");
        continue;
      }
      T.Text = FromUtf8(W[3]);
      Skin.Texts.push_back(std::move(T));
    } else if (Verb == "label") {
      TSkinLabel L;
      SawElement = true;
      if (!Need(5, 6) || !ToInt(W[1], 0, Skin.Rows - 1, L.Row) || !ToInt(W[2], 0, Skin.Cols - 1, L.Col) ||
          !ToInt(W[3], 1, Skin.Cols - L.Col, L.Width) || W[4].empty()) {
        Fail("label takes ROW COL WIDTH CODE [right], inside the skin's size");
        continue;
      }
      if (W.size() == 6 && W[5] != "right" && W[5] != "left") {
        Fail("label alignment is left or right");
        continue;
      }
      L.Code = FromUtf8(W[4]);
      L.AlignRight = W.size() == 6 && W[5] == "right";
      L.Line = LineNo;
      Skin.Labels.push_back(std::move(L));
    } else if (Verb == "button") {
      TSkinButton B;
      const std::u16string Key = W.size() > 1 ? FromUtf8(W[1]) : std::u16string();
      if (!Need(4, 4) || Key.size() != 1 || Key[0] <= u' ' || W[2].empty()) {
        Fail("button takes a one-character KEY, a \"COMMAND\" and a \"CAPTION\"");
        continue;
      }
      B.Key = Key[0];
      if (Skin.ButtonFor(B.Key)) {
        Fail("key " + W[1] + " has a button already");
        continue;
      }
      B.Command = FromUtf8(W[2]);
      B.Caption = FromUtf8(W[3]);
      B.Line = LineNo;
      Skin.Buttons.push_back(std::move(B));
    } else {
      Fail("unknown element '" + Verb + "'; the elements are skin, size, var, text, label and button");
    }
  }
  LineNo = 0;
  if (Text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    Faults.clear();
    Fail("the file is empty; a skin needs at least a line \"skin NAME\" and a label");
  } else {
    if (Skin.Name.empty()) Fail("the skin has no name (add a line: skin NAME)");
    if (Skin.Labels.empty() && Faults.empty()) Fail("the skin has no label");
  }
  return Faults.empty();
}

bool LoadSkin(const std::string& Path, TSkin& Skin, std::vector<TSkinProblem>& Faults) {
  std::ifstream In(Path, std::ios::binary);
  if (!In) {
    Skin = TSkin{};
    Faults.assign(1, {0, Path + ": cannot be read"});
    return false;
  }
  std::ostringstream Buffer;
  Buffer << In.rdbuf();
  return ParseSkin(Buffer.str(), Path, Skin, Faults);
}

namespace {

bool Joined(bool Read, const std::vector<TSkinProblem>& Faults, std::string& Error) {
  Error.clear();
  for (const TSkinProblem& F : Faults) Error += (Error.empty() ? "" : "\n") + F.Text;
  return Read;
}

}  // namespace

bool ParseSkin(std::string_view Text, std::string_view FileName, TSkin& Skin, std::string& Error) {
  std::vector<TSkinProblem> Faults;
  return Joined(ParseSkin(Text, FileName, Skin, Faults), Faults, Error);
}

bool LoadSkin(const std::string& Path, TSkin& Skin, std::string& Error) {
  std::vector<TSkinProblem> Faults;
  return Joined(LoadSkin(Path, Skin, Faults), Faults, Error);
}

}  // namespace zelm::tools
