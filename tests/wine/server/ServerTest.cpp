// The DLL loaded by hand, as COM loads it: the class object, the factory's counts and
// aggregation, the unload rule, and the type library it carries.
#include <gtest/gtest.h>

#include <memory>

#include "tests/support/wine/Com.h"
#include "tests/wine/DllSuite.h"

namespace zelm::wine {
namespace {

class Server : public TDllSuite {
 protected:
  void SetUp() override {
    ASSERT_NE(Dll->Module, nullptr) << "cannot load ZelmKvel.dll";
    ASSERT_TRUE(Dll->GetClassObject && Dll->CanUnloadNow && Dll->RegisterServer && Dll->UnregisterServer);
    // Every test leaves nothing alive behind it.
    ASSERT_EQ(Dll->CanUnloadNow(), S_OK);
  }
  void TearDown() override { EXPECT_EQ(Dll->CanUnloadNow(), S_OK) << "an object, lock or factory reference leaked"; }

  static TComPtr<IClassFactory> Factory() {
    TComPtr<IClassFactory> Factory;
    EXPECT_EQ(Dll->GetClassObject(CLSID_RRExtension, IID_IClassFactory, Factory.OutVoid()), S_OK);
    return Factory;
  }
};

TEST_F(Server, ClassObjectOnlyForOurClassAndItsInterfaces) {
  void* Out = reinterpret_cast<void*>(1);
  EXPECT_EQ(Dll->GetClassObject(IID_IDispatch, IID_IClassFactory, &Out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(Out, nullptr);
  Out = reinterpret_cast<void*>(1);
  EXPECT_EQ(Dll->GetClassObject(IID_IRRExtension, IID_IClassFactory, &Out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(Out, nullptr);
  EXPECT_EQ(Dll->GetClassObject(CLSID_RRExtension, IID_IClassFactory, nullptr), E_POINTER);

  Out = reinterpret_cast<void*>(1);
  EXPECT_EQ(Dll->GetClassObject(CLSID_RRExtension, IID_IDispatch, &Out), E_NOINTERFACE);
  EXPECT_EQ(Out, nullptr);

  TComPtr<IUnknown> Unknown;
  ASSERT_EQ(Dll->GetClassObject(CLSID_RRExtension, IID_IUnknown, Unknown.OutVoid()), S_OK);
  TComPtr<IClassFactory> AsFactory;
  EXPECT_EQ(Unknown->QueryInterface(IID_IClassFactory, AsFactory.OutVoid()), S_OK);
  // One factory for the whole server.
  EXPECT_EQ(static_cast<IUnknown*>(AsFactory.Get()), Unknown.Get());
  EXPECT_EQ(Factory().Get(), AsFactory.Get());
}

TEST_F(Server, CanUnloadNowWaitsForFactoryReferencesObjectsAndLocks) {
  {
    TComPtr<IClassFactory> Held = Factory();
    EXPECT_EQ(Dll->CanUnloadNow(), S_FALSE);  // a client holds the factory
    TComPtr<IRRExtension> Object;
    ASSERT_EQ(Held->CreateInstance(nullptr, IID_IRRExtension, Object.OutVoid()), S_OK);
    Held.Reset();
    EXPECT_EQ(Dll->CanUnloadNow(), S_FALSE);  // an object lives
    TComPtr<IRRExtension> Second(Object);
    Object.Reset();
    EXPECT_EQ(Dll->CanUnloadNow(), S_FALSE);  // still referenced
  }
  EXPECT_EQ(Dll->CanUnloadNow(), S_OK);

  {
    TComPtr<IClassFactory> Held = Factory();
    EXPECT_EQ(Held->LockServer(TRUE), S_OK);
    Held.Reset();
    EXPECT_EQ(Dll->CanUnloadNow(), S_FALSE);  // locked
    ASSERT_EQ(Dll->GetClassObject(CLSID_RRExtension, IID_IClassFactory, Held.OutVoid()), S_OK);
    EXPECT_EQ(Held->LockServer(FALSE), S_OK);
  }
  EXPECT_EQ(Dll->CanUnloadNow(), S_OK);
}

TEST_F(Server, FactoryMakesANewObjectEachTime) {
  TComPtr<IClassFactory> Held = Factory();
  TComPtr<IUnknown> First, Second;
  ASSERT_EQ(Held->CreateInstance(nullptr, IID_IRRExtension, First.OutVoid()), S_OK);
  ASSERT_EQ(Held->CreateInstance(nullptr, IID_IRRExtension, Second.OutVoid()), S_OK);
  TComPtr<IUnknown> FirstIdentity, SecondIdentity;
  First->QueryInterface(IID_IUnknown, FirstIdentity.OutVoid());
  Second->QueryInterface(IID_IUnknown, SecondIdentity.OutVoid());
  EXPECT_NE(FirstIdentity.Get(), SecondIdentity.Get());
  // A fresh object holds exactly the reference it was handed out with.
  EXPECT_EQ(First->Release(), 1u);  // FirstIdentity still holds one
  First.Detach();
}

TEST_F(Server, FactoryChecksItsArguments) {
  TComPtr<IClassFactory> Held = Factory();
  EXPECT_EQ(Held->CreateInstance(nullptr, IID_IRRExtension, nullptr), E_POINTER);

  // An interface the object does not have: the object is made and goes again.
  void* Out = reinterpret_cast<void*>(1);
  EXPECT_EQ(Held->CreateInstance(nullptr, IID_IClassFactory, &Out), E_NOINTERFACE);
  EXPECT_EQ(Out, nullptr);

  TScriptedHost Outer;  // any IUnknown serves as the would-be outer object
  Out = reinterpret_cast<void*>(1);
  EXPECT_EQ(Held->CreateInstance(&Outer, IID_IRRExtension, &Out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(Out, nullptr);
  EXPECT_EQ(Outer.Refs, 0);
}

// A minimal outer object that aggregates an RRExtension. On the test's stack, never
// deleted through an interface.
class TOuter final : public IUnknown {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
 public:
  STDMETHODIMP QueryInterface(REFIID Iid, void** Out) override {
    if (IsEqualIID(Iid, IID_IUnknown)) {
      *Out = this;
      AddRef();
      return S_OK;
    }
    return Inner ? Inner->QueryInterface(Iid, Out) : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++Refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--Refs); }
  long Refs = 1;
  IUnknown* Inner = nullptr;
};

TEST_F(Server, AggregatedObjectDelegatesToItsOuter) {
  TOuter Outer;
  {
    TComPtr<IClassFactory> Held = Factory();
    ASSERT_EQ(Held->CreateInstance(&Outer, IID_IUnknown, reinterpret_cast<void**>(&Outer.Inner)), S_OK);
  }
  ASSERT_NE(Outer.Inner, nullptr);
  EXPECT_EQ(Outer.Refs, 1);  // creating did not keep a reference on the outer

  TComPtr<IRRExtension> Extension;
  ASSERT_EQ(Outer.Inner->QueryInterface(IID_IRRExtension, Extension.OutVoid()), S_OK);
  EXPECT_EQ(Outer.Refs, 2);  // the interface's AddRef went to the outer
  // Identity is the outer's.
  TComPtr<IUnknown> Identity;
  ASSERT_EQ(Extension->QueryInterface(IID_IUnknown, Identity.OutVoid()), S_OK);
  EXPECT_EQ(Identity.Get(), static_cast<IUnknown*>(&Outer));
  Identity.Reset();
  // Other interfaces are reached through the outer too, and still work.
  TComPtr<ISupportErrorInfo> Support;
  EXPECT_EQ(Extension->QueryInterface(IID_ISupportErrorInfo, Support.OutVoid()), S_OK);
  Support.Reset();
  TBstr Code(L"ce_x"), Answer;
  EXPECT_EQ(Extension->ReturnIndicatorEx(Code.Ref(), Answer.Out()), S_OK);
  EXPECT_EQ(Answer.Text(), L"False");
  Extension.Reset();
  EXPECT_EQ(Outer.Refs, 1);

  EXPECT_EQ(Dll->CanUnloadNow(), S_FALSE);
  EXPECT_EQ(Outer.Inner->Release(), 0u);  // the outer lets go of the inner object
  Outer.Inner = nullptr;
}

TEST_F(Server, ObjectLetsGoOfTheHostWhenReleased) {
  TScriptedHost Host;
  TComPtr<IRRExtension> Object = Dll->Create();
  ASSERT_TRUE(Object);
  EXPECT_EQ(Object->AddRef(), 2u);
  EXPECT_EQ(Object->Release(), 1u);
  ASSERT_EQ(Object->Init(&Host), S_OK);
  EXPECT_EQ(Host.Refs, 1);
  // A second Init replaces the held object and lets go of the first.
  TScriptedHost Other;
  ASSERT_EQ(Object->Init(&Other), S_OK);
  EXPECT_EQ(Host.Refs, 0);
  EXPECT_EQ(Other.Refs, 1);
  ASSERT_EQ(Object->OnLoadSkin(&Host), S_OK);
  EXPECT_EQ(Host.Refs, 1);
  EXPECT_EQ(Object->Release(), 0u);
  Object.Detach();
  EXPECT_EQ(Host.Refs, 0);
  EXPECT_EQ(Other.Refs, 0);
}

// --- The embedded type library ----------------------------------------------------------

struct TParam {
  const wchar_t* Name;
  VARTYPE Type;  // VT_PTR levels folded into VT_BYREF
  USHORT Flags;
};
struct TMethod {
  DISPID Id;
  const wchar_t* Name;
  std::vector<TParam> Params;  // the retval included, last
};

constexpr USHORT cIn = PARAMFLAG_FIN;
constexpr USHORT cInOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
constexpr USHORT cRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;

const std::vector<TMethod>& Interface() {
  static const std::vector<TMethod> Methods = {
      {201,
       L"ProcessCommand",
       {{L"CMD", VT_BSTR | VT_BYREF, cInOut},
        {L"Skin", VT_DISPATCH | VT_BYREF, cIn},
        {L"Result", VT_I2 | VT_BYREF, cRetval}}},
      {202,
       L"ReturnLabel",
       {{L"LabelCode", VT_BSTR | VT_BYREF, cInOut},
        {L"ToolTip", VT_BSTR | VT_BYREF, cInOut},
        {L"Result", VT_BSTR | VT_BYREF, cRetval}}},
      {203,
       L"ReturnIndicatorEx",
       {{L"IndicatorCode", VT_BSTR | VT_BYREF, cInOut}, {L"Result", VT_BSTR | VT_BYREF, cRetval}}},
      {204, L"IndicatorClick", {{L"IndicatorCode", VT_BSTR | VT_BYREF, cInOut}}},
      {205, L"ReturnSlider", {{L"SliderCode", VT_BSTR | VT_BYREF, cInOut}, {L"Result", VT_BSTR | VT_BYREF, cRetval}}},
      {206,
       L"SetSlider",
       {{L"SliderCode", VT_BSTR | VT_BYREF, cInOut},
        {L"Value", VT_I4 | VT_BYREF, cInOut},
        {L"Direction", VT_BSTR | VT_BYREF, cInOut}}},
      {207, L"Init", {{L"RRAPI", VT_DISPATCH, cIn}}},
      {208, L"CommonListItemCount", {{L"Skin", VT_DISPATCH, cIn}, {L"Result", VT_I4 | VT_BYREF, cRetval}}},
      {209,
       L"CommonListItem",
       {{L"Skin", VT_DISPATCH, cIn}, {L"ItemIndex", VT_I4 | VT_BYREF, cIn}, {L"Result", VT_BSTR | VT_BYREF, cRetval}}},
      {210, L"OnLoadSkin", {{L"Skin", VT_DISPATCH, cIn}}},
      {211, L"OnUnloadSkin", {{L"Skin", VT_DISPATCH, cIn}}},
      {212, L"Initialize", {{L"ZelmDSPath", VT_BSTR, cIn}}},
      {213, L"Enabled", {{L"State", VT_BOOL, cIn}}},
      {214, L"Property", {{L"Item", VT_BSTR | VT_BYREF, cInOut}}},
  };
  return Methods;
}

VARTYPE Folded(const TYPEDESC& Desc) {
  if (Desc.vt == VT_PTR) return static_cast<VARTYPE>(Desc.lptdesc->vt | VT_BYREF);
  return Desc.vt;
}

std::wstring DocName(ITypeLib* Library, INT Index) {
  TBstr Name;
  Library->GetDocumentation(Index, Name.Out(), nullptr, nullptr, nullptr);
  return Name.Text();
}

TEST_F(Server, TypeLibraryIdentity) {
  TComPtr<ITypeLib> Library;
  ASSERT_EQ(LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, Library.Out()), S_OK);
  const TLibAttr Attr(Library.Get());
  ASSERT_TRUE(Attr);
  EXPECT_TRUE(IsEqualGUID(Attr->guid, LIBID_ZelmKvel));
  EXPECT_EQ(Attr->wMajorVerNum, 1);
  EXPECT_EQ(Attr->wMinorVerNum, 0);
  EXPECT_EQ(Attr->lcid, 0u);
  EXPECT_EQ(Attr->syskind, SYS_WIN32);

  TBstr Name, Doc, HelpFile;
  DWORD HelpContext = 1;
  ASSERT_EQ(Library->GetDocumentation(-1, Name.Out(), Doc.Out(), &HelpContext, HelpFile.Out()), S_OK);
  EXPECT_EQ(Name.Text(), L"ZelmKvel");
  EXPECT_EQ(Doc.Text(), L"");
  EXPECT_EQ(HelpFile.Text(), L"");
  EXPECT_EQ(Library->GetTypeInfoCount(), 2u);
  EXPECT_EQ(DocName(Library.Get(), 0), L"IRRExtension");
  EXPECT_EQ(DocName(Library.Get(), 1), L"RRExtension");

  // The coclass: creatable, IRRExtension its one and default interface.
  TComPtr<ITypeInfo> CoClass;
  ASSERT_EQ(Library->GetTypeInfoOfGuid(CLSID_RRExtension, CoClass.Out()), S_OK);
  const TTypeAttr CoClassType(CoClass.Get());
  ASSERT_TRUE(CoClassType);
  EXPECT_EQ(CoClassType->typekind, TKIND_COCLASS);
  EXPECT_TRUE(CoClassType->wTypeFlags & TYPEFLAG_FCANCREATE);
  EXPECT_EQ(CoClassType->cImplTypes, 1);
  EXPECT_EQ(CoClassType->wMajorVerNum, 0);
  EXPECT_EQ(CoClassType->wMinorVerNum, 0);
  INT ImplFlags = 0;
  ASSERT_EQ(CoClass->GetImplTypeFlags(0, &ImplFlags), S_OK);
  EXPECT_EQ(ImplFlags, IMPLTYPEFLAG_FDEFAULT);

  // The interface: dual, automation-compatible, version 0.0, derived from stdole's
  // IDispatch. Its dispatch half (what the coclass lists) is dual and dispatchable;
  // its vtable half carries all three flags.
  TComPtr<ITypeInfo> Dispatch;
  ASSERT_EQ(Library->GetTypeInfoOfGuid(IID_IRRExtension, Dispatch.Out()), S_OK);
  const TTypeAttr DispatchType(Dispatch.Get());
  ASSERT_TRUE(DispatchType);
  EXPECT_EQ(DispatchType->typekind, TKIND_DISPATCH);
  EXPECT_EQ(DispatchType->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE);
  EXPECT_EQ(DispatchType->wMajorVerNum, 0);
  EXPECT_EQ(DispatchType->wMinorVerNum, 0);

  HREFTYPE VtableRef = 0;
  TComPtr<ITypeInfo> Vtable, Base;
  ASSERT_EQ(Dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &VtableRef), S_OK);
  ASSERT_EQ(Dispatch->GetRefTypeInfo(VtableRef, Vtable.Out()), S_OK);
  const TTypeAttr VtableType(Vtable.Get());
  ASSERT_TRUE(VtableType);
  EXPECT_EQ(VtableType->typekind, TKIND_INTERFACE);
  EXPECT_TRUE(IsEqualGUID(VtableType->guid, IID_IRRExtension));
  EXPECT_EQ(VtableType->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
  EXPECT_EQ(VtableType->wMajorVerNum, 0);
  EXPECT_EQ(VtableType->wMinorVerNum, 0);
  HREFTYPE BaseRef = 0;
  ASSERT_EQ(Vtable->GetRefTypeOfImplType(0, &BaseRef), S_OK);
  ASSERT_EQ(Vtable->GetRefTypeInfo(BaseRef, Base.Out()), S_OK);
  const TTypeAttr BaseType(Base.Get());
  ASSERT_TRUE(BaseType);
  EXPECT_TRUE(IsEqualGUID(BaseType->guid, IID_IDispatch));
  TComPtr<ITypeLib> Imported;
  UINT Index = 0;
  ASSERT_EQ(Base->GetContainingTypeLib(Imported.Out(), &Index), S_OK);
  const TLibAttr ImportedAttr(Imported.Get());
  ASSERT_TRUE(ImportedAttr);
  EXPECT_TRUE(IsEqualGUID(ImportedAttr->guid, IID_StdOle));
  EXPECT_EQ(ImportedAttr->wMajorVerNum, 2);
}

TEST_F(Server, TypeLibraryMethodsSlotsAndParameters) {
  TComPtr<ITypeLib> Library;
  ASSERT_EQ(LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, Library.Out()), S_OK);
  TComPtr<ITypeInfo> Dispatch, Vtable;
  ASSERT_EQ(Library->GetTypeInfoOfGuid(IID_IRRExtension, Dispatch.Out()), S_OK);
  HREFTYPE Ref = 0;
  ASSERT_EQ(Dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &Ref), S_OK);
  ASSERT_EQ(Dispatch->GetRefTypeInfo(Ref, Vtable.Out()), S_OK);

  const TTypeAttr Type(Vtable.Get());
  ASSERT_TRUE(Type);
  EXPECT_EQ(Type->typekind, TKIND_INTERFACE);
  ASSERT_EQ(Type->cFuncs, 14);

  const auto& Methods = Interface();
  for (UINT I = 0; I < Methods.size(); ++I) {
    const TMethod& Want = Methods[I];
    SCOPED_TRACE(testing::Message() << "method " << I);
    FUNCDESC* Described = nullptr;
    ASSERT_EQ(Vtable->GetFuncDesc(I, &Described), S_OK);
    const auto Release = [&Vtable](FUNCDESC* F) { Vtable->ReleaseFuncDesc(F); };
    const std::unique_ptr<FUNCDESC, decltype(Release)> Func(Described, Release);
    EXPECT_EQ(Func->memid, Want.Id);
    EXPECT_EQ(Func->oVft, static_cast<SHORT>((7 + I) * sizeof(void*)));  // after IUnknown and IDispatch
    EXPECT_EQ(Func->funckind, FUNC_PUREVIRTUAL);
    EXPECT_EQ(Func->invkind, INVOKE_FUNC);
    EXPECT_EQ(Func->callconv, CC_STDCALL);
    EXPECT_EQ(Func->elemdescFunc.tdesc.vt, VT_HRESULT);
    ASSERT_EQ(Func->cParams, static_cast<SHORT>(Want.Params.size()));

    BSTR Given[8] = {};
    UINT Count = 0;
    ASSERT_EQ(Vtable->GetNames(Func->memid, Given, 8, &Count), S_OK);
    TBstr Names[8];
    for (UINT N = 0; N < Count; ++N) *Names[N].Out() = Given[N];
    EXPECT_EQ(Count, Want.Params.size() + 1);
    EXPECT_STREQ(Names[0].Get(), Want.Name);
    for (UINT P = 0; P < Want.Params.size(); ++P) {
      SCOPED_TRACE(testing::Message() << "parameter " << P);
      if (P + 1 < Count) {
        EXPECT_STREQ(Names[P + 1].Get(), Want.Params[P].Name);
      }
      const ELEMDESC& Elem = Func->lprgelemdescParam[P];
      EXPECT_EQ(Folded(Elem.tdesc), Want.Params[P].Type);
      EXPECT_EQ(Elem.paramdesc.wParamFlags, Want.Params[P].Flags);
    }
  }
}

TEST_F(Server, CarriesAVersionBlock) {
  const std::wstring Path = DllPath();
  DWORD Handle = 0;
  const DWORD Size = GetFileVersionInfoSizeW(Path.c_str(), &Handle);
  ASSERT_GT(Size, 0u);
  std::vector<BYTE> Block(Size);
  ASSERT_TRUE(GetFileVersionInfoW(Path.c_str(), 0, Size, Block.data()));
  VS_FIXEDFILEINFO* Fixed = nullptr;
  UINT Length = 0;
  ASSERT_TRUE(VerQueryValueW(Block.data(), L"\\", reinterpret_cast<void**>(&Fixed), &Length));
  EXPECT_EQ(Fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(HIWORD(Fixed->dwFileVersionMS), 1);
  EXPECT_EQ(Fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
}

}  // namespace
}  // namespace zelm::wine
