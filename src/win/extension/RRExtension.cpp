#include "win/extension/RRExtension.h"

#include <memory>
#include <vector>

#include "ZelmKvelVersion.h"
#include "core/host/Errors.h"
#include "win/com/ErrorBoundary.h"
#include "win/host/DispatchHost.h"

namespace zelm {
namespace {

// The answer as a new BSTR; the empty text stays a null BSTR.
BSTR NewBstr(std::u16string_view Value) { return Value.empty() ? nullptr : TBstr(Value).Detach(); }

// A pointer the method needs: null fails the call with E_POINTER.
template <class T>
T& Needed(T* Pointer) {
  if (Pointer == nullptr) throw EZelmError(E_POINTER, u"Invalid pointer");
  return *Pointer;
}

THostRef HostFor(IDispatch* Dispatch, TTraceLog& Trace, TOutsideCallWatch& Watch) {
  if (Dispatch == nullptr) return nullptr;
  return std::make_shared<TDispatchHost>(Dispatch, Trace, Watch);
}

uint32_t Address(const void* Object) noexcept { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Object)); }

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
  const auto Object = TComPtr<IUnknown>::Adopt(&(new TRRExtension(Record, Outer))->FInner);
  return Object->QueryInterface(Iid, Out);
}

// The one table of the interfaces the object has: what QueryInterface hands out and
// what InterfaceSupportsErrorInfo says yes to. IUnknown is the object's own.
IUnknown* TRRExtension::Interface(REFIID Iid) noexcept {
  struct TEntry {
    const IID& Iid;
    IUnknown* Answer;
  };
  const TEntry Table[] = {
      {IID_IUnknown, &FInner},
      {IID_IDispatch, static_cast<IRRExtension*>(this)},
      {IID_IRRExtension, static_cast<IRRExtension*>(this)},
      {IID_ISupportErrorInfo, static_cast<ISupportErrorInfo*>(this)},
      {IID_IProvideClassInfo, static_cast<IProvideClassInfo*>(this)},
  };
  for (const TEntry& Entry : Table)
    if (IsEqualIID(Iid, Entry.Iid)) return Entry.Answer;
  return nullptr;
}

STDMETHODIMP TRRExtension::TInner::QueryInterface(REFIID Iid, void** Out) {
  if (Out == nullptr) return E_POINTER;
  IUnknown* Answer = FOwner.Interface(Iid);
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

template <class TBody>
HRESULT TRRExtension::Guarded(TBody&& Body) noexcept {
  ++FDepth;
  const HRESULT Result = Guard(Body, [this](int32_t Code, const char16_t* Message, uint32_t HelpContext) noexcept {
    return server::ReportError(Code, IID_IRRExtension, FRecord.ProgId.c_str(), WideText(Message), HelpContext);
  });
  // The last thing the method does: the reference it may let go can be the last one.
  if (--FDepth == 0 && FKeptAlive) TComPtr<IUnknown> LetGo = std::move(FKeptAlive);
  return Result;
}

void TRRExtension::BeforeOutsideCall() noexcept {
  if (!FKeptAlive) FKeptAlive = TComPtr<IUnknown>(&FInner);
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
  Flags = WithoutPutBits(Flags);
  DISPPARAMS NoArguments = {nullptr, nullptr, 0, 0};
  DISPPARAMS& Arguments = Params ? *Params : NoArguments;
  // The label request, the call a skin makes most, is answered here in the shapes
  // hosts give it; any other shape, and every other member, goes to the type library's
  // dispatcher, so its conversions and errors stay the dispatcher's.
  if (IsLabelCall(Member, Flags, Arguments, Result)) return InvokeReturnLabel(Arguments, *Result, Exception);
  return InvokeGeneric(Member, Flags, Arguments, Result, Exception, ArgumentError);
}

// We have no properties: a put keeps only its put bits and so finds no member.
WORD TRRExtension::WithoutPutBits(WORD Flags) noexcept {
  constexpr WORD cPut = DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
  return (Flags & cPut) ? static_cast<WORD>(Flags & cPut) : Flags;
}

// ReturnLabel called as a method (or a method-or-get), with two positional BSTRs, by
// value or by reference, and a place for the answer.
bool TRRExtension::IsLabelCall(DISPID Member, WORD Flags, const DISPPARAMS& Params, const VARIANT* Result) noexcept {
  if (Member != cReturnLabelId || Result == nullptr) return false;
  if (Flags != DISPATCH_METHOD && Flags != (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) return false;
  if (Params.cArgs != 2 || Params.cNamedArgs != 0 || Params.rgvarg == nullptr) return false;
  for (UINT I = 0; I < 2; ++I) {
    const VARIANTARG& Arg = Params.rgvarg[I];
    if (V_VT(&Arg) != VT_BSTR && (V_VT(&Arg) != (VT_BSTR | VT_BYREF) || V_BSTRREF(&Arg) == nullptr)) return false;
  }
  return true;
}

// The type library's dispatcher. VBScript hands a variable to a by-reference
// parameter as VARIANT* (VT_VARIANT | VT_BYREF), which the dispatcher refuses for
// BSTR*. We never write to our in/out parameters, so passing the referenced value
// itself is the same call.
HRESULT TRRExtension::InvokeGeneric(DISPID Member, WORD Flags, DISPPARAMS& Params, VARIANT* Result,
                                    EXCEPINFO* Exception, UINT* ArgumentError) noexcept {
  auto ByVariant = [](const VARIANTARG& Arg) {
    return V_VT(&Arg) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&Arg) != nullptr;
  };
  bool AnyByVariant = false;
  for (UINT I = 0; I < Params.cArgs && Params.rgvarg; ++I) AnyByVariant = AnyByVariant || ByVariant(Params.rgvarg[I]);
  IRRExtension* Self = this;
  if (!AnyByVariant) return FRecord.Interface->Invoke(Self, Member, Flags, &Params, Result, Exception, ArgumentError);

  // The values are copied, not shared: the dispatcher takes a by-value argument for an
  // in/out parameter as the caller's to overwrite, and Wine's writes its copy back
  // into it, freeing the string there. Shared, that was the script's own string,
  // which the script then used and freed again.
  std::vector<TVariant> Arguments;
  if (Contain([&] { Arguments.resize(Params.cArgs); }) != 0) return E_OUTOFMEMORY;
  // TVariant is exactly a VARIANT: the array can be handed over as it is.
  static_assert(sizeof(TVariant) == sizeof(VARIANTARG));
  for (UINT I = 0; I < Params.cArgs; ++I) {
    VARIANTARG* Source = &Params.rgvarg[I];
    if (ByVariant(*Source)) Source = V_VARIANTREF(Source);
    if (const HRESULT Copied = VariantCopy(&Arguments[I].Get(), Source); FAILED(Copied)) return Copied;
  }
  DISPPARAMS Unwrapped = Params;
  Unwrapped.rgvarg = &Arguments.data()->Get();
  return FRecord.Interface->Invoke(Self, Member, Flags, &Unwrapped, Result, Exception, ArgumentError);
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

STDMETHODIMP TRRExtension::InterfaceSupportsErrorInfo(REFIID Iid) { return Interface(Iid) ? S_OK : S_FALSE; }

STDMETHODIMP TRRExtension::GetClassInfo(ITypeInfo** Info) {
  if (Info == nullptr) return E_POINTER;
  *Info = TComPtr<ITypeInfo>(FRecord.CoClass).Detach();
  return S_OK;
}

}  // namespace zelm
