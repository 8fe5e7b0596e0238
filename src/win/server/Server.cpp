// The server's load and unload, its counts, and the entry points that hand out the
// class factory and tell COM whether the DLL may go.
#include "win/server/Server.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "ZelmKvel_TLB.h"
#include "win/com/ErrorBoundary.h"
#include "win/platform/Names.h"
#include "win/window/MessageWindow.h"

namespace zelm::server {
namespace {

HMODULE GModule = nullptr;
std::atomic<long> GLiveObjects{0};  // objects alive plus server locks
std::atomic<long> GFactoryRefs{0};

std::once_flag GLoadOnce;
TClassRecord* GRecord = nullptr;
std::wstring GLoadFailure;

constexpr const wchar_t* cTypeInfoMissing = L"Type information missing for class TRRExtension";
constexpr const wchar_t* cBadTypeInfo = L"Incorrect type information for class TRRExtension";
constexpr const wchar_t* cDispatchMissing = L"Dispatch interface missing from class TRRExtension";

std::wstring ModuleFileName() {
  std::wstring Path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD Length = GetModuleFileNameW(GModule, Path.data(), static_cast<DWORD>(Path.size()));
    if (Length == 0) return {};
    if (Length < Path.size()) {
      Path.resize(Length);
      break;
    }
    Path.resize(Path.size() * 2);
  }
  // The loader may know us by a short name; the server file name is the long one.
  return PathInForm(Path, GetLongPathNameW);
}

struct TTypeKind {
  TYPEKIND Kind = TKIND_MAX;
  GUID Guid = GUID_NULL;
  WORD ImplTypes = 0;
};

bool ReadTypeKind(ITypeInfo* Info, TTypeKind& Out) noexcept {
  const TTypeAttr Attr(Info);
  if (!Attr) return false;
  Out.Kind = Attr->typekind;
  Out.Guid = Attr->guid;
  Out.ImplTypes = Attr->cImplTypes;
  return true;
}

// Builds the class registration record from the type library in our own file; on a
// mismatch sets Failure and answers null.
std::unique_ptr<TClassRecord> LoadRecord(std::wstring& Failure) {
  auto Record = std::make_unique<TClassRecord>();
  Record->FileName = ModuleFileName();
  if (Record->FileName.empty() ||
      FAILED(LoadTypeLibEx(Record->FileName.c_str(), REGKIND_NONE, Record->Library.Out())) ||
      FAILED(Record->Library->GetTypeInfoOfGuid(CLSID_RRExtension, Record->CoClass.Out()))) {
    Failure = cTypeInfoMissing;
    return nullptr;
  }
  TTypeKind CoClass;
  if (!ReadTypeKind(Record->CoClass.Get(), CoClass) || CoClass.Kind != TKIND_COCLASS) {
    Failure = cBadTypeInfo;
    return nullptr;
  }

  TBstr LibraryName, ClassName, Description;
  Record->Library->GetDocumentation(-1, LibraryName.Out(), nullptr, nullptr, nullptr);
  Record->CoClass->GetDocumentation(MEMBERID_NIL, ClassName.Out(), Description.Out(), nullptr, nullptr);
  Record->Description = Description.Text();
  // The server's name (the library's) and the class's: "ZelmKvel.RRExtension".
  Record->ProgId = LibraryName.Text() + L"." + ClassName.Text();

  // The default interface, as the coclass lists it: the dispatch half of IRRExtension.
  for (UINT I = 0; I < CoClass.ImplTypes && !Record->Dispatch; ++I) {
    INT Flags = 0;
    HREFTYPE Ref = 0;
    if (FAILED(Record->CoClass->GetImplTypeFlags(I, &Flags))) continue;
    if (!(Flags & IMPLTYPEFLAG_FDEFAULT) || (Flags & IMPLTYPEFLAG_FSOURCE)) continue;
    if (SUCCEEDED(Record->CoClass->GetRefTypeOfImplType(I, &Ref)))
      Record->CoClass->GetRefTypeInfo(Ref, Record->Dispatch.Out());
  }
  TTypeKind Default;
  if (!Record->Dispatch || !ReadTypeKind(Record->Dispatch.Get(), Default)) {
    Failure = cBadTypeInfo;
    return nullptr;
  }
  // The object implements IRRExtension and nothing else of the library's.
  if (!IsEqualGUID(Default.Guid, IID_IRRExtension)) {
    Failure = cDispatchMissing;
    return nullptr;
  }
  // ITypeInfo::Invoke calls through the vtable, so it needs the interface half.
  HREFTYPE VtableRef = 0;
  if (Default.Kind != TKIND_DISPATCH ||
      FAILED(Record->Dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &VtableRef)) ||
      FAILED(Record->Dispatch->GetRefTypeInfo(VtableRef, Record->Interface.Out()))) {
    Failure = cBadTypeInfo;
    return nullptr;
  }
  return Record;
}

