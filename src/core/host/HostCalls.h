// The four calls the extension makes on the host's objects, and the host's command
// strings it builds.
#pragma once

#include <string>
#include <string_view>

#include "core/host/HostObject.h"
#include "core/tables/SlotTexts.h"

namespace zelm {

// The command the extension asks the host to run at the end of Initialize.
inline constexpr std::u16string_view cOpenCommand = u"CE_Open";

// GetInfo with a variable query ("=$V$"); the variable's value as text.
std::u16string HostGetInfo(const THostRef& Host, std::u16string_view Query);
// Execute with one command batch; the answer is not used.
void HostExecute(const THostRef& Host, std::u16string_view Batch);
// Execute with a bare command and false; the answer is not used.
void HostExecute(const THostRef& Host, std::u16string_view Command, bool Flag);
// The skin object's name.
std::u16string HostSkinName(const THostRef& Skin);

// "SETVAR;V;C||SAVETOSKIN;V;$V$": sets slot variable V to Code and saves it into the skin.
std::u16string MakeUpdateBatch(const TSlotTexts& Slot, std::u16string_view Code);

}  // namespace zelm
