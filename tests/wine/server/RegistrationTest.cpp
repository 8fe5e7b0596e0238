// Self-registration as regsvr32 does it: DllRegisterServer / DllUnregisterServer of
// the DLL loaded by hand, read back from the registry. Leaves the DLL beside the
// program registered, for the tests that create the object by its ProgID.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

#include "tests/support/wine/Com.h"
#include "tests/support/wine/Imports.h"
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

// --- Failures, met through the DLL's own imports --------------------------------------------

// The registry calls of registration, numbered from 1; the one numbered GFailing fails.
int GRegistryCalls = 0, GFailing = 0;
decltype(&RegCreateKeyExW) RealCreateKey;
decltype(&RegSetValueExW) RealSetValue;
LONG WINAPI CreateKey(HKEY Root, LPCWSTR Key, DWORD Reserved, LPWSTR Class, DWORD Options, REGSAM Access,
                      LPSECURITY_ATTRIBUTES Security, PHKEY Out, LPDWORD Disposition) {
  if (++GRegistryCalls == GFailing) return ERROR_ACCESS_DENIED;
  return RealCreateKey(Root, Key, Reserved, Class, Options, Access, Security, Out, Disposition);
}
LONG WINAPI SetValue(HKEY Key, LPCWSTR Name, DWORD Reserved, DWORD Type, const BYTE* Data, DWORD Size) {
  if (++GRegistryCalls == GFailing) return ERROR_ACCESS_DENIED;
  return RealSetValue(Key, Name, Reserved, Type, Data, Size);
}
HRESULT WINAPI RefuseTypeLib(ITypeLib*, LPOLESTR, LPOLESTR) { return TYPE_E_REGISTRYACCESS; }
void* __cdecl NoMemory(size_t) { return nullptr; }
LONG WINAPI RefuseDelete(HKEY, LPCWSTR) { return ERROR_ACCESS_DENIED; }

// Each registry write in turn cannot be made: registration stops there with E_FAIL and
// says why, and what it wrote before stays. A type library that cannot be registered
// stops it before the first key; so does running out of memory.
TEST_F(Registration, AFailedRegistryWriteStopsItAndKeepsWhatWasWritten) {
  for (GFailing = 1; GFailing <= 2 * static_cast<int>(Entries().size()); ++GFailing) {
    SCOPED_TRACE("registry call " + std::to_string(GFailing));
    ASSERT_EQ(Dll.UnregisterServer(), S_OK);
    GRegistryCalls = 0;
    {
      const TImportPatch Create(Dll.Module, "advapi32.dll", "RegCreateKeyExW", &CreateKey, RealCreateKey);
      const TImportPatch Set(Dll.Module, "advapi32.dll", "RegSetValueExW", &SetValue, RealSetValue);
      ASSERT_TRUE(Create && Set);
      EXPECT_EQ(Dll.RegisterServer(), E_FAIL);
    }
    EXPECT_EQ(TakeErrorInfo().Description, L"Error creating system registry entry");
    // Entry I is created by call 2I-1 and set by call 2I.
    const auto Values = Snapshot();
    for (std::size_t I = 0; I < Values.size(); ++I)
      EXPECT_EQ(Values[I].has_value(), static_cast<int>(I) < (GFailing - 1) / 2) << "entry " << I + 1;
  }

  ASSERT_EQ(Dll.UnregisterServer(), S_OK);
  {
    const TImportPatch Refused(Dll.Module, "oleaut32.dll", "RegisterTypeLib", reinterpret_cast<void*>(&RefuseTypeLib));
    ASSERT_TRUE(Refused);
    EXPECT_EQ(Dll.RegisterServer(), E_FAIL);
    EXPECT_EQ(TakeErrorInfo().Description, L"Error creating system registry entry");
  }
  for (const auto& Value : Snapshot()) EXPECT_FALSE(Value.has_value());

  const TImportPatch Short(Dll.Module, "msvcrt.dll", "malloc", reinterpret_cast<void*>(&NoMemory));
  ASSERT_TRUE(Short);
  EXPECT_EQ(Dll.RegisterServer(), E_FAIL);
  EXPECT_EQ(TakeErrorInfo().Description, L"Out of memory");
  EXPECT_EQ(Dll.UnregisterServer(), E_FAIL);
  EXPECT_EQ(TakeErrorInfo().Description, L"Out of memory");
}

