#include "shell/GuiText.h"

#include "platform/Cp1250.h"

#include <QFile>

namespace tarvel {

QString FromCp1250(std::string_view bytes) {
    const std::string utf8 = Cp1250ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

bool ToCp1250(const QString& text, std::string& out) {
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToCp1250(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), out);
}

QString FromPath(const std::string& path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string ToPath(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace tarvel
