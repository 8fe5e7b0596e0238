// A recorded drive, as zelm_host --record writes it and zelm_sim --replay serves it:
// a CSV file (RFC 4180, UTF-8, "\n" line ends) with a header and one row a frame.
//
//   seconds,ce_speed,ce_enginespeed,...
//   title,Vehicle speed,Engine speed,...
//   unit,km/h,rpm,...
//   0.000,-,-,...
//   0.100,12,1450,...
//
// "seconds" counts from the first frame, to the millisecond; every other column is a
// parameter's value code and holds its text as the extension showed it ("-": no
// value yet). The rows "title" and "unit" hold what the data server sent with the
// values (empty where it sent none, as for the trip figures); older recordings lack
// them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zelm::tools {

struct TDriveRow {
  double Seconds = 0;
  std::vector<std::string> Texts;  // one per code, UTF-8
};

struct TDrive {
  std::vector<std::u16string> Codes;
  std::vector<std::string> Titles, Units;  // one per code, UTF-8; empty: not recorded
  std::vector<TDriveRow> Rows;
};

// One line of the file, its fields quoted where they need it, with its "\n".
std::string CsvLine(const std::vector<std::string>& Fields);
std::string DriveHeader(const std::vector<std::u16string>& Codes);
std::string DriveRow(double Seconds, const std::vector<std::u16string>& Texts);
// The row "title" or "unit": Name and a text per code.
std::string DriveHeadRow(const char* Name, const std::vector<std::u16string>& Texts);

// Reads a recording: every row must have a field for each code and seconds that do
// not go back. Error names the file and line.
bool ParseDrive(std::string_view Text, std::string_view FileName, TDrive& Drive, std::string& Error);

}  // namespace zelm::tools