// A type library whose attributes cannot be read (memory ran out), all else the real one's.
// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor): final, deleted by its own Release
class TUnreadableLibrary final : public ITypeLib {
 public:
  explicit TUnreadableLibrary(TComPtr<ITypeLib> Real) : FReal(std::move(Real)) {}
  STDMETHODIMP QueryInterface(REFIID Iid, void** Out) override {
    *Out = IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_ITypeLib) ? this : nullptr;
    if (*Out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++FRefs; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG Left = --FRefs;
    if (Left == 0) delete this;
    return Left;
  }
  STDMETHODIMP_(UINT) GetTypeInfoCount() override { return FReal->GetTypeInfoCount(); }
  STDMETHODIMP GetTypeInfo(UINT I, ITypeInfo** Out) override { return FReal->GetTypeInfo(I, Out); }
  STDMETHODIMP GetTypeInfoType(UINT I, TYPEKIND* Out) override { return FReal->GetTypeInfoType(I, Out); }
  STDMETHODIMP GetTypeInfoOfGuid(REFGUID Guid, ITypeInfo** Out) override { return FReal->GetTypeInfoOfGuid(Guid, Out); }
  STDMETHODIMP GetLibAttr(TLIBATTR** Out) override {
    *Out = nullptr;
    return E_OUTOFMEMORY;
  }
  STDMETHODIMP GetTypeComp(ITypeComp** Out) override { return FReal->GetTypeComp(Out); }
  STDMETHODIMP GetDocumentation(INT I, BSTR* Name, BSTR* Text, DWORD* Help, BSTR* File) override {
    return FReal->GetDocumentation(I, Name, Text, Help, File);
  }
  STDMETHODIMP IsName(LPOLESTR Name, ULONG Hash, BOOL* Out) override { return FReal->IsName(Name, Hash, Out); }
  STDMETHODIMP FindName(LPOLESTR Name, ULONG Hash, ITypeInfo** Infos, MEMBERID* Ids, USHORT* Count) override {
    return FReal->FindName(Name, Hash, Infos, Ids, Count);
  }
  STDMETHODIMP_(void) ReleaseTLibAttr(TLIBATTR* Attr) override { FReal->ReleaseTLibAttr(Attr); }

 private:
  TComPtr<ITypeLib> FReal;
  ULONG FRefs = 1;
};

decltype(&LoadTypeLibEx) RealLoadTypeLib;
HRESULT WINAPI LoadUnreadable(LPCOLESTR Path, REGKIND Kind, ITypeLib** Out) {
  TComPtr<ITypeLib> Real;
  const HRESULT Result = RealLoadTypeLib(Path, Kind, Real.Out());
  *Out = SUCCEEDED(Result) ? new TUnreadableLibrary(std::move(Real)) : nullptr;
  return Result;
}

// Keys that cannot be deleted are no failure of unregistration; only a type library
// whose attributes cannot be read is.
TEST_F(Registration, UnregistrationFailsOnlyWhenTheTypeLibraryCannotBeRead) {
  ASSERT_EQ(Dll.RegisterServer(), S_OK);
  {
    const TImportPatch Refused(Dll.Module, "advapi32.dll", "RegDeleteKeyW", reinterpret_cast<void*>(&RefuseDelete));
    ASSERT_TRUE(Refused);
    EXPECT_EQ(Dll.UnregisterServer(), S_OK);
  }
  for (const auto& Key : Keys()) EXPECT_TRUE(KeyExists(Key)) << Narrow(Key);

  wchar_t Temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, Temp), 0u);
  const TDllCopy Copy(LongPath(Temp) + L"ZelmKvelUnreadable");
  ASSERT_TRUE(Copy.Made);
  TLoadedServer Fresh(Copy.Path);  // a load of its own, its class record not made yet
  ASSERT_NE(Fresh.Module, nullptr);
  const TImportPatch Unreadable(Fresh.Module, "oleaut32.dll", "LoadTypeLibEx", &LoadUnreadable, RealLoadTypeLib);
  ASSERT_TRUE(Unreadable);
  EXPECT_EQ(Fresh.UnregisterServer(), E_FAIL);
  EXPECT_EQ(Fresh.RegisterServer(), E_FAIL);
  for (const auto& Key : Keys()) EXPECT_TRUE(KeyExists(Key)) << Narrow(Key);
}

// The file's bytes, or empty when it cannot be read.
std::string FileBytes(const std::wstring& Path) {
  std::string Bytes;
  const TFile In(_wfopen(Path.c_str(), L"rb"));
  char Buffer[65536];
  for (std::size_t Got; In && (Got = std::fread(Buffer, 1, sizeof Buffer, In.Get())) > 0;) Bytes.append(Buffer, Got);
  return Bytes;
}

