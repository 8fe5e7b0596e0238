#include "win/extension/RRExtension.h"

#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "ZelmKvelVersion.h"
#include "core/host/Errors.h"
#include "win/host/DispatchHost.h"

namespace zelm {
namespace {

constexpr HRESULT cPointerError = E_POINTER;


// The answer as a new BSTR; the empty text stays a null BSTR.
BSTR NewBstr(std::u16string_view Value) { return Value.empty() ? nullptr : TBstr(Value).Detach(); }

// A pointer the method needs: null fails the call with E_POINTER.
template <class T>
T& Needed(T* Pointer) {
  if (Pointer == nullptr) throw EZelmError(cPointerError, u"Invalid pointer");
  return *Pointer;
}

THostRef HostFor(IDispatch* Dispatch, TTraceLog& Trace, TOutsideCallWatch& Watch) {
  if (Dispatch == nullptr) return nullptr;
  return std::make_shared<TDispatchHost>(Dispatch, Trace, Watch);
}

uint32_t Address(const void* Object) noexcept { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Object)); }

const wchar_t* Wide(const std::u16string& Value) noexcept { return reinterpret_cast<const wchar_t*>(Value.c_str()); }

}  // namespace

// --- Lifetime --------------------------------------------------------------------------

TRRExtension::TLiveObject::TLiveObject() noexcept { server::LockModule(); }
TRRExtension::TLiveObject::~TLiveObject() { server::UnlockModule(); }

TRRExtension::TRRExtension(const server::TClassRecord& Record, IUnknown* Outer) noexcept
    : FInner(*this), FOuter(Outer ? Outer : &FInner), FRecord(Record), FCore(FLink, FText, FTrace) {
  FLink.Attach(FCore);
  FTrace.Trace(TTraceLine(u"object ").Hex(Address(this)).Add(u" created (ZelmKvel " ZELM_VERSION_TEXT_U ")"));
}

// The core lets go of the host's objects, then the link destroys the hidden window;
// nothing is sent to the data server.
TRRExtension::~TRRExtension() {
  // Nothing that arrives on the hidden window from now on reaches the core, which the
  // members' destruction takes apart while the host's code (its objects' Release) runs.
  FLink.Detach();
  FTrace.Trace(TTraceLine(u"object ").Hex(Address(this)).Add(u" released"));
}

HRESULT TRRExtension::Create(const server::TClassRecord& Record, IUnknown* Outer, REFIID Iid, void** Out) {
  // Count 1, held here: the object goes again if QueryInterface fails.
  const TComPtr<IUnknown> Object(&(new TRRExtension(Record, Outer))->FInner);
  return Object->QueryInterface(Iid, Out);
}

STDMETHODIMP TRRExtension::TInner::QueryInterface(REFIID Iid, void** Out) {
  if (Out == nullptr) return E_POINTER;
  IUnknown* Answer = nullptr;
  if (IsEqualIID(Iid, IID_IUnknown))
    Answer = this;
  else if (IsEqualIID(Iid, IID_IDispatch) || IsEqualIID(Iid, IID_IRRExtension))
    Answer = static_cast<IRRExtension*>(&FOwner);
  else if (IsEqualIID(Iid, IID_ISupportErrorInfo))
    Answer = static_cast<ISupportErrorInfo*>(&FOwner);
  else if (IsEqualIID(Iid, IID_IProvideClassInfo))
    Answer = static_cast<IProvideClassInfo*>(&FOwner);
  *Out = Answer;
  if (Answer == nullptr) return E_NOINTERFACE;
  Answer->AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) TRRExtension::TInner::AddRef() { return static_cast<ULONG>(++FOwner.FRefCount); }

STDMETHODIMP_(ULONG) TRRExtension::TInner::Release() {
  const LONG Count = --FOwner.FRefCount;
  if (Count == 0) delete &FOwner;
  return static_cast<ULONG>(Count);
}

