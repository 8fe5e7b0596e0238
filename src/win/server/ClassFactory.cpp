// The one class factory of the server. It lives as long as the DLL: Release only
// lowers the count that DllCanUnloadNow looks at.
#include "win/com/ErrorBoundary.h"
#include "win/extension/RRExtension.h"
#include "win/server/Server.h"

namespace zelm::server {
namespace {

// One static object, never deleted through an interface.
class TClassFactory final : public IClassFactory {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
 public:
  STDMETHODIMP QueryInterface(REFIID Iid, void** Out) override {
    if (Out == nullptr) return E_POINTER;
    if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IClassFactory)) {
      *Out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *Out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(FactoryAddRef()); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(FactoryRelease()); }

  STDMETHODIMP CreateInstance(IUnknown* Outer, REFIID Iid, void** Out) override {
    if (Out == nullptr) return E_POINTER;
    *Out = nullptr;
    // Aggregation only hands the outer object our own IUnknown.
    if (Outer != nullptr && !IsEqualIID(Iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    const TClassRecord* Record = ClassRecord();
    if (Record == nullptr) return E_UNEXPECTED;
    // No object could be made: the failure's code (out of memory: E_UNEXPECTED), and
    // nothing is shown to the user.
    HRESULT Created = E_UNEXPECTED;
    const HRESULT Failure = Contain([&] { Created = TRRExtension::Create(*Record, Outer, Iid, Out); });
    return Failure != 0 ? Failure : Created;
  }

  STDMETHODIMP LockServer(BOOL Lock) override {
    const HRESULT Result = CoLockObjectExternal(this, Lock, TRUE);
    if (Lock)
      LockModule();
    else
      UnlockModule();
    return Result;
  }
};

TClassFactory GFactory;

}  // namespace

IClassFactory* ClassFactory() noexcept { return &GFactory; }

}  // namespace zelm::server
