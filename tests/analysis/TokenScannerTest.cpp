#include "analysis/TokenScanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvel {
namespace {

struct StripCase {
    const char* name;
    std::string input;
    std::string expected;
};

TEST(StripComments, RemovesCommentsAndKeepsQuotedText) {
    const StripCase cases[] = {
        {"line comment keeps its CR and the LF", "x = 1; // note\r\ny", "x = 1; \r\ny"},
        {"block comment goes with its line ends", "/* a\r\nb */y", "y"},
        {"banner of stars", "/** banner **/x", "x"},
        {"lone slash is kept", "a / b", "a / b"},
        {"quote after a slash opens nothing, the next one does", "a/'x' // c\r\nb", "a/'x' // c\r\nb"},
        {"the same without the quotes loses the comment", "a/x // c\r\nb", "a/x \r\nb"},
        {"escaped quote and // inside a string", "s = \"a\\\"b // c\"; // d", "s = \"a\\\"b // c\"; "},
        {"comment opener inside a character constant", "c = '/*'; d", "c = '/*'; d"},
        {"string ends at its line end", "\"abc\r\n// x\r\ny", "\"abc\r\n\r\ny"},
        {"pending slash at the end is written", "a /", "a /"},
        {"unterminated block comment drops the rest", "a /* b\r\nc", "a "},
        {"unterminated string keeps the rest", "a \"// b", "a \"// b"},
        {"star slash needs the star", "/* a */* b", "* b"},
        {"division directly before a comment", "a//b\r\n", "a\r\n"},
        {"empty text", "", ""},
    };
    for (const auto& c : cases) {
        std::string text = c.input;
        EXPECT_EQ(StripComments(text), c.expected.size()) << c.name;
        EXPECT_EQ(text, c.expected) << c.name;
    }
}

// Records tokens, and line events as "<LE>".
class CollectingSink : public TokenSink {
public:
    void LineEvent() override { items.emplace_back("<LE>"); }
    void Token(std::string_view token) override { items.emplace_back(token); }
    std::vector<std::string> items;
};

std::vector<std::string> Scan(std::string_view text) {
    CollectingSink sink;
    ScanTokens(text, sink);
    return sink.items;
}

struct TokenCase {
    const char* name;
    std::string input;
    std::vector<std::string> expected;
};

TEST(ScanTokens, SplitsAsTheStateMachineSays) {
    const TokenCase cases[] = {
        {"call", "f();", {"f", "(", ")", ";"}},
        {"parenthesis then word", "( x", {"(", "x"}},
        {"condition", "if (x > 0)", {"if", "(", "x", ">", "0", ")"}},
        {"underscore identifier", "_tmp", {"_tmp"}},
        {"member access is one word", "x.y", {"x.y"}},
        {"increment", "i++;", {"i", "++", ";"}},
        {"numbers are words", "0x1F 1.5 12L 1.5e-3", {"0x1F", "1.5", "12L", "1.5e", "-", "3"}},
        {"character constants", "'a' '\\n'", {"'a'", "'\\n'"}},
        {"operator runs", "a==b->c!=d", {"a", "==", "b", "->", "c", "!=", "d"}},
        {"string literal", "\"hi there\";", {"\"hi there\"", ";"}},
        {"escaped quote in a string", "\"a\\\"b\"", {"\"a\\\"b\""}},
        {"punctuators stand alone", "a[i]{,}", {"a", "[", "i", "]", "{", ",", "}"}},
        {"doubled parentheses", "((x))", {"(", "(", "x", ")", ")"}},
        {"operator before a parenthesis", "-(a)", {"-", "(", "a", ")"}},
        {"parenthesis before an operator", "(-a)", {"(", "-", "a", ")"}},
        {"semicolons", ";;", {";", ";"}},
        {"hash directive", "#include <stdio.h>", {"#", "include", "<", "stdio.h", ">"}},
        {"quote after a word starts an operator", "x\"y\"", {"x", "\"", "y", "\""}},
        {"operator then string", "=\"s\"", {"=", "\"s\""}},
        {"accented bytes are operators", "x\xE1y \xE9\xED", {"x", "\xE1", "y", "\xE9\xED"}},
        {"operator at the end", "a+", {"a", "+"}},
        {"unterminated string ends at its CR", "\"abc\r\nx", {"\"abc\r", "x"}},
        {"unterminated character constant at the end", "'ab", {"'ab"}},
        {"line event before the brace of that line", "a {\r\nb", {"a", "<LE>", "{", "b"}},
        {"line events between tokens", "a;\r\n\r\nb", {"a", ";", "<LE>", "<LE>", "b"}},
        {"word continues over backslash-newline", "ab\\\r\ncd", {"<LE>", "abcd"}},
        {"operator continues over backslash-newline", "+\\\r\n+", {"<LE>", "++"}},
        {"CR inside a string raises no line event", "\"a\r", {"\"a\r"}},
        {"NUL is an operator byte", std::string("a\0b", 3), {"a", std::string(1, '\0'), "b"}},
        {"blank text", " \t\r\n\\", {"<LE>"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Scan(c.input), c.expected) << c.name;
    }
}

} // namespace
} // namespace tarvel
