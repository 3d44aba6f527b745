#include "analysis/TokenScanner.h"

namespace tarvel {

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsWordChar(char c) {
    return IsLetter(c) || IsDigit(c) || c == '_';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsPunctuator(char c) {
    switch (c) {
    case ';':
    case ',':
    case '(':
    case ')':
    case '[':
    case ']':
    case '{':
    case '}':
        return true;
    default:
        return false;
    }
}

enum class CommentState {
    Code,
    Slash,
    LineComment,
    BlockComment,
    BlockStar,
    String,
    StringEscape,
    Char,
    CharEscape
};

// The comment stripper's state after byte c inside a string or character constant that `quote` closes: a line
// end closes it too, a backslash escapes the next byte.
CommentState AfterQuotedByte(char c, char quote, CommentState inside, CommentState escaped) {
    if (c == quote || c == kCr) {
        return CommentState::Code;
    }
    return c == '\\' ? escaped : inside;
}

enum class TokenState { Start, String, StringEscape, Char, CharEscape, Word, Operator };

class Tokenizer {
public:
    Tokenizer(std::string_view text, TokenSink& sink) : text_(text), sink_(sink) {}

    void Run() {
        for (position_ = 0; position_ < text_.size(); ++position_) {
            const char c = text_[position_];
            if (c == kCr && (state_ == TokenState::Start || state_ == TokenState::Word ||
                             state_ == TokenState::Operator)) {
                sink_.LineEvent();
            }
            Handle(c);
        }
        if (state_ != TokenState::Start) {
            Emit();
        }
    }

private:
    // A CR whose preceding byte is a backslash continues the line.
    bool IsLineEndingCr(char c) const { return c == kCr && (position_ == 0 || text_[position_ - 1] != '\\'); }
    bool IsContinuation(char c) const { return (c == kCr && !IsLineEndingCr(c)) || c == kLf || c == '\\'; }

    void Emit() {
        if (!token_.empty()) {
            sink_.Token(token_);
        }
        token_.clear();
    }
    void EmitAlone(char c) { sink_.Token(std::string_view(&c, 1)); }
    void Begin(char c, TokenState next) {
        token_.assign(1, c);
        state_ = next;
    }

    void Handle(char c) {
        switch (state_) {
        case TokenState::Start:
            HandleStart(c);
            break;
        case TokenState::String:
            HandleQuoted(c, '"', TokenState::StringEscape);
            break;
        case TokenState::Char:
            HandleQuoted(c, '\'', TokenState::CharEscape);
            break;
        case TokenState::StringEscape:
            token_.push_back(c);
            state_ = TokenState::String;
            break;
        case TokenState::CharEscape:
            token_.push_back(c);
            state_ = TokenState::Char;
            break;
        case TokenState::Word:
            HandleWord(c);
            break;
        case TokenState::Operator:
            HandleOperator(c);
            break;
        }
    }

    void HandleStart(char c) {
        token_.clear();
        if (c == ';') {
            EmitAlone(c);
        } else if (c == '"') {
            Begin(c, TokenState::String);
        } else if (c == '\'') {
            Begin(c, TokenState::Char);
        } else if (c == kCr || c == kLf || IsBlank(c) || c == '\\') {
            return;
        } else if (IsWordChar(c)) {
            Begin(c, TokenState::Word);
        } else {
            Begin(c, TokenState::Operator);
        }
    }

    void HandleQuoted(char c, char closing, TokenState escape) {
        token_.push_back(c);
        if (c == closing || c == kCr) {
            Emit();
            state_ = TokenState::Start;
        } else if (c == '\\') {
            state_ = escape;
        }
    }

    void HandleWord(char c) {
        if (IsWordChar(c) || c == '.') {
            token_.push_back(c);
        } else if (IsBlank(c) || IsLineEndingCr(c)) {
            Emit();
            state_ = TokenState::Start;
        } else if (IsPunctuator(c)) {
            Emit();
            EmitAlone(c);
            state_ = TokenState::Start;
        } else if (IsContinuation(c)) {
            return;
        } else {
            Emit();
            Begin(c, TokenState::Operator);
        }
    }

    void HandleOperator(char c) {
        if (token_.size() == 1 && IsPunctuator(token_[0])) {
            Emit();
        }
        if (IsWordChar(c)) {
            Emit();
            Begin(c, TokenState::Word);
        } else if (IsBlank(c) || IsLineEndingCr(c)) {
            Emit();
            state_ = TokenState::Start;
        } else if (c == '"') {
            Emit();
            Begin(c, TokenState::String);
        } else if (c == '\'') {
            Emit();
            Begin(c, TokenState::Char);
        } else if (IsPunctuator(c)) {
            Emit();
            EmitAlone(c);
            state_ = TokenState::Start;
        } else if (IsContinuation(c)) {
            return;
        } else {
            token_.push_back(c);
        }
    }

    std::string_view text_;
    TokenSink& sink_;
    std::size_t position_ = 0;
    TokenState state_ = TokenState::Start;
    std::string token_;
};

} // namespace

std::size_t StripComments(std::string& text) {
    CommentState state = CommentState::Code;
    std::size_t write = 0;
    const auto put = [&](char c) { text[write++] = c; };
    for (std::size_t read = 0; read < text.size(); ++read) {
        const char c = text[read];
        switch (state) {
        case CommentState::Code:
            if (c == '/') {
                state = CommentState::Slash;
                break;
            }
            put(c);
            if (c == '"') {
                state = CommentState::String;
            } else if (c == '\'') {
                state = CommentState::Char;
            }
            break;
        case CommentState::Slash:
            if (c == '/') {
                state = CommentState::LineComment;
            } else if (c == '*') {
                state = CommentState::BlockComment;
            } else {
                // The character after a lone slash is copied unexamined, so a quote there opens nothing.
                put('/');
                put(c);
                state = CommentState::Code;
            }
            break;
        case CommentState::LineComment:
            if (c == kCr) {
                put(c);
                state = CommentState::Code;
            }
            break;
        case CommentState::BlockComment:
            if (c == '*') {
                state = CommentState::BlockStar;
            }
            break;
        case CommentState::BlockStar:
            if (c == '/') {
                state = CommentState::Code;
            } else if (c != '*') {
                state = CommentState::BlockComment;
            }
            break;
        case CommentState::String:
            put(c);
            state = AfterQuotedByte(c, '"', CommentState::String, CommentState::StringEscape);
            break;
        case CommentState::Char:
            put(c);
            state = AfterQuotedByte(c, '\'', CommentState::Char, CommentState::CharEscape);
            break;
        case CommentState::StringEscape:
            put(c);
            state = CommentState::String;
            break;
        case CommentState::CharEscape:
            put(c);
            state = CommentState::Char;
            break;
        }
    }
    if (state == CommentState::Slash) {
        put('/');
    }
    text.resize(write);
    return write;
}

void ScanTokens(std::string_view text, TokenSink& sink) {
    Tokenizer(text, sink).Run();
}

} // namespace tarvel
