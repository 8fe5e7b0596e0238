// Self-registration as regsvr32 does it: DllRegisterServer / DllUnregisterServer of
// the DLL loaded by hand, read back from the registry. Leaves the DLL beside the
// program registered, for the tests that create the object by its ProgID.
#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "support/wine/Com.h"
#include "win/com/Handles.h"

namespace zelm::wine {
namespace {

constexpr const wchar_t* cClassKey = L"CLSID\\{96FE9075-3A48-4F32-A27C-CE200FC2E170}";

struct TEntry {
  std::wstring Key;
  const wchar_t* Value;  // null: the key's unnamed value
};

// The eight entries, in the order they are written.
const std::array<TEntry, 8>& Entries() {
  static const std::wstring Class = cClassKey;
  static const std::array<TEntry, 8> List = {{
      {Class, nullptr},
      {Class + L"\\InprocServer32", nullptr},
      {Class + L"\\InprocServer32", L"ThreadingModel"},
      {L"ZelmKvel.RRExtension", nullptr},
      {L"ZelmKvel.RRExtension\\Clsid", nullptr},
      {Class + L"\\ProgID", nullptr},
      {Class + L"\\Version", nullptr},
      {Class + L"\\TypeLib", nullptr},
  }};
  return List;
}

// The seven keys unregistering takes away.
const std::array<std::wstring, 7>& Keys() {
  static const std::wstring Class = cClassKey;
  static const std::array<std::wstring, 7> List = {Class + L"\\TypeLib",
                                                   Class + L"\\Version",
                                                   Class + L"\\ProgID",
                                                   L"ZelmKvel.RRExtension\\Clsid",
                                                   L"ZelmKvel.RRExtension",
                                                   Class + L"\\InprocServer32",
                                                   Class};
  return List;
}

struct TValue {
  DWORD Type = REG_NONE;
  std::vector<BYTE> Bytes;
  bool operator==(const TValue& O) const { return Type == O.Type && Bytes == O.Bytes; }
  // The text of a REG_SZ that is stored with exactly one terminating zero; otherwise
  // a marker that fails every comparison with a real text.
  std::wstring Text() const {
    if (Type != REG_SZ || Bytes.size() < 2 || Bytes.size() % 2) return L"<not a REG_SZ>";
    const auto* Chars = reinterpret_cast<const wchar_t*>(Bytes.data());
    const std::size_t Count = Bytes.size() / 2;
    if (Chars[Count - 1] != L'\0') return L"<no terminating zero>";
    std::wstring Out(Chars, Count - 1);
    if (Out.find(L'\0') != std::wstring::npos) return L"<inner zero>";
    return Out;
  }
};

std::optional<TValue> Read(const TEntry& Entry) {
  TRegistryKey Key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, Entry.Key.c_str(), 0, KEY_QUERY_VALUE, Key.Out()) != ERROR_SUCCESS)
    return std::nullopt;
  TValue Value;
  DWORD Size = 0;
  LONG Result = RegQueryValueExW(Key.Get(), Entry.Value, nullptr, &Value.Type, nullptr, &Size);
  if (Result == ERROR_SUCCESS) {
    Value.Bytes.resize(Size);
    Result = RegQueryValueExW(Key.Get(), Entry.Value, nullptr, &Value.Type, Value.Bytes.data(), &Size);
  }
  if (Result != ERROR_SUCCESS) return std::nullopt;
  return Value;
}

std::vector<std::optional<TValue>> Snapshot() {
  std::vector<std::optional<TValue>> Out;
  for (const auto& Entry : Entries()) Out.push_back(Read(Entry));
  return Out;
}

bool KeyExists(const std::wstring& Key) {
  TRegistryKey Handle;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, Key.c_str(), 0, KEY_READ, Handle.Out()) == ERROR_SUCCESS;
}

// Windows takes paths in any case (of any script): they are compared lowered.
std::wstring Lower(std::wstring Text) {
  for (auto& C : Text) C = static_cast<wchar_t>(towlower(C));
  return Text;
}

std::wstring LongPath(const std::wstring& Path) {
  wchar_t Buffer[MAX_PATH] = {};
  const DWORD Length = GetLongPathNameW(Path.c_str(), Buffer, MAX_PATH);
  return Length > 0 && Length < MAX_PATH ? std::wstring(Buffer, Length) : Path;
}

std::optional<std::wstring> RegisteredTypeLibPath() {
  TBstr Path;
  if (QueryPathOfRegTypeLib(LIBID_ZelmKvel, 1, 0, 0, Path.Out()) != S_OK) return std::nullopt;
  return Path.Text();
}

class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Dll.Module, nullptr);
    ASSERT_TRUE(Dll.RegisterServer && Dll.UnregisterServer);
  }
  // The program's DLL stays registered, whatever a test did.
  static void TearDownTestSuite() {
    TLoadedServer Dll(DllPath());
    if (Dll.RegisterServer) Dll.RegisterServer();
  }

  TLoadedServer Dll{DllPath()};
};

