// A recording of a drive (zelm_host --record, programs/common/DriveLog.h): which values it
// keeps (every parameter's value code the skin shows, once, in the order of the skin:
// those of its labels and those its dynamic labels start on), and how it is written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "programs/common/HostVariables.h"
#include "workbench/host/SkinFile.h"

namespace zelm::tools {

struct TDriveColumn {
  std::u16string Code;  // a parameter's value code, lowered
  int Label = -1;       // the skin's label that shows it directly; -1: asked for apart
};

// Variables: the host's, with the skin's and the saved ones, for the dynamic labels.
std::vector<TDriveColumn> DriveColumns(const TSkin& Skin, const THostVariables& Variables);

// The file's text as the drive goes. The titles and units the data server sends come
// after the header, before the rows, but are known only once values flow: the rows
// wait for them in memory until every live parameter's are known or cTitleWait
// seconds of the drive have gone, and from then on each row is written as it comes.
class TDriveWriter {
 public:
  static constexpr double cTitleWait = 5;

  explicit TDriveWriter(std::vector<TDriveColumn> Columns);
  const std::vector<TDriveColumn>& Columns() const noexcept { return FColumns; }
  // Whether to ask for column I's title and unit, now that it shows Text: a live
  // parameter's, not known yet, that shows a value.
  bool Wants(std::size_t I, std::u16string_view Text) const;
  // The column's title and unit as the extension shows them ("-": no unit).
  void Learn(std::size_t I, std::u16string Title, std::u16string Unit);
  // One row of the drive: what to write into the file now.
  std::string Row(double Seconds, const std::vector<std::u16string>& Texts);
  // At the end of the drive: what still waits.
  std::string Finish();

 private:
  std::string Head();  // the header, titles and units, and the rows that waited

  std::vector<TDriveColumn> FColumns;
  std::vector<std::u16string> FTitles, FUnits;
  std::vector<bool> FWanted;  // a live parameter whose title and unit are not known yet
  std::string FWaiting;
  bool FStarted = false;  // the header, titles and units are out
};

}  // namespace zelm::tools
