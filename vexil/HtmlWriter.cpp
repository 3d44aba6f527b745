#include "HtmlWriter.h"

namespace {

// Pages are written through a large buffer: the scanner emits many tiny pieces.
constexpr std::size_t bufferSize = 1 << 16;

std::string_view entityFor(char byte, bool inAttribute) {
    switch (byte) {
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '&':
        return "&amp;";
    case '"':
        return inAttribute ? "&quot;" : "";
    default:
        return "";
    }
}

} // namespace

HtmlWriter::HtmlWriter(const std::string& path) : file_(std::fopen(path.c_str(), "w")) {
    if (file_ != nullptr) {
        std::setvbuf(file_, nullptr, _IOFBF, bufferSize);
    }
}

HtmlWriter::~HtmlWriter() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

void HtmlWriter::markup(std::string_view html) {
    put(html);
}

void HtmlWriter::text(std::string_view input) {
    escaped(input, false);
}

void HtmlWriter::attribute(std::string_view input) {
    escaped(input, true);
}

void HtmlWriter::token(std::string_view kind, std::string_view input) {
    openSpan(kind, input);
    closeSpan();
}

void HtmlWriter::openSpan(std::string_view kind, std::string_view input) {
    put("<SPAN CLASS=\"");
    put(kind);
    put("\">");
    text(input);
}

void HtmlWriter::closeSpan() {
    put("</SPAN>");
}

void HtmlWriter::escaped(std::string_view input, bool inAttribute) {
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const std::string_view entity = entityFor(input[i], inAttribute);
        if (entity.empty()) {
            continue;
        }
        put(input.substr(runStart, i - runStart));
        put(entity);
        runStart = i + 1;
    }
    put(input.substr(runStart));
}

void HtmlWriter::put(std::string_view bytes) {
    if (file_ == nullptr) {
        return;
    }
    // Only this thread writes the file, so the stream's lock is not needed.
    fwrite_unlocked(bytes.data(), 1, bytes.size(), file_);
}
