// The skin-variables file in which the workbench's saved variables outlive the host, as
// the front-end saves them into the skin: "NAME=VALUE" lines in UTF-8.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "programs/common/HostVariables.h"
#include "workbench/host/SkinFile.h"

namespace zelm::tools {

std::u16string FormatSavedVariables(const std::map<std::u16string, std::u16string>& Saved);
// Parses a file's text; lines without "=" or with an empty name are skipped.
std::map<std::u16string, std::u16string> ParseSavedVariables(std::u16string_view Text);

// Loading sets and marks saved every variable in the file; a missing file is an empty
// one.
bool LoadSavedVariables(const std::string& Path, THostVariables& Variables, std::string& Error);
bool SaveVariables(const std::string& Path, const THostVariables& Variables, std::string& Error);
// From now on each SAVETOSKIN writes the file.
void SaveEachTimeTo(const std::string& Path, THostVariables& Variables);

// The name of a skin's file of saved variables in a folder of them: the skin file's
// name and a stamp of its full path and its own var lines. Each skin keeps its own
// choices, as the front-end saves them into the skin, and a skin whose var lines were
// edited starts again from them.
std::u16string SavedVariablesName(std::u16string_view FullSkinPath, const std::vector<TSkinVariable>& Variables);

}  // namespace zelm::tools