STDMETHODIMP TRRExtension::QueryInterface(REFIID Iid, void** Out) { return FOuter->QueryInterface(Iid, Out); }
STDMETHODIMP_(ULONG) TRRExtension::AddRef() { return FOuter->AddRef(); }
STDMETHODIMP_(ULONG) TRRExtension::Release() { return FOuter->Release(); }

// --- Error convention ------------------------------------------------------------------

HRESULT TRRExtension::Failed(HRESULT Code, const wchar_t* Description, DWORD HelpContext) noexcept {
  return server::ReportError(Code, IID_IRRExtension, FRecord.ProgId.c_str(), Description, HelpContext);
}

template <class TBody>
HRESULT TRRExtension::Guarded(TBody&& Body) noexcept {
  ++FDepth;
  HRESULT Result = S_OK;
  try {
    Body();
  } catch (const EZelmError& Error) {
    Result = Failed(Error.Code < 0 ? Error.Code : E_UNEXPECTED, Wide(Error.Message), Error.HelpContext);
  } catch (const std::bad_alloc&) {
    Result = Failed(E_UNEXPECTED, L"Out of memory", 0);
  } catch (const std::exception& Error) {
    wchar_t Description[256] = {};
    const char* What = Error.what();
    for (std::size_t I = 0; What && What[I] && I + 1 < std::size(Description); ++I)
      Description[I] = static_cast<unsigned char>(What[I]);
    Result = Failed(E_UNEXPECTED, Description, 0);
  } catch (...) {
    Result = Failed(E_UNEXPECTED, L"Unexpected failure", 0);
  }
  // The last thing the method does: the reference it may let go can be the last one.
  if (--FDepth == 0 && FKeptAlive) TComPtr<IUnknown> LetGo = std::move(FKeptAlive);
  return Result;
}

void TRRExtension::BeforeOutsideCall() noexcept {
  if (!FKeptAlive) FKeptAlive = TComPtr<IUnknown>::Share(&FInner);
}

// --- IDispatch -------------------------------------------------------------------------

STDMETHODIMP TRRExtension::GetTypeInfoCount(UINT* Count) {
  if (Count == nullptr) return E_POINTER;
  *Count = 1;
  return S_OK;
}

STDMETHODIMP TRRExtension::GetTypeInfo(UINT Index, LCID, ITypeInfo** Info) {
  if (Info == nullptr) return E_POINTER;
  *Info = nullptr;
  if (Index != 0) return DISP_E_BADINDEX;
  *Info = TComPtr<ITypeInfo>(FRecord.Dispatch).Detach();
  return S_OK;
}

STDMETHODIMP TRRExtension::GetIDsOfNames(REFIID, LPOLESTR* Names, UINT NameCount, LCID, DISPID* Ids) {
  return DispGetIDsOfNames(FRecord.Interface.Get(), Names, NameCount, Ids);
}

