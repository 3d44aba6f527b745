#pragma once
// The fixed list of 99 words whose counts feed the similarity measure. A word token equal to one of them is a
// keyword occurrence counted at its position and never an identifier; the groups are only the order of the
// list.

#include <array>
#include <string_view>

namespace tarvel {

inline constexpr int kKeywordCount = 99;

const std::array<std::string_view, kKeywordCount>& KeywordTable();

// The position of the word in the table, or -1 when it is not a keyword (exact, case-sensitive comparison).
int KeywordPosition(std::string_view word);

} // namespace tarvel
