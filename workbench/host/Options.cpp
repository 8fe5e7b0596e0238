#include "workbench/host/Options.h"

#include "workbench/host/SavedVariables.h"

namespace zelm::tools {
namespace {

const TOptionInfo cOptions[] = {
    {u"--skin", "FILE", "a file name", "the skin description (required)"},
    {u"--check", "FILE", "a file name", "check that skin description, say what is wrong, and stop"},
    {u"--vars", "FILE", "a file name in a folder that exists", "the skin-variables file that SAVETOSKIN writes"},
    {u"--saved-in", "DIR", "a folder that exists",
     "keep what SAVETOSKIN saves in DIR, in a file of this skin's own (instead of --vars)"},
    {u"--keep-saved", nullptr, "", "with --frames: keep what SAVETOSKIN saves, as a run without --frames does"},
    {u"--fps", "N", "a number from 1 to 60", "frames a second (10)"},
    {u"--frames", "N", "a count, 0 or more", "frames to run; 0 runs until quit or the end of input (0)"},
    {u"--format", "F", "ansi, plain or list", "how frames are written (ansi)"},
    {u"--screen", "ROWSxCOLS", "ROWSxCOLS, such as 24x80", "with ansi: the terminal's size, which frames fit into"},
    {u"--at", "FRAME:INPUT", "FRAME:INPUT with FRAME from 1", "an input line run before that frame (repeatable)"},
    {u"--record", "FILE", "a file name in a folder that exists",
     "write every value the skin shows into this CSV file, a row a frame"},
    {u"--sim-status", "FILE", "a file name", "the simulator's status file, for the status line"},
    {u"--step-server", nullptr, "",
     "with --frames: the frames are the clock: after each, step the data server (zelm_sim --stepped) by a "
     "frame's time; the recording counts the frames' times"},
    {u"--ds-path", "TEXT", "a text", "the data-server path handed to Initialize"},
};

bool ReadFrame(std::u16string_view Text, long& Frame) {
  uint64_t Count = 0;
  if (!ReadCount(Text, 999999999, Count)) return false;
  Frame = static_cast<long>(Count);
  return true;
}

// Stores Value for the option; false when it is not what the option takes.
bool Take(std::u16string_view Name, std::u16string_view Value, TOptions& O) {
  if (Name == u"--skin")
    O.SkinFile = Value;
  else if (Name == u"--check")
    O.SkinFile = Value, O.CheckOnly = true;
  else if (Name == u"--vars")
    O.VarsFile = Value;
  else if (Name == u"--saved-in")
    O.SavedIn = Value;
  else if (Name == u"--keep-saved" || Name == u"--step-server") {
    (Name == u"--keep-saved" ? O.KeepSaved : O.StepServer) = true;
    return true;
  } else if (Name == u"--screen")
    return ReadScreen(Value, O.ScreenRows, O.ScreenCols);
  else if (Name == u"--record")
    O.RecordFile = Value;
  else if (Name == u"--sim-status")
    O.SimStatus = Value;
  else if (Name == u"--ds-path")
    O.DsPath = Value;
  else if (Name == u"--fps")
    return ReadNumber(Value, 1, 60, O.Fps);
  else if (Name == u"--frames")
    return ReadFrame(Value, O.Frames);
  else if (Name == u"--format") {
    if (Value == u"ansi")
      O.Format = TFormat::Ansi;
    else if (Value == u"plain")
      O.Format = TFormat::Plain;
    else if (Value == u"list")
      O.Format = TFormat::List;
    else
      return false;
  } else if (Name == u"--at") {
    const std::size_t Colon = Value.find(u':');
    long Frame = 0;
    if (Colon == std::u16string_view::npos || !ReadFrame(Value.substr(0, Colon), Frame) || Frame < 1 ||
        Colon + 1 == Value.size())
      return false;
    O.At.emplace(Frame, Value.substr(Colon + 1));
  }
  return !Value.empty() || Name == u"--ds-path";
}

}  // namespace

TParsed ParseOptions(const std::vector<std::u16string>& Args, TOptions& Options, std::string& Fault) {
  return ParseOptionsInto<TOptions>(
      Args, cOptions, Take,
      [](const TOptions& O) -> const char* {
        if (O.SkinFile.empty()) return "--skin is required: the skin description to show";
        if (!O.VarsFile.empty() && !O.SavedIn.empty())
          return "--vars and --saved-in do not go together: one place to save";
        if (O.StepServer && O.Frames == 0) return "--step-server goes with --frames: a live run keeps real time";
        return nullptr;
      },
      Options, Fault);
}

bool ReadScreen(std::u16string_view Text, int& Rows, int& Cols) {
  const std::size_t X = Text.find(u'x');
  uint64_t R = 0, C = 0;
  if (X == std::u16string_view::npos || !ReadCount(Text.substr(0, X), 999, R) ||
      !ReadCount(Text.substr(X + 1), 999, C) || R < 1 || C < 1)
    return false;
  Rows = static_cast<int>(R), Cols = static_cast<int>(C);
  return true;
}

TSavedFile SavedFile(const TOptions& Options, std::u16string_view FullSkinPath, const TSkin& Skin) {
  TSavedFile Saved;
  if (!Options.VarsFile.empty())
    Saved.Path = Options.VarsFile;
  else if (!Options.SavedIn.empty())
    Saved.Path = Options.SavedIn + u"/" + SavedVariablesName(FullSkinPath, Skin.Variables);
  Saved.Write = !Saved.Path.empty() && (Options.Frames == 0 || Options.KeepSaved);
  return Saved;
}

std::string Usage() {
  return UsageText("zelm_host --skin FILE [option VALUE]...\n       zelm_host --check FILE", cOptions,
                   "Standard input, a line at a time: one character presses that key of the skin,\n"
                   "a longer line runs as a command batch (\"quit\" ends the host).\n");
}

}  // namespace zelm::tools
