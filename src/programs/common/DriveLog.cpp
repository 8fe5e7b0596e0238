#include "programs/common/DriveLog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "programs/common/Utf.h"

namespace zelm::tools {
namespace {

// Reads the record that starts at Pos into Fields and moves Pos past it: a line, or more
// than one where a quoted field holds a line break (as CsvLine writes one). Lines counts
// the line breaks it took; Blank says the record held nothing. False for a quoted field
// that is not closed, or that something other than a comma follows.
bool ReadRecord(std::string_view Text, std::size_t& Pos, int& Lines, std::vector<std::string>& Fields, bool& Blank) {
  Fields.assign(1, std::string());
  Blank = true;
  bool Quoted = false, Closed = false;  // inside a quoted field; just after one
  while (Pos < Text.size()) {
    const char C = Text[Pos++];
    if (Quoted) {
      if (C == '"' && Pos < Text.size() && Text[Pos] == '"') {
        Fields.back().push_back('"');
        ++Pos;
      } else if (C == '"') {
        Quoted = false;
        Closed = true;
      } else {
        Lines += C == '\n';
        Fields.back().push_back(C);
      }
      continue;
    }
    if (C == '\n') {
      ++Lines;
      break;
    }
    if (C == '\r' && (Pos == Text.size() || Text[Pos] == '\n')) continue;  // a CRLF's CR
    Blank = false;
    if (C == ',') {
      Fields.emplace_back();
      Closed = false;
    } else if (Closed) {
      return false;
    } else if (C == '"' && Fields.back().empty()) {
      Quoted = true;
    } else {
      Fields.back().push_back(C);
    }
  }
  return !Quoted;
}

}  // namespace

std::string CsvLine(const std::vector<std::string>& Fields) {
  std::string Line;
  for (std::size_t I = 0; I < Fields.size(); ++I) {
    const std::string& F = Fields[I];
    if (I > 0) Line.push_back(',');
    if (F.find_first_of(",\"\r\n") == std::string::npos) {
      Line += F;
      continue;
    }
    Line.push_back('"');
    for (const char C : F) {
      if (C == '"') Line.push_back('"');
      Line.push_back(C);
    }
    Line.push_back('"');
  }
  return Line + "\n";
}

std::string DriveHeader(const std::vector<std::u16string>& Codes) {
  std::vector<std::string> Fields = {"seconds"};
  for (const auto& Code : Codes) Fields.push_back(ToUtf8(Code));
  return CsvLine(Fields);
}

std::string DriveRow(double Seconds, const std::vector<std::u16string>& Texts) {
  char Time[32];
  std::snprintf(Time, sizeof Time, "%.3f", Seconds);
  std::vector<std::string> Fields = {Time};
  for (const auto& Text : Texts) Fields.push_back(ToUtf8(Text));
  return CsvLine(Fields);
}

std::string DriveHeadRow(const char* Name, const std::vector<std::u16string>& Texts) {
  std::vector<std::string> Fields = {Name};
  for (const auto& Text : Texts) Fields.push_back(ToUtf8(Text));
  return CsvLine(Fields);
}

bool ParseDrive(std::string_view Text, std::string_view FileName, TDrive& Drive, std::string& Error) {
  Drive = TDrive{};
  if (Text.substr(0, 3) == "\xEF\xBB\xBF") Text.remove_prefix(3);
  std::vector<std::string> Fields;
  int LineNo = 0;
  auto Fail = [&](const std::string& Fault) {
    Error = std::string(FileName) + (LineNo > 0 ? ":" + std::to_string(LineNo) : std::string()) + ": " + Fault;
    return false;
  };
  int Lines = 0, Records = 0;
  for (std::size_t Pos = 0; Pos < Text.size();) {
    LineNo = Lines + 1;  // where the record starts
    bool Blank = true;
    if (!ReadRecord(Text, Pos, Lines, Fields, Blank)) return Fail("a quoted field is not closed");
    if (Blank) continue;
    if (++Records == 1) {
      if (Fields[0] != "seconds" || Fields.size() < 2)
        return Fail("not a recorded drive: the first line must be \"seconds,\" and the value codes");
      for (std::size_t I = 1; I < Fields.size(); ++I) Drive.Codes.push_back(FromUtf8(Fields[I]));
      continue;
    }
    if (Fields.size() != Drive.Codes.size() + 1)
      return Fail(std::to_string(Fields.size()) + " fields where the header has " +
                  std::to_string(Drive.Codes.size() + 1));
    if (Drive.Rows.empty() && (Fields[0] == "title" || Fields[0] == "unit")) {
      (Fields[0] == "title" ? Drive.Titles : Drive.Units).assign(Fields.begin() + 1, Fields.end());
      continue;
    }
    TDriveRow Row;
    char* Rest = nullptr;
    Row.Seconds = std::strtod(Fields[0].c_str(), &Rest);
    if (Fields[0].empty() || *Rest != 0 || !(Row.Seconds >= 0) ||
        (!Drive.Rows.empty() && Row.Seconds < Drive.Rows.back().Seconds))
      return Fail("the seconds '" + Fields[0] + "' are no time after the row before");
    Row.Texts.assign(Fields.begin() + 1, Fields.end());
    Drive.Rows.push_back(std::move(Row));
  }
  const bool Empty = Records == 0;
  LineNo = 0;
  if (Empty) return Fail("the file is empty");
  if (Drive.Rows.empty()) return Fail("the recording has no row");
  Drive.Titles.resize(Drive.Codes.size());
  Drive.Units.resize(Drive.Codes.size());
  return true;
}

}  // namespace zelm::tools
