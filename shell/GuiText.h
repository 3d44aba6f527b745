#pragma once
// The window program's only conversions between the system's bytes and Qt's text: Windows-1250 for
// everything stored, mailed and shown, and the file system's own bytes for paths.

#include <QString>

#include <string>
#include <string_view>

namespace tarvel {

QString FromCp1250(std::string_view bytes);
// False, leaving out unchanged, when the text has a character with no Windows-1250 form; the caller refuses
// the input with a message.
bool ToCp1250(const QString& text, std::string& out);
// One of the window's own fixed texts, written in UTF-8 in the code.
inline QString GuiText(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString FromPath(const std::string& path);
std::string ToPath(const QString& path);

} // namespace tarvel