STDMETHODIMP TRRExtension::Invoke(DISPID Member, REFIID Iid, LCID, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                                  EXCEPINFO* Exception, UINT* ArgumentError) {
  if (!IsEqualIID(Iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  // We have no properties: a put keeps only its put bits and so finds no member.
  constexpr WORD cPut = DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
  if (Flags & cPut) Flags &= cPut;

  DISPPARAMS NoArguments = {nullptr, nullptr, 0, 0};
  if (Params == nullptr) Params = &NoArguments;

  // The label request, the call a skin makes most, is answered here in the shapes
  // hosts give it (two positional BSTRs, by value or by reference, a place for the
  // answer); any other shape, and every other member, goes to the type library's
  // dispatcher below, so its conversions and errors stay the dispatcher's.
  if (Member == cReturnLabelId && Result != nullptr && IsLabelCallShape(Flags, *Params))
    return InvokeReturnLabel(*Params, *Result, Exception);

  // VBScript hands a variable to a by-reference parameter as VARIANT* (VT_VARIANT |
  // VT_BYREF), which the type library's dispatcher refuses for BSTR*. We never write
  // to our in/out parameters, so passing the referenced value itself is the same call.
  bool ByVariant = false;
  for (UINT I = 0; I < Params->cArgs && Params->rgvarg; ++I)
    if (V_VT(&Params->rgvarg[I]) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&Params->rgvarg[I]) != nullptr)
      ByVariant = true;
  if (!ByVariant)
    return FRecord.Interface->Invoke(static_cast<IRRExtension*>(this), Member, Flags, Params, Result, Exception,
                                     ArgumentError);

  // The values are copied, not shared: the dispatcher takes a by-value argument for an
  // in/out parameter as the caller's to overwrite, and Wine's writes its copy back
  // into it, freeing the string there. Shared, that was the script's own string,
  // which the script then used and freed again.
  std::vector<TVariant> Arguments;
  try {
    Arguments.resize(Params->cArgs);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  // TVariant is exactly a VARIANT: the array can be handed over as it is.
  static_assert(sizeof(TVariant) == sizeof(VARIANTARG));
  for (UINT I = 0; I < Params->cArgs; ++I) {
    VARIANTARG* Source = &Params->rgvarg[I];
    if (V_VT(Source) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(Source) != nullptr) Source = V_VARIANTREF(Source);
    if (const HRESULT Copied = VariantCopy(&Arguments[I].Get(), Source); FAILED(Copied)) return Copied;
  }
  DISPPARAMS Unwrapped = *Params;
  Unwrapped.rgvarg = &Arguments.data()->Get();
  return FRecord.Interface->Invoke(static_cast<IRRExtension*>(this), Member, Flags, &Unwrapped, Result, Exception,
                                   ArgumentError);
}

bool TRRExtension::IsLabelCallShape(WORD Flags, const DISPPARAMS& Params) noexcept {
  if (Flags != DISPATCH_METHOD && Flags != (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) return false;
  if (Params.cArgs != 2 || Params.cNamedArgs != 0 || Params.rgvarg == nullptr) return false;
  for (UINT I = 0; I < 2; ++I) {
    const VARIANTARG& Arg = Params.rgvarg[I];
    if (V_VT(&Arg) != VT_BSTR && (V_VT(&Arg) != (VT_BSTR | VT_BYREF) || V_BSTRREF(&Arg) == nullptr)) return false;
  }
  return true;
}

// As the dispatcher would: the arguments (last first in rgvarg) go by reference to the
// method, its answer into Result (a BSTR, null after a failure); a failure comes back as
// DISP_E_EXCEPTION with the error-info object's contents in Exception.
HRESULT TRRExtension::InvokeReturnLabel(DISPPARAMS& Params, VARIANT& Result, EXCEPINFO* Exception) noexcept {
  auto Reference = [](VARIANTARG& Arg) { return V_VT(&Arg) == VT_BSTR ? &V_BSTR(&Arg) : V_BSTRREF(&Arg); };
  BSTR Answer = nullptr;
  const HRESULT Done = TRRExtension::ReturnLabel(Reference(Params.rgvarg[1]), Reference(Params.rgvarg[0]), &Answer);
  // The answer, null after a failure, is the result either way.
  V_VT(&Result) = VT_BSTR;
  V_BSTR(&Result) = Answer;
  if (SUCCEEDED(Done)) return S_OK;
  if (Exception != nullptr) {
    *Exception = EXCEPINFO{};
    Exception->scode = Done;
    TComPtr<IErrorInfo> Info;
    if (GetErrorInfo(0, Info.Out()) == S_OK && Info) {
      Info->GetDescription(&Exception->bstrDescription);
      Info->GetHelpFile(&Exception->bstrHelpFile);
      Info->GetSource(&Exception->bstrSource);
      Info->GetHelpContext(&Exception->dwHelpContext);
    }
  }
  return DISP_E_EXCEPTION;
}

// --- IRRExtension ----------------------------------------------------------------------

STDMETHODIMP TRRExtension::ProcessCommand(BSTR* CMD, IDispatch**, short* Result) {
  return Guarded([&] {
    Needed(Result) = ecNone;
    *Result = FCore.ProcessCommand(BstrText(Needed(CMD)));
  });
}

STDMETHODIMP TRRExtension::ReturnLabel(BSTR* LabelCode, BSTR*, BSTR* Result) {
  return Guarded([&] {
    Needed(Result) = nullptr;
    // The answer views the core's state until its next call: copy it at once.
    *Result = NewBstr(FCore.ReturnLabel(BstrText(Needed(LabelCode))));
  });
}

STDMETHODIMP TRRExtension::ReturnIndicatorEx(BSTR*, BSTR* Result) {
  return Guarded([&] {
    Needed(Result) = nullptr;
    *Result = NewBstr(TRRExtensionCore::ReturnIndicatorEx());
  });
}

STDMETHODIMP TRRExtension::IndicatorClick(BSTR*) {
  return Guarded([] {});
}

STDMETHODIMP TRRExtension::ReturnSlider(BSTR*, BSTR* Result) {
  return Guarded([&] {
    Needed(Result) = nullptr;
    *Result = NewBstr(TRRExtensionCore::ReturnSlider());
  });
}

STDMETHODIMP TRRExtension::SetSlider(BSTR*, LONG*, BSTR*) {
  return Guarded([] {});
}

STDMETHODIMP TRRExtension::Init(IDispatch* RRAPI) {
  return Guarded([&] {
    BeforeOutsideCall();  // the host object it replaces goes, and its Release is the host's code
    FCore.Init(HostFor(RRAPI, FTrace, *this));
  });
}

STDMETHODIMP TRRExtension::CommonListItemCount(IDispatch*, LONG* Result) {
  return Guarded([&] { Needed(Result) = FCore.CommonListItemCount(); });
}

STDMETHODIMP TRRExtension::CommonListItem(IDispatch*, LONG* ItemIndex, BSTR* Result) {
  return Guarded([&] {
    Needed(Result) = nullptr;
    *Result = NewBstr(FCore.CommonListItem(Needed(ItemIndex)));
  });
}

STDMETHODIMP TRRExtension::OnLoadSkin(IDispatch* Skin) {
  return Guarded([&] {
    BeforeOutsideCall();  // as for Init: a skin object may go
    FCore.OnLoadSkin(HostFor(Skin, FTrace, *this));
  });
}

STDMETHODIMP TRRExtension::OnUnloadSkin(IDispatch*) {
  return Guarded([&] {
    BeforeOutsideCall();
    FCore.OnUnloadSkin();
  });
}

STDMETHODIMP TRRExtension::Initialize(BSTR ZelmDSPath) {
  return Guarded([&] { FCore.Initialize(BstrText(ZelmDSPath)); });
}

STDMETHODIMP TRRExtension::Enabled(VARIANT_BOOL) {
  return Guarded([] {});
}

STDMETHODIMP TRRExtension::Property(BSTR*) {
  return Guarded([] {});
}

// --- ISupportErrorInfo, IProvideClassInfo ----------------------------------------------

STDMETHODIMP TRRExtension::InterfaceSupportsErrorInfo(REFIID Iid) {
  const bool Ours = IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IDispatch) ||
                    IsEqualIID(Iid, IID_IRRExtension) || IsEqualIID(Iid, IID_ISupportErrorInfo) ||
                    IsEqualIID(Iid, IID_IProvideClassInfo);
  return Ours ? S_OK : S_FALSE;
}

STDMETHODIMP TRRExtension::GetClassInfo(ITypeInfo** Info) {
  if (Info == nullptr) return E_POINTER;
  *Info = TComPtr<ITypeInfo>(FRecord.CoClass).Detach();
  return S_OK;
}

}  // namespace zelm
