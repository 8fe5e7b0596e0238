#include "win/host/DispatchHost.h"

#include <dispex.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/host/Errors.h"
#include "win/com/ErrorBoundary.h"

namespace zelm {
namespace {

std::u16string FromWide(const wchar_t* Text, std::size_t Length) {
  return std::u16string(reinterpret_cast<const char16_t*>(Text), Length);
}

std::u16string FromBstr(BSTR Text) { return Text ? FromWide(Text, SysStringLen(Text)) : std::u16string(); }

// A host's description is handed on less its trailing spaces and full stops; the
// system's own messages also end in a line break, which goes too.
void TrimEnd(std::u16string& Text, bool LineBreaks) {
  auto Trimmed = [LineBreaks](char16_t C) {
    return C == u' ' || C == u'.' || (LineBreaks && (C == u'\r' || C == u'\n'));
  };
  while (!Text.empty() && Trimmed(Text.back())) Text.pop_back();
}

// The names a variant's type goes by in our conversion messages.
std::u16string VariantTypeName(VARTYPE Type) {
  const char16_t* Name = nullptr;
  // clang-format off
  switch (Type & VT_TYPEMASK) {
    case VT_EMPTY: Name = u"Empty"; break;
    case VT_NULL: Name = u"Null"; break;
    case VT_I2: Name = u"Smallint"; break;
    case VT_I4: Name = u"Integer"; break;
    case VT_R4: Name = u"Single"; break;
    case VT_R8: Name = u"Double"; break;
    case VT_CY: Name = u"Currency"; break;
    case VT_DATE: Name = u"Date"; break;
    case VT_BSTR: Name = u"OleStr"; break;
    case VT_DISPATCH: Name = u"Dispatch"; break;
    case VT_ERROR: Name = u"Error"; break;
    case VT_BOOL: Name = u"Boolean"; break;
    case VT_VARIANT: Name = u"Variant"; break;
    case VT_UNKNOWN: Name = u"Unknown"; break;
    case VT_DECIMAL: Name = u"Decimal"; break;
    case VT_I1: Name = u"ShortInt"; break;
    case VT_UI1: Name = u"Byte"; break;
    case VT_UI2: Name = u"Word"; break;
    case VT_UI4: Name = u"LongWord"; break;
    case VT_I8: Name = u"Int64"; break;
    case VT_UI8: Name = u"UInt64"; break;
    default: break;
  }
  // clang-format on
  std::u16string Text;
  if (Type & VT_ARRAY) Text = u"Array ";
  if (Name) return Text + Name;
  char Code[8];
  std::snprintf(Code, sizeof Code, "$%04X", static_cast<unsigned>(Type & VT_TYPEMASK));
  for (const char* C = Code; *C; ++C) Text.push_back(static_cast<char16_t>(*C));
  return Text;
}

[[noreturn]] void CannotConvert(VARTYPE Type) {
  throw EZelmError(cUnexpected,
                   u"Could not convert variant of type (" + VariantTypeName(Type) + u") into type (OleStr)");
}

// Bytes of the value of a scalar variant type.
// clang-format off
std::size_t ScalarSize(VARTYPE Type) {
  switch (Type) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: return 4;
    default: return 8;  // VT_I8, VT_UI8, VT_R8, VT_CY, VT_DATE
  }
}
// clang-format on

}  // namespace

TDispatchHost::TDispatchHost(IDispatch* Dispatch, TTraceLog& Trace, TOutsideCallWatch& Watch) noexcept
    : FDispatch(Dispatch), FTrace(Trace), FWatch(Watch) {}

