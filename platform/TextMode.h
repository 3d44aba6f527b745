#pragma once
// Windows text-mode conversion: reading turns each CR LF into LF, writing turns each LF into CR LF.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvel {

std::string FromWindowsText(std::string_view bytes);
std::string ToWindowsText(std::string_view text);

bool ReadTextModeFile(const std::string& path, std::string& out, std::size_t maxBytes = SIZE_MAX);
bool WriteTextModeFile(const std::string& path, std::string_view text);

} // namespace tarvel
