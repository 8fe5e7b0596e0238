// TRRExtension: the COM object RideRunner creates. It owns the portable core and the
// Windows ends of the core's ports, converts BSTRs and VARIANTs at the boundary, and
// turns every failure into an HRESULT with an error-info object: no exception ever
// leaves one of its methods.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <atomic>

#include "ZelmKvel_TLB.h"
#include "core/extension/RRExtensionCore.h"
#include "win/com/ComServer.h"
#include "win/com/ComTypes.h"
#include "win/host/DispatchHost.h"
#include "win/platform/WindowsText.h"
#include "win/window/MessageWindow.h"

namespace zelm {

// Its destructor is private: only the last Release deletes the object.
class TRRExtension final : public IRRExtension,  // NOLINT(cppcoreguidelines-virtual-class-destructor)
                           public ISupportErrorInfo,
                           public IProvideClassInfo,
                           private TOutsideCallWatch {
 public:
  // Makes a new object and answers its QueryInterface(Iid); the object goes again if
  // that fails. With an outer object, Iid must be IUnknown (the class factory checks).
  static HRESULT Create(const server::TClassRecord& Record, IUnknown* Outer, REFIID Iid, void** Out);

  TRRExtension(const TRRExtension&) = delete;
  TRRExtension& operator=(const TRRExtension&) = delete;

  // IUnknown: passed on to the controlling unknown (the outer object when aggregated).
  STDMETHODIMP QueryInterface(REFIID Iid, void** Out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch, driven by the type library.
  STDMETHODIMP GetTypeInfoCount(UINT* Count) override;
  STDMETHODIMP GetTypeInfo(UINT Index, LCID Locale, ITypeInfo** Info) override;
  STDMETHODIMP GetIDsOfNames(REFIID Iid, LPOLESTR* Names, UINT NameCount, LCID Locale, DISPID* Ids) override;
  STDMETHODIMP Invoke(DISPID Member, REFIID Iid, LCID Locale, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                      EXCEPINFO* Exception, UINT* ArgumentError) override;

  // IRRExtension.
  STDMETHODIMP ProcessCommand(BSTR* CMD, IDispatch** Skin, short* Result) override;
  STDMETHODIMP ReturnLabel(BSTR* LabelCode, BSTR* ToolTip, BSTR* Result) override;
  STDMETHODIMP ReturnIndicatorEx(BSTR* IndicatorCode, BSTR* Result) override;
  STDMETHODIMP IndicatorClick(BSTR* IndicatorCode) override;
  STDMETHODIMP ReturnSlider(BSTR* SliderCode, BSTR* Result) override;
  STDMETHODIMP SetSlider(BSTR* SliderCode, LONG* Value, BSTR* Direction) override;
  STDMETHODIMP Init(IDispatch* RRAPI) override;
  STDMETHODIMP CommonListItemCount(IDispatch* Skin, LONG* Result) override;
  STDMETHODIMP CommonListItem(IDispatch* Skin, LONG* ItemIndex, BSTR* Result) override;
  STDMETHODIMP OnLoadSkin(IDispatch* Skin) override;
  STDMETHODIMP OnUnloadSkin(IDispatch* Skin) override;
  STDMETHODIMP Initialize(BSTR ZelmDSPath) override;
  STDMETHODIMP Enabled(VARIANT_BOOL State) override;
  STDMETHODIMP Property(BSTR* Item) override;

  // ISupportErrorInfo.
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID Iid) override;

  // IProvideClassInfo.
  STDMETHODIMP GetClassInfo(ITypeInfo** Info) override;

 private:
  // The object's own IUnknown: it holds the count, and it is what an outer object gets.
  // A member of the object, never deleted through IUnknown: its destructor need not be
  // virtual.
  class TInner final : public IUnknown {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
   public:
    explicit TInner(TRRExtension& Owner) noexcept : FOwner(Owner) {}
    STDMETHODIMP QueryInterface(REFIID Iid, void** Out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

   private:
    TRRExtension& FOwner;
  };

  // Counts the object among the server's live objects for exactly its lifetime; the
  // first member, so that it is let go last.
  struct TLiveObject {
    TLiveObject() noexcept;
    ~TLiveObject();
  };

  TRRExtension(const server::TClassRecord& Record, IUnknown* Outer) noexcept;
  ~TRRExtension();

  // The interface asked for, from the one table of them; null for one we do not have.
  IUnknown* Interface(REFIID Iid) noexcept;

  // IDispatch::Invoke's three jobs: the flags made plain, the label request's own
  // road (DISPID 202, in the shapes hosts use), and the type library's dispatcher.
  static WORD WithoutPutBits(WORD Flags) noexcept;
  static constexpr DISPID cReturnLabelId = 202;
  static bool IsLabelCall(DISPID Member, WORD Flags, const DISPPARAMS& Params, const VARIANT* Result) noexcept;
  HRESULT InvokeReturnLabel(DISPPARAMS& Params, VARIANT& Result, EXCEPINFO* Exception) noexcept;
  HRESULT InvokeGeneric(DISPID Member, WORD Flags, DISPPARAMS& Params, VARIANT* Result, EXCEPINFO* Exception,
                        UINT* ArgumentError) noexcept;

  // Runs one interface method's body under the error convention.
  template <class TBody>
  HRESULT Guarded(TBody&& Body) noexcept;
  // From the first call into the host's code, or send to the data server, to the end of
  // the outermost method, the object holds a reference to itself: a host may drop its
  // last one meanwhile. A label request that calls nobody pays nothing for it.
  void BeforeOutsideCall() noexcept override;

  TLiveObject FLive;
  std::atomic<LONG> FRefCount{1};
  TInner FInner;
  IUnknown* FOuter;  // the controlling unknown: the outer object, or FInner
  const server::TClassRecord& FRecord;
  TDebugTrace FTrace;
  TMessageWindowLink FLink{FTrace, *this};
  TWindowsText FText;
  TRRExtensionCore FCore;
  int FDepth = 0;                // interface methods running, nested through the host
  TComPtr<IUnknown> FKeptAlive;  // our own reference while the host's code may run
};

}  // namespace zelm
