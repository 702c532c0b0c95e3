// The program's own small settings file beside "config.ini" (which keeps its 29 lines as
// they are): "reconnect.ini", remembering whether a run is picked up again after its port
// came back. One line, Windows-1250 text with CR LF like the program's other files:
//
//   Reconnect=1
//
// 1 on, 0 off. Lines with other keys are ignored, so a later version may add its own; a
// missing file means off.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kt::measurement {

inline constexpr const char* kReconnectFileName = "reconnect.ini";
// A written file holds 13 bytes; a far larger one is not taken for this file.
inline constexpr std::size_t kMaxReconnectFileBytes = 4096;

std::string FormatReconnectSetting(bool on);
// The setting the bytes hold; nothing when no line "Reconnect=0" or "Reconnect=1" is found.
std::optional<bool> ParseReconnectSetting(std::string_view bytes);

}  // namespace kt::measurement
