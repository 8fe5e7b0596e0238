#include "tools/host/HostVariables.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/common/Utf.h"

namespace zelm::tools {

std::u16string LowerAsciiCopy(std::u16string_view Text) {
  std::u16string Lower(Text);
  for (char16_t& C : Lower)
    if (C >= u'A' && C <= u'Z') C = static_cast<char16_t>(C + 32);
  return Lower;
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

std::u16string THostVariables::Get(std::u16string_view Name) const {
  const auto It = FValues.find(std::u16string(Name));
  return It == FValues.end() ? std::u16string() : It->second;
}

void THostVariables::Set(std::u16string_view Name, std::u16string_view Value) {
  FValues[std::u16string(Name)] = std::u16string(Value);
}

std::u16string THostVariables::Substitute(std::u16string_view Text) const {
  std::u16string Out;
  std::size_t I = 0;
  while (I < Text.size()) {
    const std::size_t Open = Text.find(u'$', I);
    if (Open == std::u16string_view::npos) break;
    const std::size_t Close = Text.find(u'$', Open + 1);
    if (Close == std::u16string_view::npos || Close == Open + 1) {
      Out.append(Text.substr(I, Open + 1 - I));
      I = Open + 1;
      continue;
    }
    Out.append(Text.substr(I, Open - I));
    Out.append(Get(Text.substr(Open + 1, Close - Open - 1)));
    I = Close + 1;
  }
  Out.append(Text.substr(std::min(I, Text.size())));
  return Out;
}

std::u16string THostVariables::Query(std::u16string_view Info) const {
  if (Info.empty() || Info[0] != u'=') return {};
  return Substitute(Info.substr(1));
}

std::vector<std::u16string> THostVariables::RunBatch(std::u16string_view Batch, std::vector<std::string>& Faults) {
  std::vector<std::u16string> Others;
  std::size_t Start = 0;
  while (Start <= Batch.size()) {
    std::size_t End = Batch.find(u"||", Start);
    if (End == std::u16string_view::npos) End = Batch.size();
    const std::u16string_view Command = Batch.substr(Start, End - Start);
    Start = End + 2;
    if (Command.empty()) continue;

    // VERB;NAME;VALUE - the value is the rest of the command, semicolons and all.
    const std::size_t First = Command.find(u';');
    const std::u16string Verb = LowerAsciiCopy(Command.substr(0, First));
    if (Verb != u"setvar" && Verb != u"savetoskin") {
      Others.emplace_back(Command);
      continue;
    }
    const std::size_t Second = First == std::u16string_view::npos ? First : Command.find(u';', First + 1);
    const std::u16string_view Name =
        First == std::u16string_view::npos ? std::u16string_view() : Command.substr(First + 1, Second - First - 1);
    const std::u16string_view Value =
        Second == std::u16string_view::npos ? std::u16string_view() : Command.substr(Second + 1);
    if (Name.empty()) {
      Faults.push_back("no variable name in '" + ToUtf8(Command) + "'");
      continue;
    }
    const std::u16string Resolved = Substitute(Value);
    Set(Name, Resolved);
    if (Verb == u"savetoskin") {
      FSaved[std::u16string(Name)] = Resolved;
      std::string Error;
      if (!FPath.empty() && !SaveFile(FPath, Error)) Faults.push_back(Error);
    }
  }
  return Others;
}

std::u16string THostVariables::FormatFile(const std::map<std::u16string, std::u16string>& Saved) {
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

std::map<std::u16string, std::u16string> THostVariables::ParseFile(std::u16string_view Text) {
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

bool THostVariables::LoadFile(const std::string& Path, std::string& Error) {
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
  for (const auto& [Name, Value] : ParseFile(FromUtf8(Buffer.str()))) {
    FSaved[Name] = Value;
    Set(Name, Value);
  }
  return true;
}

bool THostVariables::SaveFile(const std::string& Path, std::string& Error) const {
  // Written beside and renamed over, so that a host stopped mid-write leaves the
  // old file rather than half a new one.
  const std::string Temporary = Path + ".new";
  {
    std::ofstream Out(Temporary, std::ios::binary | std::ios::trunc);
    Out << ToUtf8(FormatFile(FSaved));
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

}  // namespace zelm::tools
