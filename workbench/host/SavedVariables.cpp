#include "workbench/host/SavedVariables.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "programs/common/Utf.h"

namespace zelm::tools {

std::u16string FormatSavedVariables(const std::map<std::u16string, std::u16string>& Saved) {
  std::u16string Text = u"# Skin variables saved by the workbench host.\n";
  for (const auto& [Name, Value] : Saved) {
    // One variable a line: a line break in a value cannot be kept.
    std::u16string Line = Name + u"=" + Value;
    for (char16_t& C : Line)
      if (C == u'\n' || C == u'\r') C = u' ';
    Text += Line + u"\n";
  }
  return Text;
}

std::map<std::u16string, std::u16string> ParseSavedVariables(std::u16string_view Text) {
  std::map<std::u16string, std::u16string> Saved;
  std::size_t Start = 0;
  while (Start < Text.size()) {
    std::size_t End = Text.find(u'\n', Start);
    if (End == std::u16string_view::npos) End = Text.size();
    std::u16string_view Line = Text.substr(Start, End - Start);
    Start = End + 1;
    if (!Line.empty() && Line.back() == u'\r') Line.remove_suffix(1);
    if (Line.empty() || Line[0] == u'#') continue;
    const std::size_t Equals = Line.find(u'=');
    if (Equals == std::u16string_view::npos || Equals == 0) continue;
    Saved[std::u16string(Line.substr(0, Equals))] = std::u16string(Line.substr(Equals + 1));
  }
  return Saved;
}

bool LoadSavedVariables(const std::string& Path, THostVariables& Variables, std::string& Error) {
  // A host stopped between removing the old file and renaming the new one left
  // only the new one.
  std::ifstream In(Path, std::ios::binary);
  if (!In) In.open(Path + ".new", std::ios::binary);
  if (!In) return true;  // nothing saved yet
  std::ostringstream Buffer;
  Buffer << In.rdbuf();
  if (In.bad()) {
    Error = Path + ": cannot be read";
    return false;
  }
  for (const auto& [Name, Value] : ParseSavedVariables(FromUtf8(Buffer.str()))) Variables.SetSaved(Name, Value);
  return true;
}

bool SaveVariables(const std::string& Path, const THostVariables& Variables, std::string& Error) {
  // Written beside and renamed over, so that a host stopped mid-write leaves the
  // old file rather than half a new one.
  const std::string Temporary = Path + ".new";
  {
    std::ofstream Out(Temporary, std::ios::binary | std::ios::trunc);
    Out << ToUtf8(FormatSavedVariables(Variables.Saved()));
    Out.flush();
    if (!Out) {
      Error = Temporary + ": cannot be written";
      return false;
    }
  }
  std::remove(Path.c_str());  // the C library's rename does not replace on Windows
  if (std::rename(Temporary.c_str(), Path.c_str()) != 0) {
    Error = Path + ": cannot be replaced";
    return false;
  }
  return true;
}

void SaveEachTimeTo(const std::string& Path, THostVariables& Variables) {
  Variables.OnSaved = [Path](const THostVariables& Saved, std::string& Error) {
    return SaveVariables(Path, Saved, Error);
  };
}

std::u16string SavedVariablesName(std::u16string_view FullSkinPath, const std::vector<TSkinVariable>& Variables) {
  // Windows file names ignore case: C:\Skins\A.skin and c:\skins\a.skin are one skin.
  std::u16string Stamped = LowerAsciiCopy(FullSkinPath);
  for (const TSkinVariable& V : Variables) Stamped += u"\n" + V.Name + u"=" + V.Value;
  uint32_t Hash = 2166136261u;  // FNV-1a
  for (const char16_t C : Stamped) Hash = (Hash ^ C) * 16777619u;

  std::u16string Name(FullSkinPath.substr(FullSkinPath.find_last_of(u"\\/") + 1));
  if (const std::size_t Dot = Name.rfind(u'.'); Dot != std::u16string::npos && Dot > 0) Name.resize(Dot);
  Name.resize(std::min<std::size_t>(Name.size(), 40));
  for (char16_t& C : Name)
    if (!((C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z') || (C >= u'0' && C <= u'9') || C == u'-' || C == u'_'))
      C = u'_';
  static constexpr char16_t cHex[] = u"0123456789abcdef";
  Name += u'-';
  for (int Shift = 28; Shift >= 0; Shift -= 4) Name += cHex[(Hash >> Shift) & 0xF];
  return Name + u".vars";
}

}  // namespace zelm::tools
