// The owners of COM's resources (win/com/ComTypes.h) under the real COM runtime: each
// gives back exactly what it holds, whichever way it goes. A BSTR given back is seen
// by a spy on the task allocator, with the BSTR cache off. (The owner of the system's
// handles is tested natively.)
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support/wine/Com.h"

namespace zelm::wine {
namespace {

// Notes the blocks given back to the task allocator and not handed out again.
// On the test's stack, never deleted through an interface.
class TFreedBlocks final : public IMallocSpy {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
 public:
  TFreedBlocks() {
    using TSetOaNoCache = void(WINAPI*)();
    if (auto NoCache = reinterpret_cast<TSetOaNoCache>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"oleaut32.dll"), "SetOaNoCache"))))
      NoCache();
    Registered = SUCCEEDED(CoRegisterMallocSpy(this));
  }
  ~TFreedBlocks() {
    if (Registered) CoRevokeMallocSpy();
  }
  TFreedBlocks(const TFreedBlocks&) = delete;
  TFreedBlocks& operator=(const TFreedBlocks&) = delete;

  // Whether the block of this BSTR (its length stands just before its text) went back.
  bool WasFreed(BSTR Text) const {
    const auto* Start = reinterpret_cast<const char*>(Text);
    return std::any_of(Freed.begin(), Freed.end(), [&](const void* Block) {
      const auto* At = static_cast<const char*>(Block);
      return At < Start && Start - At <= 16;
    });
  }

  bool Registered = false;
  std::vector<void*> Freed;

  STDMETHODIMP QueryInterface(REFIID Iid, void** Out) override {
    if (!IsEqualIID(Iid, IID_IUnknown) && !IsEqualIID(Iid, IID_IMallocSpy)) {
      *Out = nullptr;
      return E_NOINTERFACE;
    }
    *Out = static_cast<IMallocSpy*>(this);
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T Size) override { return Size; }
  // A block handed out again lives again.
  STDMETHODIMP_(void*) PostAlloc(void* Actual) override {
    Freed.erase(std::remove(Freed.begin(), Freed.end(), Actual), Freed.end());
    return Actual;
  }
  STDMETHODIMP_(void*) PreFree(void* Request, BOOL) override {
    Freed.push_back(Request);
    return Request;
  }
  STDMETHODIMP_(void) PostFree(BOOL) override {}
  STDMETHODIMP_(SIZE_T) PreRealloc(void* Request, SIZE_T Size, void** NewRequest, BOOL) override {
    *NewRequest = Request;
    return Size;
  }
  STDMETHODIMP_(void*) PostRealloc(void* Actual, BOOL) override { return Actual; }
  STDMETHODIMP_(void*) PreGetSize(void* Request, BOOL) override { return Request; }
  STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T Actual, BOOL) override { return Actual; }
  STDMETHODIMP_(void*) PreDidAlloc(void* Request, BOOL) override { return Request; }
  STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int Actual) override { return Actual; }
  STDMETHODIMP_(void) PreHeapMinimize() override {}
  STDMETHODIMP_(void) PostHeapMinimize() override {}
};

BSTR New(const wchar_t* Text) { return SysAllocString(Text); }

TEST(Owners, BstrsGoBackWithTheirOwnersAndOnlyThen) {
  TFreedBlocks Spy;
  ASSERT_TRUE(Spy.Registered);
  const BSTR Kept = New(L"kept");
  BSTR Owned, Handed, Text, Source, Description, HelpFile;
  {
    TBstr A(std::wstring_view(L"a")), B(std::wstring_view(L"b")), C(std::wstring_view(L"c"));
    Owned = A.Get();
    const BSTR Replaced = B.Get(), Assigned = C.Get();
    B.Out();
    EXPECT_TRUE(Spy.WasFreed(Replaced));
    C = std::move(A);
    EXPECT_TRUE(Spy.WasFreed(Assigned));
    Handed = TBstr(std::wstring_view(L"handed")).Detach();

    TVariant Value;
    V_VT(&Value.Get()) = VT_BSTR;
    V_BSTR(&Value.Get()) = Text = New(L"value");
    const TVariant Moved(std::move(Value));

    TExcepInfo Exception;
    Exception.bstrSource = Source = New(L"source");
    Exception.bstrDescription = Description = New(L"description");
    Exception.bstrHelpFile = HelpFile = New(L"help");
    for (BSTR Held : {Owned, Handed, Text, Source, Description, HelpFile}) EXPECT_FALSE(Spy.WasFreed(Held));
  }
  for (BSTR Gone : {Owned, Text, Source, Description, HelpFile}) EXPECT_TRUE(Spy.WasFreed(Gone));
  EXPECT_FALSE(Spy.WasFreed(Handed));
  EXPECT_FALSE(Spy.WasFreed(Kept));
  SysFreeString(Handed);
  SysFreeString(Kept);
}

TEST(Owners, ComPointersTakeAndGiveBackExactlyTheirReferences) {
  TScriptedHost Object, Other;  // they count, and go with the test
  {
    const TComPtr<IDispatch> Shared(&Object);
    EXPECT_EQ(Object.Refs, 1);
    Object.AddRef();
    auto Adopted = TComPtr<IDispatch>::Adopt(&Object);
    EXPECT_EQ(Object.Refs, 2);
    TComPtr<IDispatch> Copy(Shared), Assigned(&Other);
    EXPECT_EQ(Object.Refs, 3);
    Assigned = Copy;
    EXPECT_EQ(Object.Refs, 4);
    EXPECT_EQ(Other.Refs, 0);
    TComPtr<IDispatch>& Same = Assigned;
    Assigned = Same;
    EXPECT_EQ(Object.Refs, 4);
    TComPtr<IDispatch> Moved(std::move(Copy));
    EXPECT_EQ(Object.Refs, 4);
    Moved.Reset();
    Assigned.Out();
    EXPECT_EQ(Object.Refs, 2);
    EXPECT_EQ(Adopted.Detach(), &Object);
    EXPECT_EQ(Object.Release(), 1u);  // Shared holds the other

    // A VARIANT that holds an object lets go of it.
    TVariant Value;
    V_VT(&Value.Get()) = VT_DISPATCH;
    V_DISPATCH(&Value.Get()) = &Other;
    Other.AddRef();
  }
  EXPECT_EQ(Object.Refs, 0);
  EXPECT_EQ(Other.Refs, 0);
}

}  // namespace
}  // namespace zelm::wine
