#include "tests/release/ReleaseDiff.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <span>

namespace zelm::release {
namespace {

// A little-endian number of Size bytes at At; bytes past the end read as zeros.
std::size_t Get(std::string_view File, std::size_t At, std::size_t Size) {
  std::size_t Value = 0;
  for (std::size_t I = Size; I-- > 0;) {
    const std::size_t Where = At + I;
    Value = (Value << 8) | (Where < File.size() ? static_cast<unsigned char>(File[Where]) : 0u);
  }
  return Value;
}

bool Within(std::size_t Offset, std::size_t Start, std::size_t Size) {
  return Offset >= Start && Offset - Start < Size;
}

// Size bytes at At, as far as the file has them.
std::string_view Slice(std::string_view File, std::size_t At, std::size_t Size) {
  return At < File.size() ? File.substr(At, Size) : std::string_view();
}

// A record's fields by offset and size, as the format's documents name them.
struct TField {
  std::size_t Offset, Size;
  const char* Name;
};

std::string FieldAt(std::span<const TField> Fields, std::size_t Offset) {
  for (const TField& Field : Fields)
    if (Within(Offset, Field.Offset, Field.Size)) return Field.Name;
  return "";
}

// "WHAT: INNER", or WHAT where the inner description is empty.
std::string Then(std::string What, const std::string& Inner) { return Inner.empty() ? What : What + ": " + Inner; }

// --- PE images ----------------------------------------------------------------------

constexpr TField cCoffHeader[] = {{0, 2, "Machine"},          {2, 2, "NumberOfSections"},
                                  {4, 4, "TimeDateStamp"},    {8, 4, "PointerToSymbolTable"},
                                  {12, 4, "NumberOfSymbols"}, {16, 2, "SizeOfOptionalHeader"},
                                  {18, 2, "Characteristics"}};
// PE32's, up to the data directories.
constexpr TField cOptionalHeader[] = {
    {0, 2, "Magic"},      {2, 2, "LinkerVersion"}, {4, 12, "SizeOfCode and data"}, {16, 4, "AddressOfEntryPoint"},
    {28, 4, "ImageBase"}, {40, 16, "versions"},    {56, 4, "SizeOfImage"},         {60, 4, "SizeOfHeaders"},
    {64, 4, "CheckSum"},  {68, 2, "Subsystem"},    {70, 2, "DllCharacteristics"}};
// clang-format off
constexpr const char* cDirectories[16] = {
    "export", "import", "resource", "exception", "certificate", "base relocation", "debug", "architecture",
    "global pointer", "TLS", "load configuration", "bound import", "import address", "delay import", "CLR", "reserved"};
// clang-format on
constexpr TField cResourceDirectory[] = {{4, 4, "TimeDateStamp"}};
constexpr TField cExportDirectory[] = {{0, 4, "Characteristics"}, {4, 4, "TimeDateStamp"},
                                       {8, 4, "version"},         {12, 4, "Name"},
                                       {16, 4, "Base"},           {20, 20, "counts and tables"}};

// Text of ASCII bytes or UTF-16 units, each unit one character.
std::string Ascii(std::string_view File, std::size_t At, std::size_t Count, std::size_t Unit) {
  std::string Text;
  for (std::size_t I = 0; I < Count && At + I * Unit < File.size(); ++I) {
    const std::size_t C = Get(File, At + I * Unit, Unit);
    if (C == 0) break;
    Text += C >= 0x20 && C < 0x7F ? static_cast<char>(C) : '?';
  }
  return Text;
}

struct TPe {
  std::string_view File;
  std::size_t Coff, Optional, OptionalSize, Sections, Count;

