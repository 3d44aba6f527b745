#include "evaluation/HtmlText.h"

namespace tarvel {

void AppendHtmlText(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        default:
            out += c;
            break;
        }
    }
}

std::string HtmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendHtmlText(out, text);
    return out;
}

} // namespace tarvel
