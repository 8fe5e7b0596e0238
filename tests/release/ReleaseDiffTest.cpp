// The comparer of two release builds: for each kind of difference a build brings in (a
// time stamp, a path, a random GUID, a file order) it finds the first differing byte and
// names what that byte is in a PE image, a Windows Installer package, a zip or a text;
// it finds a build's folder in a file; and over two folders each such file is a fault.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "tests/release/ReleaseDiff.h"

namespace zelm::release {
namespace {

// Little-endian numbers and texts written into a file that grows to take them.
void Put(std::string& File, std::size_t At, std::uint64_t Value, std::size_t Size) {
  if (File.size() < At + Size) File.resize(At + Size);
  for (std::size_t I = 0; I < Size; ++I) File[At + I] = static_cast<char>(Value >> (8 * I) & 0xFF);
}
void Put(std::string& File, std::size_t At, std::string_view Text) {
  if (File.size() < At + Text.size()) File.resize(At + Text.size());
  File.replace(At, Text.size(), Text);
}
// Numbers of Size bytes each, at Base and their offsets from it.
void Put(std::string& File, std::size_t Base, std::size_t Size,
         std::initializer_list<std::pair<std::size_t, std::uint64_t>> Values) {
  for (const auto& [At, Value] : Values) Put(File, Base + At, Value, Size);
}

// What a build of a DLL may vary.
struct TPeMade {
  std::uint32_t Stamp = 1, CheckSum = 1, Exported = 1;
  std::string_view Path = "src/win/server/Server.cpp";
  char LibraryDate = 'a';
};

// A DLL as far as the comparer reads one: the headers, .rdata with the export directory
// and a path, .rsrc with a type library as resource TYPELIB 1 1033.
std::string Pe(const TPeMade& Made) {
  std::string F(0x800, '\0');
  Put(F, 0, "MZ");
  Put(F, 0x3C, 0x40, 4);
  Put(F, 0x40, std::string_view("PE\0\0", 4));
  Put(F, 0x46, 2, 2);
  Put(F, 0x48, Made.Stamp, 4);
  Put(F, 0x54, 224, 2);
  // The optional header at 0x58, with the export and the resource directory.
  Put(F, 0x58, 0x10B, 2);
  Put(F, 0x58 + 64, Made.CheckSum, 4);
  Put(F, 0x58, 4, {{96, 0x1000}, {100, 40}, {112, 0x2000}, {116, 0x400}});
  // The section headers at 0x138.
  const auto Section = [&F](std::size_t At, std::string_view Name, std::size_t Address, std::size_t Raw) {
    Put(F, At, Name);
    Put(F, At + 12, Address, 4);
    Put(F, At + 16, Raw, 4);
    Put(F, At + 20, Raw, 4);
  };
  Section(0x138, ".rdata", 0x1000, 0x200);
  Section(0x160, ".rsrc", 0x2000, 0x400);
  Put(F, 0x204, Made.Exported, 4);
  Put(F, 0x240, Made.Path);
  // The resource tree at 0x400: type TYPELIB (named at 0x4E0), name 1, language 1033,
  // whose data entry puts the type library at 0x500.
  Put(F, 0, 2, {{0x40C, 1}, {0x426, 1}, {0x43E, 1}});
  Put(F, 0, 4,
      {{0x410, 0x800000E0},
       {0x414, 0x80000018},
       {0x428, 1},
       {0x42C, 0x80000030},
       {0x440, 1033},
       {0x444, 0x48},
       {0x448, 0x2100},
       {0x44C, 0x200}});
  Put(F, 0x4E0, 7, 2);
  for (std::size_t I = 0; I < 7; ++I) Put(F, 0x4E2 + 2 * I, static_cast<unsigned char>("TYPELIB"[I]), 2);
  // The type library: its header, then the segments' directory, whose custom data
  // segment (where widl writes the date) is at 0x150.
  Put(F, 0x500, "MSFT");
  Put(F, 0x500 + 0x54 + 11 * 16, 0x150, 4);
  Put(F, 0x500 + 0x54 + 11 * 16 + 4, 16, 4);
  Put(F, 0x650, std::string(1, Made.LibraryDate));
  return F;
}

// What a build of a Windows Installer package may vary.
struct TMsiMade {
  std::string_view PackageCode = "{00000000-0000-0000-0000-000000000000}";
  std::uint64_t Created = 1;
  std::uint16_t FileDate = 1;
};

// A Windows Installer package as far as the comparer reads one: a compound file of
// 512-byte sectors (the allocation table, the directory, the mini table, the mini
// stream with the summary information), with a cabinet of 4096 bytes in eight more.
std::string Msi(const TMsiMade& Made) {
  constexpr std::uint64_t End = 0xFFFFFFFE, Free = 0xFFFFFFFF;
  std::string F(std::size_t{6656}, '\0');  // 13 sectors of 512 bytes
  Put(F, 0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
  Put(F, 0, 2, {{0x1E, 9}, {0x20, 6}});
  Put(F, 0, 4, {{0x2C, 1}, {0x30, 1}, {0x38, 4096}, {0x3C, 2}, {0x40, 1}, {0x44, End}});
  for (std::size_t I = 1; I < 109; ++I) Put(F, 0x4C + 4 * I, Free, 4);
  const std::uint64_t Fat[] = {0xFFFFFFFD, End, End, End, 5, 6, 7, 8, 9, 10, 11, End};
  for (std::size_t I = 0; I < 128; ++I) Put(F, 512 + 4 * I, I < std::size(Fat) ? Fat[I] : Free, 4);
  // The directory at 1024: the root (its mini stream), the summary information, the cabinet.
  const auto Entry = [&F](std::size_t I, std::u16string_view Name, int Type, std::size_t Start, std::size_t Size) {
    for (std::size_t C = 0; C < Name.size(); ++C) Put(F, 1024 + I * 128 + 2 * C, Name[C], 2);
    Put(F, 1024 + I * 128 + 64, 2 * Name.size() + 2, 2);
    Put(F, 1024 + I * 128 + 66, static_cast<std::uint64_t>(Type), 1);
    Put(F, 1024 + I * 128 + 116, Start, 4);
    Put(F, 1024 + I * 128 + 120, Size, 4);
  };
  Entry(0, u"Root Entry", 5, 3, 256);
  Entry(1, u"\x05SummaryInformation", 2, 0, 256);
  Entry(2, u"ZelmKvel.cab", 2, 4, 4096);
  for (std::size_t I = 0; I < 128; ++I) Put(F, 1536 + 4 * I, I < 3 ? I + 1 : I == 3 ? End : Free, 4);
  // The summary information at 2048: one section at 48 with the package code (property
  // 9) and the time it was created (12).
  Put(F, 2048, 4,
      {{24, 1}, {44, 48}, {52, 2}, {56, 9}, {60, 24}, {64, 12}, {68, 72}, {72, 0x1E}, {76, 39}, {120, 0x40}});
  Put(F, 2048 + 80, Made.PackageCode);
  Put(F, 2048 + 124, Made.Created, 8);
  // The cabinet at 2560: its header, one folder, the file entry of a.txt.
  Put(F, 2560, "MSCF");
  Put(F, 2560, 4, {{16, 44}, {44, 5}});
  Put(F, 2560, 2, {{26, 1}, {28, 1}});
  Put(F, 2560 + 54, Made.FileDate, 2);
  Put(F, 2560 + 60, "a.txt");
  return F;
}

// A zip of stored entries as Info-ZIP's zip -X writes them: each local header with its
// data, the central directory, the end record.
std::string Zip(const std::vector<std::pair<std::string, std::string>>& Entries, std::uint16_t Time = 0) {
  std::string F, Directory;
  for (const auto& [Name, Data] : Entries) {
    const std::size_t Local = F.size(), Central = Directory.size();
    Put(F, Local, "PK\3\4");
    Put(F, Local + 10, Time, 2);
    Put(F, Local, 4, {{18, Data.size()}, {22, Data.size()}});
    Put(F, Local + 26, Name.size(), 2);
    Put(F, Local + 30, Name + Data);
    Put(Directory, Central, "PK\1\2");
    Put(Directory, Central + 12, Time, 2);
    Put(Directory, Central + 28, Name.size(), 2);
    Put(Directory, Central + 42, Local, 4);
    Put(Directory, Central + 46, Name);
  }
  const std::size_t Start = F.size();
  F += Directory;
  const std::size_t At = F.size();
  Put(F, At, "PK\5\6");
  Put(F, At + 10, Entries.size(), 2);
  Put(F, At + 12, Directory.size(), 4);
  Put(F, At + 16, Start, 4);
  Put(F, At + 20, 0, 2);
  return F;
}

TEST(ReleaseDiff, NamesWhatTheFirstDifferingByteIsInItsFormat) {
  struct TCase {
    const char* Fault;
    std::string First, Second, Says;
  };
  const std::pair<std::string, std::string> A = {"ZelmKvel-1.0.0/a.txt", "aa"}, B = {"ZelmKvel-1.0.0/b.txt", "b"};
  const TCase Cases[] = {
      {"a link's time stamp", Pe({}), Pe({.Stamp = 2}), "COFF header: TimeDateStamp"},
      {"a checksum that follows a change", Pe({}), Pe({.CheckSum = 2}), "optional header: CheckSum"},
      {"the export directory's time stamp", Pe({}), Pe({.Exported = 2}),
       "section .rdata, export directory: TimeDateStamp"},
      {"a path compiled in", Pe({}), Pe({.Path = "/home/me/zelmkvel/src/win/server/Server.cpp"}), "section .rdata"},
      {"widl's date in the embedded type library", Pe({}), Pe({.LibraryDate = 'b'}),
       "section .rsrc: resource TYPELIB 1 1033 (byte 336): type library: the custom data segment"},
      {"a random package code", Msi({}), Msi({.PackageCode = "{0AB1D0C3-5E6F-4A1B-9C8D-7E6F5A4B3C2D}"}),
       "stream \\005SummaryInformation (byte 82): summary information, property 9 (package code)"},
      {"the package's creation time", Msi({}), Msi({.Created = 2}),
       "stream \\005SummaryInformation (byte 124): summary information, property 12 (created)"},
      {"a file's time in the cabinet", Msi({}), Msi({.FileDate = 2}),
       "stream ZelmKvel.cab (byte 54): cabinet file entry a.txt: date"},
      {"the zip's entries in another order", Zip({A, B}), Zip({B, A}),
       "zip entry 1 ZelmKvel-1.0.0/a.txt: compressed size"},
      {"an entry's time in the zip", Zip({A}, 1), Zip({A}, 2), "zip entry 1 ZelmKvel-1.0.0/a.txt: modification time"},
      {"checksums in another order", "x  README.txt\r\na  SHA256SUMS\r\nb  ZelmKvel.dll\r\n",
       "x  README.txt\r\nb  ZelmKvel.dll\r\na  SHA256SUMS\r\n", "line 2"},
      {"a file cut short", "abc", "abcd", "its end (the other file is longer)"},
  };
  for (const TCase& Case : Cases) {
    const std::size_t At = FirstDifference(Case.First, Case.Second);
    ASSERT_NE(At, std::string::npos) << Case.Fault;
    EXPECT_EQ(DescribeOffset(Case.First, At), Case.Says) << Case.Fault;
    EXPECT_EQ(FirstDifference(Case.First, Case.First), std::string::npos) << Case.Fault;
  }
}

TEST(ReleaseDiff, FindsABuildFolderAsTextOrUtf16) {
  const std::string Folder = "/home/me/zelmkvel";
  std::string Wide;
  for (const char C : Folder) Wide += {C, '\0'};
  EXPECT_EQ(FindText("...." + Folder + "/src", Folder), 4u);
  EXPECT_EQ(FindText("ab" + Wide, Folder), 2u);
  EXPECT_EQ(FindText("/home/me/zelmkve", Folder), std::string::npos);
}

// Two dist folders: every file the same, then each kind of fault, one per file.
TEST(ReleaseDiff, ComparesFoldersFileByFile) {
  const std::filesystem::path Root = std::filesystem::temp_directory_path() / "zelm-release-diff";
  std::filesystem::remove_all(Root);
  const auto Write = [&Root](const std::string& Name, const std::string& Bytes) {
    std::filesystem::create_directories((Root / Name).parent_path());
    std::ofstream(Root / Name, std::ios::binary) << Bytes;
  };
  for (const char* Build : {"one", "two"}) {
    Write(std::string(Build) + "/ZelmKvel-1.0.0/ZelmKvel.dll", Pe({}));
    Write(std::string(Build) + "/ZelmKvel-1.0.0.msi", Msi({}));
  }
  std::vector<std::string> Faults;
  std::size_t Files = 0;
  ASSERT_TRUE(CompareFolders(Root / "one", Root / "two", {"/home/me"}, Faults, Files));
  EXPECT_EQ(Files, 2u);
  EXPECT_TRUE(Faults.empty());

  Write("two/ZelmKvel-1.0.0/ZelmKvel.dll", Pe({.CheckSum = 2, .Exported = 2, .Path = "/home/me/zelmkvel/src/x.cpp"}));
  Write("two/ZelmKvel-1.0.0-SHA256SUMS.txt", "");
  ASSERT_TRUE(CompareFolders(Root / "one", Root / "two", {"/home/me"}, Faults, Files));
  const std::string Two = (Root / "two").string();
  EXPECT_EQ(Faults,
            (std::vector<std::string>{
                "ZelmKvel-1.0.0-SHA256SUMS.txt: only in " + Two,
                "ZelmKvel-1.0.0/ZelmKvel.dll: differs from byte 152 (0x98): optional header: CheckSum; after it "
                "from byte 516 (0x204): section .rdata, export directory: TimeDateStamp",
                "ZelmKvel-1.0.0/ZelmKvel.dll: holds the build's folder /home/me at byte 576 (0x240): section .rdata"}));
  Faults.clear();
  EXPECT_FALSE(CompareFolders(Root / "none", Root / "two", {}, Faults, Files));
  std::filesystem::remove_all(Root);
}

}  // namespace
}  // namespace zelm::release
