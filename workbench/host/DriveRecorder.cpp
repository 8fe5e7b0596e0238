#include "workbench/host/DriveRecorder.h"

#include <cstdio>

#include "programs/common/Utf.h"
#include "programs/common/WideText.h"

namespace zelm::tools {

std::unique_ptr<TDriveRecorder> TDriveRecorder::Open(std::u16string_view File, std::vector<TDriveColumn> Columns,
                                                     double FrameRate, std::string& Error) {
  if (Columns.empty()) {
    Error = "--record: the skin shows no parameter's value, so there is nothing to record";
    return nullptr;
  }
  const std::u16string Name(File);
  TFile Opened(_wfopen(Wide(Name), L"wb"));
  if (!Opened) {
    Error = "--record: " + ToUtf8(Name) + " cannot be written";
    return nullptr;
  }
  return std::unique_ptr<TDriveRecorder>(new TDriveRecorder(std::move(Opened), std::move(Columns), FrameRate));
}

TDriveRecorder::~TDriveRecorder() { Write(FWriter.Finish()); }

void TDriveRecorder::Write(const std::string& Text) {
  std::fwrite(Text.data(), 1, Text.size(), FFile.Get());
  std::fflush(FFile.Get());  // a drive stopped by Ctrl-C keeps every row so far
}

// Once a parameter's values flow, the title and unit that came with them are asked for
// too.
void TDriveRecorder::Frame(const std::vector<std::u16string>& Texts, TExtension& Extension) {
  const auto Now = std::chrono::steady_clock::now();
  if (FRow.empty()) FStart = Now;
  const auto& Columns = FWriter.Columns();
  FRow.resize(Columns.size());
  for (std::size_t I = 0; I < Columns.size(); ++I) {
    const TDriveColumn& C = Columns[I];
    std::string Error;
    if (C.Label >= 0)
      FRow[I] = Texts[static_cast<std::size_t>(C.Label)];
    else if (!Extension.ReturnLabel(C.Code, FRow[I], Error))
      FRow[I].assign(1, u'!');  // a failed label request, as the dashboard shows it
    std::u16string Title, Unit;
    if (FWriter.Wants(I, FRow[I]) && Extension.ReturnLabel(C.Code + u"_title", Title, Error) &&
        Extension.ReturnLabel(C.Code + u"_unit", Unit, Error))
      FWriter.Learn(I, std::move(Title), std::move(Unit));
  }
  const double Seconds =
      FFrameRate > 0 ? static_cast<double>(FFrames) / FFrameRate : std::chrono::duration<double>(Now - FStart).count();
  ++FFrames;
  Write(FWriter.Row(Seconds, FRow));
}

}  // namespace zelm::tools
