// A scripted workbench run keeps the simulator's clock in step with the host's frames:
// after each frame zelm_host --step-server sends the data server's window this message,
// and zelm_sim --stepped, whose clock moves by nothing else, advances by wParam
// microseconds and sends all it has to send before the message returns. The frames
// then show the same values in every run, whatever else the machine is doing.
#pragma once

#include <cstdint>

namespace zelm::tools {

inline constexpr uint32_t cServerStepMessage = 0x8000 + 0x100;  // WM_APP + 0x100

}  // namespace zelm::tools
