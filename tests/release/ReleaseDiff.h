// Two builds of the release compared byte for byte: where two files first differ, what
// that byte is in the file's format, and whether a folder of the build machine went in.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zelm::release {

// The first offset at which two files differ (the shorter one's size when it is the
// other's beginning), or std::string_view::npos when they are the same.
std::size_t FirstDifference(std::string_view First, std::string_view Second);

// What the byte at Offset of a file is, by the file's format: a PE image's header field,
// section, export directory or resource (a type library in it read on); a Windows
// Installer package's directory entry or stream (its summary property, its cabinet's
// file entry); a zip's entry and field; a type library's segment; a text's line. Empty
// where the format is none of these.
std::string DescribeOffset(std::string_view File, std::size_t Offset);

// Where a text (a folder's path) occurs in a file, as it is or in UTF-16; npos where
// nowhere.
std::size_t FindText(std::string_view File, std::string_view Text);

// Two folders compared file by file (their folders too): a fault for each file only one
// of them has, for each that differs (its first differing byte, what that is), and for
// each that holds one of Paths. Counts the files of First; false where a folder or a
// file cannot be read, or First has none.
bool CompareFolders(const std::filesystem::path& First, const std::filesystem::path& Second,
                    const std::vector<std::string>& Paths, std::vector<std::string>& Faults, std::size_t& Files);

}  // namespace zelm::release
