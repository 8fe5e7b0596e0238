// The server's load and unload, its counts, and the entry points that hand out the
// class factory and tell COM whether the DLL may go.
#include "win/server/Server.h"

#include <atomic>
#include <memory>
#include <new>

#include "ZelmKvel_TLB.h"
#include "win/com/ErrorBoundary.h"
#include "win/platform/Names.h"
#include "win/server/Runtime.h"
#include "win/window/MessageWindow.h"

namespace zelm::server {
namespace {

HMODULE GModule = nullptr;
std::atomic<long> GLiveObjects{0};  // objects alive plus server locks
std::atomic<long> GFactoryRefs{0};

// The class record once made. Until then each use tries to make it: a failure that may
// pass (out of memory) must not keep the class from a host for good.
std::atomic<TClassRecord*> GRecord{nullptr};

constexpr const wchar_t* cTypeInfoMissing = L"Type information missing for class TRRExtension";
constexpr const wchar_t* cBadTypeInfo = L"Incorrect type information for class TRRExtension";
constexpr const wchar_t* cDispatchMissing = L"Dispatch interface missing from class TRRExtension";

// A call into the type library failed: out of memory may pass and is thrown as such;
// any other failure is the library's own.
bool Failed(HRESULT Result) {
  if (Result == E_OUTOFMEMORY) throw std::bad_alloc();
  return FAILED(Result);
}

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

// Attributes of type information that was read already: only memory can fail them.
TTypeKind ReadTypeKind(ITypeInfo* Info) {
  const TTypeAttr Attr(Info);
  if (!Attr) throw std::bad_alloc();
  TTypeKind Out;
  Out.Kind = Attr->typekind;
  Out.Guid = Attr->guid;
  Out.ImplTypes = Attr->cImplTypes;
  return Out;
}

// Builds the class registration record from the type library in our own file. When the
// library does not describe the class as we implement it, answers null and sets Wrong;
// a failure that may pass (out of memory) is thrown.
std::unique_ptr<TClassRecord> LoadRecord(const wchar_t*& Wrong) {
  auto Record = std::make_unique<TClassRecord>();
  Record->FileName = ModuleFileName();
  if (Record->FileName.empty()) throw std::bad_alloc();  // the system could not say it now: may pass
  if (Failed(LoadTypeLibEx(Record->FileName.c_str(), REGKIND_NONE, Record->Library.Out())) ||
      Failed(Record->Library->GetTypeInfoOfGuid(CLSID_RRExtension, Record->CoClass.Out()))) {
    Wrong = cTypeInfoMissing;
    return nullptr;
  }
  const TTypeKind CoClass = ReadTypeKind(Record->CoClass.Get());

  TBstr LibraryName, ClassName, Description;
  if (Failed(Record->Library->GetDocumentation(-1, LibraryName.Out(), nullptr, nullptr, nullptr)) ||
      Failed(Record->CoClass->GetDocumentation(MEMBERID_NIL, ClassName.Out(), Description.Out(), nullptr, nullptr))) {
    Wrong = cBadTypeInfo;
    return nullptr;
  }
  // Every library and class has a name: without one, the system ran out of memory.
  if (LibraryName.IsNull() || ClassName.IsNull()) throw std::bad_alloc();
  Record->Description = Description.Text();
  // The server's name (the library's) and the class's: "ZelmKvel.RRExtension".
  Record->ProgId = LibraryName.Text() + L"." + ClassName.Text();

  // The default interface, as the coclass lists it: the dispatch half of IRRExtension
  // (what is no coclass lists none).
  for (UINT I = 0; I < CoClass.ImplTypes && !Record->Dispatch; ++I) {
    INT Flags = 0;
    HREFTYPE Ref = 0;
    if (Failed(Record->CoClass->GetImplTypeFlags(I, &Flags))) continue;
    if (!(Flags & IMPLTYPEFLAG_FDEFAULT) || (Flags & IMPLTYPEFLAG_FSOURCE)) continue;
    if (Failed(Record->CoClass->GetRefTypeOfImplType(I, &Ref))) continue;
    if (Failed(Record->CoClass->GetRefTypeInfo(Ref, Record->Dispatch.Out()))) Record->Dispatch.Reset();
  }
  if (!Record->Dispatch) {
    Wrong = cBadTypeInfo;
    return nullptr;
  }
  const TTypeKind Default = ReadTypeKind(Record->Dispatch.Get());
  // The object implements IRRExtension and nothing else of the library's.
  if (!IsEqualGUID(Default.Guid, IID_IRRExtension)) {
    Wrong = cDispatchMissing;
    return nullptr;
  }
  // ITypeInfo::Invoke calls through the vtable, so it needs the interface half.
  HREFTYPE VtableRef = 0;
  if (Default.Kind != TKIND_DISPATCH ||
      Failed(Record->Dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &VtableRef)) ||
      Failed(Record->Dispatch->GetRefTypeInfo(VtableRef, Record->Interface.Out()))) {
    Wrong = cBadTypeInfo;
    return nullptr;
  }
  return Record;
}

}  // namespace

const TClassRecord* ClassRecord(TLoadFailure& Failure) noexcept {
  if (const TClassRecord* Made = GRecord.load(std::memory_order_acquire)) return Made;
  // Without a lock: of two threads that both make one, the first keeps its record.
  std::unique_ptr<TClassRecord> Record;
  const wchar_t* Wrong = nullptr;
  if (Contain([&] { Record = LoadRecord(Wrong); }) != 0) {
    Failure = {E_OUTOFMEMORY, WideText(cOutOfMemoryText)};
    return nullptr;
  }
  if (!Record) {
    Failure = {CLASS_E_CLASSNOTAVAILABLE, Wrong};
    return nullptr;
  }
  TClassRecord* Expected = nullptr;
  if (GRecord.compare_exchange_strong(Expected, Record.get(), std::memory_order_acq_rel)) return Record.release();
  return Expected;
}

const TClassRecord* ClassRecord() noexcept {
  TLoadFailure Ignored;
  return ClassRecord(Ignored);
}

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
      GModule = Instance;  // thread notifications stay on: the runtime's records need them
      break;
    case DLL_PROCESS_DETACH:
      // Unloaded by FreeLibrary (COM found DllCanUnloadNow S_OK): give back the type
      // library and the window class. At process exit the system cleans up instead.
      if (Reserved == nullptr) {
        zelm::UnregisterMessageWindowClass(Instance);
        // The record is a plain pointer, not an owner, so that nothing of it runs at
        // process exit.
        delete GRecord.exchange(nullptr);  // NOLINT(cppcoreguidelines-owning-memory): given back here alone
        RuntimeUnloading();
      }
      break;
    case DLL_THREAD_ATTACH:
    case DLL_THREAD_DETACH: ThreadStartsOrEnds(); break;
    default: break;
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() { return GLiveObjects == 0 && GFactoryRefs == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID Clsid, REFIID Iid, LPVOID* Out) {
  if (Out == nullptr) return E_POINTER;
  *Out = nullptr;
  if (!IsEqualCLSID(Clsid, CLSID_RRExtension)) return CLASS_E_CLASSNOTAVAILABLE;
  TLoadFailure Failure;
  if (ClassRecord(Failure) == nullptr) {
    ReportError(Failure.Code, GUID_NULL, L"ZelmKvel", Failure.Description, 0);
    return Failure.Code;
  }
  return ClassFactory()->QueryInterface(Iid, Out);
}
