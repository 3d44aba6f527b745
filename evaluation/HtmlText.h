#pragma once
// Text from the store or from a student going into the evaluation's pages: as text, never as markup.

#include <string>
#include <string_view>

namespace tarvel {

// Appends the text with "<", ">" and "&" as entities; every other byte, NUL included, as it is.
void AppendHtmlText(std::string& out, std::string_view text);
std::string HtmlText(std::string_view text);

} // namespace tarvel
