#pragma once
// The lexical steps of the analysis on the bytes of a merged source file (Windows-1250, CR LF line ends):
// comment stripping and the tokenizer. Character classes are plain ASCII; bytes 128-255 are never letters.

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvel {

// Removes "//" and "/* */" comments in place and returns the new length; text is shrunk to it. A line comment
// keeps its CR so the line structure survives; a block comment goes whole with any line ends inside it.
// Quotes open string and character constants in which "//" and "/*" are ordinary text.
std::size_t StripComments(std::string& text);

// Receives what the tokenizer finds, in text order.
class TokenSink {
public:
    virtual ~TokenSink() = default;
    // A CR met between tokens or inside a word or operator, raised before that CR is handled.
    virtual void LineEvent() = 0;
    // A non-empty token.
    virtual void Token(std::string_view token) = 0;
};

// Splits comment-free text into tokens: words (letters, digits, "_" and "."), string and character constants
// (up to their closing quote or their line end), operator runs and the punctuators ; , ( ) [ ] { }, each a
// token of its own. A backslash, an LF and a CR after a backslash never end a word or operator.
void ScanTokens(std::string_view text, TokenSink& sink);

} // namespace tarvel
