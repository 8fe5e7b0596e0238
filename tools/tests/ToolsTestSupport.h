// What the workbench's native tests share.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "tools/common/Utf.h"

namespace zelm::tools {

// A command line as the programs get it.
inline std::vector<std::u16string> Args(std::initializer_list<const char*> Words) {
  std::vector<std::u16string> Out;
  for (const char* Word : Words) Out.push_back(FromUtf8(Word));
  return Out;
}

}  // namespace zelm::tools