DISPID TDispatchHost::MemberId(std::u16string_view Name) {
  std::u16string Buffer(Name);  // GetIDsOfNames wants a NUL-ended name
  LPOLESTR Names[] = {reinterpret_cast<LPOLESTR>(Buffer.data())};
  DISPID Id = DISPID_UNKNOWN;
  HRESULT Result = FDispatch->GetIDsOfNames(IID_NULL, Names, 1, 0, &Id);
  // Script engines' own objects (VBScript classes) only resolve names through
  // IDispatchEx.
  if (Result == E_NOTIMPL) {
    TComPtr<IDispatchEx> Extended;
    if (SUCCEEDED(FDispatch->QueryInterface(__uuidof(IDispatchEx), Extended.OutVoid())) && Extended) {
      const TBstr Member(Name);
      Result = Extended->GetDispID(Member.Get(), fdexNameCaseInsensitive, &Id);
    }
  }
  if (FAILED(Result)) throw EZelmError(cUnexpected, u"Method '" + Buffer + u"' not supported by automation object");
  return Id;
}

namespace {

// A call as the trace names it: "GetInfo(=$CheckEngineDinamicLabel_3$)".
std::u16string CallText(std::u16string_view Name, std::initializer_list<THostArg> Args) {
  std::u16string Text(Name);
  Text += u'(';
  if (Args.size() != 0 && Args.begin()->Kind == THostArg::TKind::Text) Text += Args.begin()->Text;
  return Text + u')';
}

}  // namespace

std::u16string TDispatchHost::Call(std::u16string_view Name, THostCallKind Kind, std::initializer_list<THostArg> Args) {
  FWatch.BeforeOutsideCall();
  try {
    std::u16string Answer = Invoke(Name, Kind, Args);
    if (!FFailing.empty()) IsNewFailure(CallText(Name, Args), 0);
    return Answer;
  } catch (const EZelmError& Error) {
    // A skin may ask for a failing slot's name on every frame, and for one that works
    // in between: each call that fails is said once, until it works again. With no
    // memory to say it, the failure itself goes on to the host all the same.
    Contain([&] {
      const std::u16string Text = CallText(Name, Args);
      if (IsNewFailure(Text, Error.Code))
        FTrace.Trace(TTraceLine(u"host call ")
                         .Add(Text)
                         .Add(u" failed (")
                         .Hex(static_cast<uint32_t>(Error.Code))
                         .Add(u"): ")
                         .Add(Error.Message));
    });
    throw;
  }
}

bool TDispatchHost::IsNewFailure(const std::u16string& Call, int32_t Code) {
  auto Known = std::find_if(FFailing.begin(), FFailing.end(), [&](const auto& F) { return F.first == Call; });
  if (Code == 0) {
    if (Known != FFailing.end()) FFailing.erase(Known);
    return false;
  }
  if (Known != FFailing.end()) {
    const bool Changed = Known->second != Code;
    Known->second = Code;
    return Changed;
  }
  if (FFailing.size() == cRememberedFailures) return false;  // past that many, the trace says no more
  FFailing.emplace_back(Call, Code);
  return true;
}

