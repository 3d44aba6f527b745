#include "platform/TextMode.h"

#include "platform/FileOps.h"

namespace tarvel {

std::string FromWindowsText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            continue;
        }
        text += bytes[i];
    }
    return text;
}

std::string ToWindowsText(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') {
            bytes += '\r';
        }
        bytes += c;
    }
    return bytes;
}

bool ReadTextModeFile(const std::string& path, std::string& out, std::size_t maxBytes) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes, maxBytes)) {
        return false;
    }
    out = FromWindowsText(bytes);
    return true;
}

bool WriteTextModeFile(const std::string& path, std::string_view text) {
    return WriteFileAtomically(path, ToWindowsText(text));
}

} // namespace tarvel