TEST_F(Registration, WritesTheEightEntriesAndRegistersTheTypeLibrary) {
  ASSERT_EQ(Dll.UnregisterServer(), S_OK);
  ASSERT_EQ(Dll.RegisterServer(), S_OK);

  const auto Values = Snapshot();
  for (std::size_t I = 0; I < Values.size(); ++I) ASSERT_TRUE(Values[I].has_value()) << "entry " << I + 1 << " missing";
  const std::wstring Path = LongPath(DllPath());
  ASSERT_EQ(Path.find(L' '), std::wstring::npos) << "the build folder has a space; this test wants one without";
  EXPECT_EQ(Values[0]->Text(), L"");
  EXPECT_EQ(Lower(Values[1]->Text()), Lower(Path));
  EXPECT_EQ(Values[2]->Text(), L"Apartment");
  EXPECT_EQ(Values[3]->Text(), L"");
  EXPECT_EQ(Values[4]->Text(), L"{96FE9075-3A48-4F32-A27C-CE200FC2E170}");
  EXPECT_EQ(Values[5]->Text(), L"ZelmKvel.RRExtension");
  EXPECT_EQ(Values[6]->Text(), L"1.0");
  EXPECT_EQ(Values[7]->Text(), L"{EAC72694-DFDB-4800-A1A9-6DF1E5E64F76}");

  // The type library, under the DLL's long path, with its folder as help folder.
  const auto TypeLibPath = RegisteredTypeLibPath();
  ASSERT_TRUE(TypeLibPath.has_value());
  EXPECT_EQ(Lower(*TypeLibPath), Lower(Path));
  const auto HelpDir = Read({L"TypeLib\\{EAC72694-DFDB-4800-A1A9-6DF1E5E64F76}\\1.0\\HELPDIR", nullptr});
  ASSERT_TRUE(HelpDir.has_value());
  std::wstring Folder = Path.substr(0, Path.find_last_of(L'\\'));
  EXPECT_EQ(Lower(HelpDir->Text()).rfind(Lower(Folder), 0), 0u) << "HELPDIR " << HelpDir->Text().size();

  // COM finds the class by its ProgID, and through it the interface's type library.
  CLSID Class = GUID_NULL;
  ASSERT_EQ(CLSIDFromProgID(L"ZelmKvel.RRExtension", &Class), S_OK);
  EXPECT_TRUE(IsEqualCLSID(Class, CLSID_RRExtension));
  TComPtr<ITypeLib> Library;
  EXPECT_EQ(LoadRegTypeLib(LIBID_ZelmKvel, 1, 0, 0, Library.Out()), S_OK);
}

TEST_F(Registration, RegisteringTwiceLeavesTheSameEntries) {
  ASSERT_EQ(Dll.RegisterServer(), S_OK);
  const auto First = Snapshot();
  ASSERT_EQ(Dll.RegisterServer(), S_OK);
  EXPECT_EQ(Snapshot(), First);
  for (const auto& Value : First) EXPECT_TRUE(Value.has_value());
}

TEST_F(Registration, UnregisteringTwiceSucceedsAndTakesEverythingAway) {
  ASSERT_EQ(Dll.RegisterServer(), S_OK);
  for (const auto& Key : Keys()) ASSERT_TRUE(KeyExists(Key)) << "before: " << Narrow(Key);

  EXPECT_EQ(Dll.UnregisterServer(), S_OK);
  for (const auto& Key : Keys()) EXPECT_FALSE(KeyExists(Key)) << Narrow(Key);
  EXPECT_FALSE(RegisteredTypeLibPath().has_value());
  CLSID Class = GUID_NULL;
  EXPECT_NE(CLSIDFromProgID(L"ZelmKvel.RRExtension", &Class), S_OK);

  EXPECT_EQ(Dll.UnregisterServer(), S_OK);  // nothing left to remove is no failure
  for (const auto& Key : Keys()) EXPECT_FALSE(KeyExists(Key));
}

// A copy of the DLL in a folder of its own, taken away again whatever happens (the
// suite registers the program's DLL again after its last test).
struct TDllCopy {
  explicit TDllCopy(const std::wstring& In) : Folder(In), Path(In + L"\\ZelmKvel.dll") {
    CreateDirectoryW(Folder.c_str(), nullptr);
    Made = CopyFileW(DllPath().c_str(), Path.c_str(), FALSE) != FALSE;
  }
  ~TDllCopy() {
    DeleteFileW(Path.c_str());
    RemoveDirectoryW(Folder.c_str());
  }
  TDllCopy(const TDllCopy&) = delete;
  TDllCopy& operator=(const TDllCopy&) = delete;
  const std::wstring Folder, Path;
  bool Made = false;
};

TEST_F(Registration, AFolderWithASpaceRegistersTheShortPath) {
  wchar_t Temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, Temp), 0u);
  const TDllCopy Spaced(LongPath(Temp) + L"Zelm Kvel Copy");
  ASSERT_TRUE(Spaced.Made);
  const std::wstring& Copy = Spaced.Path;
  {
    TLoadedServer Copied(Copy);
    ASSERT_NE(Copied.Module, nullptr);
    ASSERT_EQ(Copied.RegisterServer(), S_OK);

    const auto Server = Read(Entries()[1]);
    ASSERT_TRUE(Server.has_value());
    const std::wstring Registered = Server->Text();
    wchar_t Short[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(Copy.c_str(), Short, MAX_PATH), 0u);
    EXPECT_EQ(Lower(Registered), Lower(Short));
    EXPECT_EQ(Registered.find(L' '), std::wstring::npos);
    EXPECT_EQ(Lower(LongPath(Registered)), Lower(Copy));  // the same file

    // The type library keeps the long path.
    const auto TypeLibPath = RegisteredTypeLibPath();
    ASSERT_TRUE(TypeLibPath.has_value());
    EXPECT_EQ(Lower(*TypeLibPath), Lower(Copy));

    EXPECT_EQ(Copied.UnregisterServer(), S_OK);
  }
}

}  // namespace
}  // namespace zelm::wine
