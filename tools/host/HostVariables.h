// The stand-in host's variables and command strings, as the front-end keeps them:
// a variable store that answers "=$V$" queries, command batches joined by "||"
// ("SETVAR;V;VALUE", "SAVETOSKIN;V;VALUE"), and the skin-variables file in which
// saved variables outlive the host.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tools/host/SkinFile.h"

namespace zelm::tools {

class THostVariables {
 public:
  std::u16string Get(std::u16string_view Name) const;  // empty when never set
  void Set(std::u16string_view Name, std::u16string_view Value);
  bool Has(std::u16string_view Name) const { return FValues.count(std::u16string(Name)) != 0; }

  // Every "$NAME$" replaced by the variable's value; a lone "$" stays as it is.
  std::u16string Substitute(std::u16string_view Text) const;
  // GetInfo: "=" and a text with variable references answers the substituted text;
  // anything else is no information this host has, and answers the empty text.
  std::u16string Query(std::u16string_view Info) const;

  // Runs a command batch in order. SETVAR and SAVETOSKIN are carried out here, each
  // with the variables as the commands before it left them; every other command is
  // handed back, in order, for the host to route. Faults (a SETVAR without a name,
  // for one) are added to Faults and the batch goes on.
  std::vector<std::u16string> RunBatch(std::u16string_view Batch, std::vector<std::string>& Faults);

  // The skin variables saved so far (name, value), sorted by name.
  const std::map<std::u16string, std::u16string>& Saved() const noexcept { return FSaved; }
  // The skin-variables file: "NAME=VALUE" lines in UTF-8. Loading sets and marks
  // saved every variable in it; a missing file is an empty one.
  bool LoadFile(const std::string& Path, std::string& Error);
  bool SaveFile(const std::string& Path, std::string& Error) const;
  // Where SAVETOSKIN writes; empty: saved in memory only.
  void SetFile(std::string Path) { FPath = std::move(Path); }
  const std::string& File() const noexcept { return FPath; }

  static std::u16string FormatFile(const std::map<std::u16string, std::u16string>& Saved);
  // Parses a file's text; lines without "=" or with an empty name are skipped.
  static std::map<std::u16string, std::u16string> ParseFile(std::u16string_view Text);

 private:
  std::map<std::u16string, std::u16string> FValues;
  std::map<std::u16string, std::u16string> FSaved;
  std::string FPath;
};

// The name of a skin's file of saved variables in a folder of them: the skin file's
// name and a stamp of its full path and its own var lines. Each skin keeps its own
// choices, as the front-end saves them into the skin, and a skin whose var lines were
// edited starts again from them.
std::u16string SavedVariablesName(std::u16string_view FullSkinPath, const std::vector<TSkinVariable>& Variables);

// Lowers the 26 ASCII capitals, as the front-end compares verbs.
std::u16string LowerAsciiCopy(std::u16string_view Text);

}  // namespace zelm::tools
