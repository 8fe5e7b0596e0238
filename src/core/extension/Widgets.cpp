// Indicators and sliders we do not have, and the common list served to our own skin.
#include "core/extension/RRExtensionCore.h"
#include "core/host/HostCalls.h"
#include "core/tables/LabelCodes.h"

namespace zelm {
namespace {

constexpr std::u16string_view cOurSkinName = u"OurSkinName";
constexpr std::u16string_view cFirstListItem = u"LSTc:\\1.txt\nItem 1";
constexpr std::u16string_view cSecondListItem = u"LSTc:\\2.txt\nItem 2";
static_assert(cFirstListItem.size() == 18 && cSecondListItem.size() == 18);

bool EqualIgnoringAsciiCase(std::u16string_view A, std::u16string_view B) {
  if (A.size() != B.size()) return false;
  for (std::size_t I = 0; I < A.size(); ++I)
    if (LowerAsciiChar(A[I]) != LowerAsciiChar(B[I])) return false;
  return true;
}

}  // namespace

void TRRExtensionCore::OnLoadSkin(THostRef Skin) noexcept { FSkin = std::move(Skin); }

void TRRExtensionCore::OnUnloadSkin() noexcept { FSkin.reset(); }

bool TRRExtensionCore::IsSkin(std::u16string_view ASkinName) {
  if (!FSkin) return false;
  return EqualIgnoringAsciiCase(HostSkinName(FSkin), ASkinName);
}

int32_t TRRExtensionCore::CommonListItemCount() { return IsSkin(cOurSkinName) ? 2 : -1; }

std::u16string_view TRRExtensionCore::CommonListItem(int32_t ItemIndex) {
  if (!IsSkin(cOurSkinName)) return {};
  return ItemIndex == 0 ? cFirstListItem : cSecondListItem;
}

}  // namespace zelm