  explicit TPe(std::string_view Image)
      : File(Image),
        Coff(Get(Image, 0x3C, 4) + 4),
        Optional(Coff + 20),
        OptionalSize(Get(Image, Coff + 16, 2)),
        Sections(Optional + OptionalSize),
        Count(Get(Image, Coff + 2, 2)) {}
  std::size_t Directory(std::size_t Index, std::size_t Word) const {
    return Get(File, Optional + 96 + Index * 8 + Word * 4, 4);
  }
  // A name of more than eight characters stands in the COFF string table ("/4").
  std::string SectionName(std::size_t Header) const {
    const std::string Name = Ascii(File, Header, 8, 1);
    if (Name.size() < 2 || Name[0] != '/') return Name;
    std::size_t Index = 0;
    for (const char C : Name.substr(1))
      Index = Index * 10 + (C >= '0' && C <= '9' ? static_cast<std::size_t>(C - '0') : 0);
    return Ascii(File, Get(File, Coff + 8, 4) + Get(File, Coff + 12, 4) * 18 + Index, 64, 1);
  }
  std::string Describe(std::size_t Offset) const;
  std::string DescribeResources(std::size_t Root, std::size_t Section, std::size_t Offset) const;
};

constexpr const char* ResourceType(std::size_t Id) {
  switch (Id) {
    case 3: return "ICON";
    case 6: return "STRING";
    case 16: return "VERSION";
    case 24: return "MANIFEST";
    default: return nullptr;
  }
}

// The resource tree from its root: directories of types, names and languages, whose
// entries name a number or a counted UTF-16 string. Section is the file offset of the
// section's start less its address (what turns an address of it into a file offset).
std::string TPe::DescribeResources(std::size_t Root, std::size_t Section, std::size_t Offset) const {
  struct TLevel {
    std::size_t Directory, Depth;
    std::string Path;
  };
  std::vector<TLevel> Open = {{Root, 0, "resource"}};
  while (!Open.empty()) {
    const TLevel Level = Open.back();
    Open.pop_back();
    if (Within(Offset, Level.Directory, 16))
      return Then("resource directory", FieldAt(cResourceDirectory, Offset - Level.Directory));
    const std::size_t Entries =
        std::min<std::size_t>(Get(File, Level.Directory + 12, 2) + Get(File, Level.Directory + 14, 2), 256);
    if (Within(Offset, Level.Directory + 16, Entries * 8)) return "resource directory entries";
    for (std::size_t I = 0; I < Entries && Level.Depth < 3; ++I) {
      const std::size_t Entry = Level.Directory + 16 + I * 8, Id = Get(File, Entry, 4), To = Get(File, Entry + 4, 4);
      const char* Type = Level.Depth == 0 ? ResourceType(Id) : nullptr;
      const std::string Name =
          Id & 0x80000000u ? Ascii(File, Root + (Id & 0x7FFFFFFFu) + 2, Get(File, Root + (Id & 0x7FFFFFFFu), 2), 2)
          : Type           ? Type
                           : std::to_string(Id);
      if (To & 0x80000000u) {
        Open.push_back({Root + (To & 0x7FFFFFFFu), Level.Depth + 1, Level.Path + " " + Name});
        continue;
      }
      const std::size_t Data = Section + Get(File, Root + To, 4), Size = Get(File, Root + To + 4, 4);
      if (Within(Offset, Root + To, 16)) return Level.Path + " " + Name + ": its data entry";
      if (Within(Offset, Data, Size))
        return Then(Level.Path + " " + Name + " (byte " + std::to_string(Offset - Data) + ")",
                    DescribeOffset(Slice(File, Data, Size), Offset - Data));
    }
  }
  return "";
}

std::string TPe::Describe(std::size_t Offset) const {
  if (Offset < Coff - 4) return "DOS header and stub";
  if (Offset < Coff) return "PE signature";
  if (Offset < Optional) return Then("COFF header", FieldAt(cCoffHeader, Offset - Coff));
  if (Offset < Sections) {
    const std::size_t At = Offset - Optional;
    return At < 96 ? Then("optional header", FieldAt(cOptionalHeader, At))
                   : std::string("optional header: the ") + cDirectories[std::min<std::size_t>((At - 96) / 8, 15)] +
                         " directory's entry";
  }
  if (Offset < Sections + Count * 40) return "section header " + SectionName(Sections + (Offset - Sections) / 40 * 40);
  // The certificate table is found by its file offset, not by an address.
  if (Within(Offset, Directory(4, 0), Directory(4, 1))) return "certificate table (the signature)";
  for (std::size_t I = 0; I < Count; ++I) {
    const std::size_t Header = Sections + I * 40, Raw = Get(File, Header + 20, 4), Address = Get(File, Header + 12, 4);
    if (!Within(Offset, Raw, Get(File, Header + 16, 4))) continue;
    const std::string Name = "section " + SectionName(Header);
    const std::size_t Rva = Address + (Offset - Raw), Section = Raw - Address;
    if (Within(Rva, Directory(0, 0), 40))
      return Name + ", export directory: " + FieldAt(cExportDirectory, Rva - Directory(0, 0));
    if (Within(Rva, Directory(2, 0), Directory(2, 1)))
      return Then(Name, DescribeResources(Section + Directory(2, 0), Section, Offset));
    return Name;
  }
  return "after the sections (the COFF string table, padding)";
}

// --- Type libraries (MSFT) ------------------------------------------------------------

constexpr const char* cSegments[15] = {
    "type infos",        "import infos", "imported files", "references",        "GUID hash", "GUIDs",
    "name hash",         "names",        "strings",        "type descriptions", "arrays",    "custom data",
    "custom data GUIDs", "reserved",     "reserved"};

std::string DescribeTypeLibrary(std::string_view File, std::size_t Offset) {
  // After the header: the help DLL's name when its flag is set, each type info's offset,
  // then the segments' directory.
  const std::size_t Directory = 0x54 + (Get(File, 20, 4) & 0x100 ? 4 : 0) + Get(File, 32, 4) * 4;
  if (Offset < Directory) return "type library header";
  if (Offset < Directory + std::size_t{240})  // 15 entries of 16 bytes
    return std::string("type library segment directory: the ") + cSegments[(Offset - Directory) / 16] +
           " segment's entry";
  for (std::size_t I = 0; I < 15; ++I)
    if (Within(Offset, Get(File, Directory + I * 16, 4), Get(File, Directory + I * 16 + 4, 4)))
      return std::string("type library: the ") + cSegments[I] + " segment";
  return "type library";
}

// --- Cabinets -------------------------------------------------------------------------

constexpr TField cCabinetHeader[] = {{0, 4, "signature"}, {8, 4, "size"},          {16, 4, "first file entry"},
                                     {24, 2, "version"},  {26, 4, "counts"},       {30, 2, "flags"},
                                     {32, 2, "set ID"},   {34, 2, "number in set"}};
constexpr TField cCabinetFile[] = {{0, 4, "size"},  {4, 4, "offset"}, {8, 2, "folder"},
                                   {10, 2, "date"}, {12, 2, "time"},  {14, 2, "attributes"}};

std::string DescribeCabinet(std::string_view File, std::size_t Offset) {
  if (Offset < 36) return Then("cabinet header", FieldAt(cCabinetHeader, Offset));
  std::size_t Entry = Get(File, 16, 4);
  if (Offset < Entry) return "cabinet folder entries";
  for (std::size_t I = Get(File, 28, 2); I > 0 && Entry < File.size(); --I) {
    const std::string Name = Ascii(File, Entry + 16, 256, 1);
    const std::size_t End = Entry + 16 + Name.size() + 1;
    if (Offset < End)
      return "cabinet file entry " + Name + ": " +
             (Offset < Entry + 16 ? FieldAt(cCabinetFile, Offset - Entry) : "name");
    Entry = End;
  }
  return "cabinet data (the files, compressed)";
}

// --- Compound files (Windows Installer packages) ------------------------------------

constexpr std::size_t cEnd = 0xFFFFFFFE;
// clang-format off
constexpr TField cDirectoryEntry[] = {
    {0, 66, "name"}, {66, 2, "type"}, {68, 12, "tree"}, {80, 16, "CLSID"}, {96, 4, "state"},
    {100, 8, "creation time"}, {108, 8, "modification time"}, {116, 4, "start sector"}, {120, 8, "size"}};
// clang-format on
// The summary information's properties.
std::string SummaryProperty(std::size_t Id) {
  // clang-format off
  static constexpr std::array<const char*, 20> cNames = {
      "", "code page", "title", "subject", "author", "keywords", "comments", "template", "last saved by",
      "package code", "", "printed", "created", "last saved", "installer version", "source flags", "characters", "",
      "application", "security"};
  // clang-format on
  const std::string Name = Id < cNames.size() ? cNames[Id] : "";
  return "property " + std::to_string(Id) + (Name.empty() ? "" : " (" + Name + ")");
}

std::string DescribeSummary(std::string_view Stream, std::size_t Offset) {
  if (Offset < 48) return "property set header";
  const std::size_t Section = Get(Stream, 44, 4), Count = Get(Stream, Section + 4, 4);
  if (Offset < Section + 8 + Count * 8) return "property list";
  // A property's value runs to the next one's.
  std::size_t Best = 0, Id = 0;
  for (std::size_t I = 0; I < Count && I < 64; ++I) {
    const std::size_t At = Section + Get(Stream, Section + 12 + I * 8, 4);
    if (At <= Offset && At >= Best) {
      Best = At;
      Id = Get(Stream, Section + 8 + I * 8, 4);
    }
  }
  return SummaryProperty(Id);
}

// Windows Installer packs names of streams and tables two characters to a UTF-16 unit.
std::string StreamName(std::string_view File, std::size_t Entry) {
  static constexpr std::string_view cDigits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._";
  auto Digit = [](std::size_t C) { return cDigits[std::min<std::size_t>(C, 63)]; };
  std::string Name;
  for (std::size_t I = 0; I < 32; ++I) {
    const std::size_t C = Get(File, Entry + I * 2, 2);
    if (C == 0) break;
    if (C == 0x4840)
      Name += "table ";
    else if (C >= 0x4800 && C < 0x4840)
      Name += Digit(C - 0x4800);
    else if (C >= 0x3800 && C < 0x4800)
      Name += {Digit((C - 0x3800) & 0x3F), Digit((C - 0x3800) >> 6)};
    else
      Name += C == 5 ? std::string("\\005") : std::string(1, C >= 0x20 && C < 0x7F ? static_cast<char>(C) : '?');
  }
  return Name;
}

class TCompoundFile {
 public:
  explicit TCompoundFile(std::string_view File)
      : FFile(File), FSector(std::size_t{1} << std::min<std::size_t>(Get(File, 0x1E, 2), 16)) {
    std::vector<std::size_t> FatSectors;
    for (std::size_t I = 0; I < 109; ++I) FatSectors.push_back(Get(File, 0x4C + I * 4, 4));
    for (std::size_t More = Get(File, 0x44, 4); More < cEnd && At(More) < File.size() && FDifat.size() < 1024;
         More = Get(File, At(More) + FSector - 4, 4)) {
      FDifat.push_back(More);
      for (std::size_t I = 0; I + 1 < FSector / 4; ++I) FatSectors.push_back(Get(File, At(More) + I * 4, 4));
    }
    for (const std::size_t Sector : FatSectors) {
      if (Sector >= cEnd || At(Sector) >= File.size()) continue;
      FFatSectors.push_back(Sector);
      for (std::size_t I = 0; I < FSector / 4; ++I) FFat.push_back(Get(File, At(Sector) + I * 4, 4));
    }
    FDirectory = Chain(FFat, Get(File, 0x30, 4));
    FMiniFatSectors = Chain(FFat, Get(File, 0x3C, 4));
    for (const std::size_t Sector : FMiniFatSectors)
      for (std::size_t I = 0; I < FSector / 4; ++I) FMiniFat.push_back(Get(File, At(Sector) + I * 4, 4));
    FMiniStream = Chain(FFat, Get(File, EntryAt(0) + 116, 4));
  }

