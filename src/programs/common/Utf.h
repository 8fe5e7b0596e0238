// UTF-8 and UTF-16 for the workbench's files and terminal output (the core's text is
// UTF-16; files and the terminal are UTF-8). Malformed input becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace zelm::tools {

std::string ToUtf8(std::u16string_view Text);
std::u16string FromUtf8(std::string_view Text);

// Characters shown on a terminal: UTF-16 code units, less the second half of a pair.
std::size_t DisplayWidth(std::u16string_view Text) noexcept;

}  // namespace zelm::tools
