// The recording of a drive as the stand-in host makes it (--record): the file, the
// drive's clock, and each frame a row of what the skin's labels showed, with the titles
// and units asked of the extension once values flow. The frame loop only hands it the
// frame's texts.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "programs/common/ExtensionClient.h"
#include "workbench/host/Recorder.h"
#include "win/com/Handles.h"

namespace zelm::tools {

class TDriveRecorder {
 public:
  // A recording of these columns into File, its clock the frames' at FrameRate frames a
  // second (0: the clock on the wall); null with Error when the skin shows no
  // parameter's value or the file cannot be written.
  static std::unique_ptr<TDriveRecorder> Open(std::u16string_view File, std::vector<TDriveColumn> Columns,
                                              double FrameRate, std::string& Error);
  // Writes what still waits: a drive stopped early keeps every row.
  ~TDriveRecorder();
  TDriveRecorder(const TDriveRecorder&) = delete;
  TDriveRecorder& operator=(const TDriveRecorder&) = delete;

  // One frame: Texts are the skin's labels as shown; the codes no label shows directly
  // are asked of Extension as a label would be.
  void Frame(const std::vector<std::u16string>& Texts, TExtension& Extension);

 private:
  TDriveRecorder(TFile File, std::vector<TDriveColumn> Columns, double FrameRate)
      : FFile(std::move(File)), FWriter(std::move(Columns)), FFrameRate(FrameRate) {}
  void Write(const std::string& Text);

  TFile FFile;
  TDriveWriter FWriter;
  double FFrameRate;
  long FFrames = 0;
  std::vector<std::u16string> FRow;
  std::chrono::steady_clock::time_point FStart;
};

}  // namespace zelm::tools