  std::string Describe(std::size_t Offset) const {
    if (Offset < FSector) return "compound file header";
    const std::size_t Sector = Offset / FSector - 1, Inside = Offset % FSector;
    if (Has(FFatSectors, Sector) || Has(FDifat, Sector)) return "sector allocation table";
    if (Has(FMiniFatSectors, Sector)) return "mini sector allocation table";
    if (const std::size_t I = Find(FDirectory, Sector); I != npos) {
      const std::size_t Place = I * FSector + Inside;
      return "directory entry " + StreamName(FFile, EntryAt(Place / 128)) + ": " +
             FieldAt(cDirectoryEntry, Place % 128);
    }
    const std::size_t Cutoff = Get(FFile, 0x38, 4), Mini = Find(FMiniStream, Sector);
    for (std::size_t Entry = 1; Entry < FDirectory.size() * FSector / 128; ++Entry) {
      const std::size_t Record = EntryAt(Entry), Size = Get(FFile, Record + 120, 4);
      if (Get(FFile, Record + 66, 1) != 2) continue;
      const bool Small = Size < Cutoff;
      const std::vector<std::size_t> Sectors = Chain(Small ? FMiniFat : FFat, Get(FFile, Record + 116, 4));
      std::size_t Place = npos;
      if (Small && Mini != npos) {
        const std::size_t InMini = Mini * FSector + Inside, I = Find(Sectors, InMini / 64);
        if (I != npos) Place = I * 64 + InMini % 64;
      } else if (!Small) {
        if (const std::size_t I = Find(Sectors, Sector); I != npos) Place = I * FSector + Inside;
      }
      if (Place != npos) return DescribeStream(StreamName(FFile, Record), Read(Sectors, Small, Size), Place);
    }
    return Mini != npos ? "mini stream, unused" : "unused sector";
  }