// Puts Library into the copy as its type library (empty: the resource's type renamed,
// so there is none).
::testing::AssertionResult PutLibrary(const TDllCopy& Copy, const std::string& Library) {
  if (Library.empty()) {
    std::string Bytes = FileBytes(Copy.Path);
    const std::string TypeLib("T\0Y\0P\0E\0L\0I\0B", 13);
    const std::size_t At = Bytes.find(TypeLib);
    if (At == std::string::npos) return ::testing::AssertionFailure() << "no TYPELIB resource";
    Bytes[At + 12] = 'X';
    const TFile Out(_wfopen(Copy.Path.c_str(), L"wb"));
    if (!Out || std::fwrite(Bytes.data(), 1, Bytes.size(), Out.Get()) != Bytes.size())
      return ::testing::AssertionFailure() << "the copy cannot be written";
    return ::testing::AssertionSuccess();
  }
  HANDLE Update = BeginUpdateResourceW(Copy.Path.c_str(), FALSE);
  if (Update == nullptr ||
      !UpdateResourceW(Update, L"TYPELIB", MAKEINTRESOURCEW(1), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                       const_cast<char*>(Library.data()), static_cast<DWORD>(Library.size())) ||
      !EndUpdateResourceW(Update, FALSE))
    return ::testing::AssertionFailure() << "the resource cannot be updated (" << GetLastError() << ")";
  return ::testing::AssertionSuccess();
}

// The class lists its default interface after a source one: the one looked for is found
// past the first.
TEST_F(Registration, TheDefaultInterfaceIsFoundPastASourceOne) {
  wchar_t Temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, Temp), 0u);
  const TDllCopy Copy(LongPath(Temp) + L"ZelmKvelSourceFirst");
  ASSERT_TRUE(Copy.Made);
  ASSERT_TRUE(PutLibrary(Copy, FileBytes(ProgramFolder() + L"SourceFirst.tlb")));
  TLoadedServer Server(Copy.Path);
  ASSERT_NE(Server.Module, nullptr);
  TComPtr<IRRExtension> Object = Server.Create();
  ASSERT_TRUE(Object) << Narrow(TakeErrorInfo().Description);
  EXPECT_EQ(LabelByDispatch(Object.Get(), L"ce_speed_title"), L"ce_speed");
  Object.Reset();
  EXPECT_EQ(Server.CanUnloadNow(), S_OK);
}

// Copies of the DLL whose type library is gone, broken or describes the class wrongly:
// no class factory, the reason said each time, and registration refused with the same
// words.
TEST_F(Registration, ATypeLibraryThatCannotBeReadLeavesNoClassFactory) {
  wchar_t Temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, Temp), 0u);
  const struct {
    const char* Case;
    std::string Library;  // empty: the resource's type renamed, so there is none
    const wchar_t* Description;
  } Cases[] = {
      {"removed", "", L"Type information missing for class TRRExtension"},
      {"broken", "not a type library", L"Type information missing for class TRRExtension"},
      {"an interface", FileBytes(ProgramFolder() + L"WrongKind.tlb"),
       L"Incorrect type information for class TRRExtension"},
      {"another interface", FileBytes(ProgramFolder() + L"OtherInterface.tlb"),
       L"Dispatch interface missing from class TRRExtension"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Case);
    const TDllCopy Copy(LongPath(Temp) + L"ZelmKvelBroken");
    ASSERT_TRUE(Copy.Made);
    ASSERT_TRUE(PutLibrary(Copy, Case.Library));

    TLoadedServer Server(Copy.Path);
    ASSERT_NE(Server.Module, nullptr);
    for (int Asked = 0; Asked < 2; ++Asked) {
      void* Out = reinterpret_cast<void*>(1);
      EXPECT_EQ(Server.GetClassObject(CLSID_RRExtension, IID_IClassFactory, &Out), CLASS_E_CLASSNOTAVAILABLE);
      EXPECT_EQ(Out, nullptr);
      EXPECT_EQ(TakeErrorInfo().Description, Case.Description);
    }
    EXPECT_EQ(Server.RegisterServer(), E_FAIL);
    EXPECT_EQ(TakeErrorInfo().Description, Case.Description);
    EXPECT_EQ(Server.CanUnloadNow(), S_OK);
  }
}

}  // namespace
}  // namespace zelm::wine