std::u16string TDispatchHost::Invoke(std::u16string_view Name, THostCallKind Kind,
                                     std::initializer_list<THostArg> Args) {
  const DISPID Id = MemberId(Name);

  // Positional arguments go last-first into rgvarg.
  std::vector<TVariant> Arguments(Args.size());
  static_assert(sizeof(TVariant) == sizeof(VARIANTARG));
  std::size_t Slot = Args.size();
  for (const THostArg& Arg : Args) {
    VARIANT& Item = Arguments[--Slot].Get();
    if (Arg.Kind == THostArg::TKind::Boolean) {
      V_VT(&Item) = VT_BOOL;
      V_BOOL(&Item) = Arg.Boolean ? VARIANT_TRUE : VARIANT_FALSE;
    } else {
      V_BSTR(&Item) = TBstr(Arg.Text).Detach();
      V_VT(&Item) = VT_BSTR;
    }
  }
  DISPPARAMS Params = {Arguments.empty() ? nullptr : &Arguments.data()->Get(), nullptr, static_cast<UINT>(Args.size()),
                       0};
  const WORD Flags =
      Kind == THostCallKind::MethodOrPropertyGet ? DISPATCH_METHOD | DISPATCH_PROPERTYGET : DISPATCH_METHOD;

  // A command's answer is never used, so none is asked for: whatever the host would
  // have put there is never touched.
  TVariant Answer;
  VARIANT* AnswerSlot = Kind == THostCallKind::Command ? nullptr : &Answer.Get();
  TExcepInfo Exception;
  UINT ArgumentError = 0;
  const HRESULT Result = FDispatch->Invoke(Id, IID_NULL, 0, Flags, &Params, AnswerSlot, &Exception, &ArgumentError);
  if (Result == DISP_E_EXCEPTION) {
    if (Exception.pfnDeferredFillIn) Exception.pfnDeferredFillIn(&Exception);
    std::u16string Message = FromBstr(Exception.bstrDescription);
    TrimEnd(Message, false);
    throw EZelmError(CarriedCode(Exception.scode), std::move(Message), Exception.dwHelpContext);
  }
  if (FAILED(Result)) throw EZelmError(CarriedCode(Result), OleErrorMessage(Result));
  if (AnswerSlot == nullptr) return {};
  return VariantToText(Answer.Get());
}

std::u16string VariantToText(const VARIANT& Value) {
  // A by-reference answer is read through its reference, by hand: the system's copy
  // follows a null reference or trusts an unknown type, and a host's mistake must fail
  // the call, not crash it. One level of VT_VARIANT reference is allowed.
  const VARIANT* Source = &Value;
  if (V_VT(Source) == (VT_BYREF | VT_VARIANT)) {
    if (V_VARIANTREF(Source) == nullptr || (V_VT(V_VARIANTREF(Source)) & VT_TYPEMASK) == VT_VARIANT)
      CannotConvert(V_VT(Source));
    Source = V_VARIANTREF(Source);
  }
  const VARTYPE Type = V_VT(Source);
  const bool ByRef = (Type & VT_BYREF) != 0;
  if (ByRef && V_BYREF(Source) == nullptr) CannotConvert(Type);
  if ((Type & ~VT_BYREF) == VT_BSTR) return FromBstr(ByRef ? *V_BSTRREF(Source) : V_BSTR(Source));
  if (Type == VT_EMPTY) return {};

  // Numbers, dates and Booleans: the value itself, by value, then the system's text.
  TVariant Plain;
  VARIANT& Item = Plain.Get();
  const auto Base = static_cast<VARTYPE>(Type & ~VT_BYREF);
  switch (Base) {
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BOOL:
      V_VT(&Item) = Base;
      if (ByRef)
        std::memcpy(&V_UI1(&Item), V_BYREF(Source), ScalarSize(Base));
      else
        std::memcpy(&V_UI1(&Item), &V_UI1(Source), ScalarSize(Base));
      break;
    case VT_DECIMAL:
      Item.decVal = ByRef ? *V_DECIMALREF(Source) : Source->decVal;
      V_VT(&Item) = VT_DECIMAL;
      break;
    default: CannotConvert(Type);
  }
  TVariant Converted;
  if (FAILED(VariantChangeType(&Converted.Get(), &Item, VARIANT_ALPHABOOL, VT_BSTR))) CannotConvert(Base);
  return FromBstr(V_BSTR(&Converted.Get()));
}

std::u16string OleErrorMessage(HRESULT Code) {
  wchar_t Buffer[512];
  const DWORD Length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(Code), 0,
                     Buffer, static_cast<DWORD>(std::size(Buffer)), nullptr);
  std::u16string Message = FromWide(Buffer, Length);
  TrimEnd(Message, true);
  if (!Message.empty()) return Message;
  char Fallback[32];
  std::snprintf(Fallback, sizeof Fallback, "OLE error %.8X", static_cast<unsigned>(Code));
  for (const char* C = Fallback; *C; ++C) Message.push_back(static_cast<char16_t>(*C));
  return Message;
}

}  // namespace zelm