 private:
  static constexpr std::size_t npos = std::string_view::npos;
  std::string_view FFile;
  std::size_t FSector;
  std::vector<std::size_t> FFat, FFatSectors, FDifat, FMiniFat, FMiniFatSectors, FDirectory, FMiniStream;

  std::size_t At(std::size_t Sector) const { return (Sector + 1) * FSector; }
  std::size_t EntryAt(std::size_t Entry) const {
    const std::size_t PerSector = FSector / 128;
    return Entry / PerSector < FDirectory.size() ? At(FDirectory[Entry / PerSector]) + Entry % PerSector * 128
                                                 : FFile.size();
  }
  static bool Has(const std::vector<std::size_t>& List, std::size_t Value) { return Find(List, Value) != npos; }
  static std::size_t Find(const std::vector<std::size_t>& List, std::size_t Value) {
    const auto Found = std::find(List.begin(), List.end(), Value);
    return Found == List.end() ? npos : static_cast<std::size_t>(Found - List.begin());
  }
  // A chain of sectors through a table, cut at its end, at a number outside the table or
  // where it would loop.
  static std::vector<std::size_t> Chain(const std::vector<std::size_t>& Table, std::size_t Start) {
    std::vector<std::size_t> Sectors;
    for (std::size_t S = Start; S < Table.size() && Sectors.size() < Table.size(); S = Table[S]) Sectors.push_back(S);
    return Sectors;
  }
  std::string Read(const std::vector<std::size_t>& Sectors, bool Small, std::size_t Size) const {
    std::string Bytes;
    for (const std::size_t S : Sectors) {
      if (!Small) {
        Bytes += Slice(FFile, At(S), FSector);
        continue;
      }
      const std::size_t Place = S * 64, Host = Place / FSector;
      if (Host < FMiniStream.size()) Bytes += Slice(FFile, At(FMiniStream[Host]) + Place % FSector, 64);
    }
    return Bytes.substr(0, Size);
  }
  static std::string DescribeStream(const std::string& Name, std::string_view Stream, std::size_t Place) {
    const std::string What = "stream " + Name + " (byte " + std::to_string(Place) + ")";
    if (Name == "\\005SummaryInformation") return What + ": summary information, " + DescribeSummary(Stream, Place);
    return Then(What, DescribeOffset(Stream, Place));
  }
};

// --- Zips ---------------------------------------------------------------------------

constexpr TField cZipLocal[] = {{0, 4, "signature"},  {4, 2, "version needed"},     {6, 2, "flags"},
                                {8, 2, "method"},     {10, 2, "modification time"}, {12, 2, "modification date"},
                                {14, 4, "CRC-32"},    {18, 4, "compressed size"},   {22, 4, "size"},
                                {26, 2, "name size"}, {28, 2, "extra field size"}};
// clang-format off
constexpr TField cZipCentral[] = {
    {0, 4, "signature"}, {4, 2, "version made by"}, {6, 2, "version needed"}, {8, 2, "flags"}, {10, 2, "method"},
    {12, 2, "modification time"}, {14, 2, "modification date"}, {16, 4, "CRC-32"}, {20, 8, "sizes"},
    {28, 6, "name, extra and comment sizes"}, {34, 2, "disk"}, {36, 2, "internal attributes"},
    {38, 4, "external attributes (mode)"}, {42, 4, "local header's offset"}};
// clang-format on

std::string DescribeZip(std::string_view File, std::size_t Offset) {
  const std::size_t End = File.rfind("PK\5\6");
  if (End == std::string_view::npos) return "zip";
  if (Offset >= End) return "zip end record";
  // The central directory names each entry and where its local header is.
  struct TEntry {
    std::size_t Local, Central;
    std::string Name;
  };
  std::vector<TEntry> Entries;
  std::size_t Central = Get(File, End + 16, 4);
  for (std::size_t I = Get(File, End + 10, 2); I > 0 && Central < End; --I) {
    const std::size_t NameSize = Get(File, Central + 28, 2);
    Entries.push_back({Get(File, Central + 42, 4), Central, std::string(Slice(File, Central + 46, NameSize))});
    Central += 46 + NameSize + Get(File, Central + 30, 2) + Get(File, Central + 32, 2);
  }
  for (std::size_t I = Entries.size(); I-- > 0;) {
    const TEntry& Entry = Entries[I];
    const std::string What = "zip entry " + std::to_string(I + 1) + " " + Entry.Name;
    if (Offset >= Entry.Central) {
      if (Offset < Entry.Central + 46)
        return "zip directory, " + What + ": " + FieldAt(cZipCentral, Offset - Entry.Central);
      if (I + 1 == Entries.size() || Offset < Entries[I + 1].Central)
        return "zip directory, " + What + ": name and extra fields";
      continue;
    }
    if (Offset < Entry.Local) continue;
    const std::size_t Data = Entry.Local + 30 + Get(File, Entry.Local + 26, 2) + Get(File, Entry.Local + 28, 2);
    return What + ": " +
           (Offset < Entry.Local + 30 ? FieldAt(cZipLocal, Offset - Entry.Local)
            : Offset < Data           ? "name and extra fields"
                                      : "data (byte " + std::to_string(Offset - Data) + ")");
  }
  return "zip";
}

// The files of a folder and its folders, by their names below it.
bool ListFiles(const std::filesystem::path& Folder, std::set<std::string>& Names) {
  std::error_code Error;
  for (std::filesystem::recursive_directory_iterator It(Folder, Error), End; !Error && It != End; It.increment(Error))
    if (It->is_regular_file()) Names.insert(It->path().lexically_relative(Folder).generic_string());
  return !Error;
}

bool ReadFile(const std::filesystem::path& File, std::string& Bytes) {
  std::ifstream In(File, std::ios::binary);
  Bytes.assign(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
  return In.is_open() && !In.bad();
}

// An offset in decimal and in hexadecimal, as a hex dump shows it.
std::string Byte(std::size_t At) {
  std::array<char, 48> Text{};
  std::snprintf(Text.data(), Text.size(), "byte %zu (0x%zx)", At, At);
  return Text.data();
}

// A text: no NUL byte in its first 8 KB.
std::string DescribeText(std::string_view File, std::size_t Offset) {
  if (File.substr(0, 8192).find('\0') != std::string_view::npos) return "";
  const std::string_view Before = File.substr(0, Offset);
  return "line " + std::to_string(std::count(Before.begin(), Before.end(), '\n') + 1);
}

}  // namespace

std::size_t FirstDifference(std::string_view First, std::string_view Second) {
  const auto [Here, There] = std::mismatch(First.begin(), First.end(), Second.begin(), Second.end());
  return Here == First.end() && There == Second.end() ? std::string_view::npos
                                                      : static_cast<std::size_t>(Here - First.begin());
}

std::string DescribeOffset(std::string_view File, std::size_t Offset) {
  if (Offset >= File.size()) return "its end (the other file is longer)";
  if (File.starts_with("MZ")) return TPe(File).Describe(Offset);
  if (File.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return TCompoundFile(File).Describe(Offset);
  if (File.starts_with("PK\3\4") || File.starts_with("PK\5\6")) return DescribeZip(File, Offset);
  if (File.starts_with("MSFT")) return DescribeTypeLibrary(File, Offset);
  if (File.starts_with("MSCF")) return DescribeCabinet(File, Offset);
  return DescribeText(File, Offset);
}

std::size_t FindText(std::string_view File, std::string_view Text) {
  std::string Wide;
  for (const char C : Text) Wide += {C, '\0'};
  const std::size_t Narrow = File.find(Text);
  return Narrow != std::string_view::npos || Text.empty() ? Narrow : File.find(Wide);
}

bool CompareFolders(const std::filesystem::path& First, const std::filesystem::path& Second,
                    const std::vector<std::string>& Paths, std::vector<std::string>& Faults, std::size_t& Files) {
  std::set<std::string> InFirst, InSecond;
  if (!ListFiles(First, InFirst) || !ListFiles(Second, InSecond) || InFirst.empty()) return false;
  Files = InFirst.size();
  for (const std::string& Name : InSecond)
    if (!InFirst.contains(Name)) Faults.push_back(Name + ": only in " + Second.string());
  for (const std::string& Name : InFirst) {
    std::string One, Other;
    if (!InSecond.contains(Name)) {
      Faults.push_back(Name + ": only in " + First.string());
      continue;
    }
    if (!ReadFile(First / Name, One) || !ReadFile(Second / Name, Other)) return false;
    if (const std::size_t At = FirstDifference(One, Other); At != std::string::npos) {
      const std::string What = DescribeOffset(One, At);
      std::string Fault = Name + ": differs from " + Byte(At) + ": " + What;
      // A checksum differs because something after it does: that is named too.
      std::size_t After = At;
      while (What.ends_with("CheckSum") && After < One.size() && DescribeOffset(One, After) == What) ++After;
      const std::size_t Next = After == At
                                   ? std::string::npos
                                   : FirstDifference(Slice(One, After, One.size()), Slice(Other, After, Other.size()));
      if (Next != std::string::npos)
        Fault += "; after it from " + Byte(After + Next) + ": " + DescribeOffset(One, After + Next);
      Faults.push_back(Fault);
    }
    for (const std::string& Path : Paths)
      for (const std::string* Bytes : {&One, &Other})
        if (const std::size_t At = FindText(*Bytes, Path); At != std::string::npos)
          Faults.push_back(Name + ": holds the build's folder " + Path + " at " + Byte(At) + ": " +
                           DescribeOffset(*Bytes, At));
  }
  return true;
}

}  // namespace zelm::release