// Out of memory while loading leaves the server unusable: no record.
void Load() noexcept {
  Contain([] {
    std::wstring Failure;
    std::unique_ptr<TClassRecord> Record = LoadRecord(Failure);
    if (Record)
      GRecord = Record.release();
    else
      GLoadFailure = Failure;
  });
}

}  // namespace

const TClassRecord* ClassRecord() noexcept {
  if (Contain([] { std::call_once(GLoadOnce, Load); }) != 0) return nullptr;
  return GRecord;
}

const std::wstring& LoadFailure() noexcept { return GLoadFailure; }

void LockModule() noexcept { ++GLiveObjects; }
void UnlockModule() noexcept { --GLiveObjects; }
long FactoryAddRef() noexcept { return ++GFactoryRefs; }
long FactoryRelease() noexcept { return --GFactoryRefs; }

HRESULT ReportError(HRESULT Code, REFGUID Guid, const wchar_t* Source, const wchar_t* Description,
                    DWORD HelpContext) noexcept {
  TComPtr<ICreateErrorInfo> Create;
  if (FAILED(CreateErrorInfo(Create.Out())) || !Create) return E_UNEXPECTED;
  Create->SetGUID(Guid);
  Create->SetSource(const_cast<LPOLESTR>(Source));
  Create->SetDescription(const_cast<LPOLESTR>(Description));
  Create->SetHelpContext(HelpContext);
  TComPtr<IErrorInfo> Info;
  if (FAILED(Create->QueryInterface(IID_IErrorInfo, Info.OutVoid())) || !Info) return E_UNEXPECTED;
  SetErrorInfo(0, Info.Get());
  return Code;
}

}  // namespace zelm::server

using namespace zelm::server;

extern "C" BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved) {
  switch (Reason) {
    case DLL_PROCESS_ATTACH:
      GModule = Instance;  // thread notifications stay on: the static runtime needs them
      break;
    case DLL_PROCESS_DETACH:
      // Unloaded by FreeLibrary (COM found DllCanUnloadNow S_OK): give back the type
      // library and the window class. At process exit the system cleans up instead.
      if (Reserved == nullptr) {
        zelm::UnregisterMessageWindowClass(Instance);
        // The record is a plain pointer, not an owner, so that nothing of it runs at
        // process exit.
        delete GRecord;  // NOLINT(cppcoreguidelines-owning-memory): given back here alone
        GRecord = nullptr;
      }
      break;
    default: break;
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() { return GLiveObjects == 0 && GFactoryRefs == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID Clsid, REFIID Iid, LPVOID* Out) {
  if (Out == nullptr) return E_POINTER;
  *Out = nullptr;
  if (!IsEqualCLSID(Clsid, CLSID_RRExtension)) return CLASS_E_CLASSNOTAVAILABLE;
  if (ClassRecord() == nullptr) {
    ReportError(CLASS_E_CLASSNOTAVAILABLE, GUID_NULL, L"ZelmKvel", LoadFailure().c_str(), 0);
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return ClassFactory()->QueryInterface(Iid, Out);
}
