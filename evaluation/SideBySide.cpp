#include "evaluation/SideBySide.h"

#include "analysis/KeywordTable.h"
#include "analysis/Similarity.h"
#include "evaluation/Browser.h"
#include "evaluation/HtmlText.h"
#include "platform/Cp1250.h"
#include "platform/FileOps.h"
#include "shell/Settings.h"
#include "store/Results.h"
#include "store/Students.h"

#include <dtl/dtl.hpp>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

namespace tarvel {

namespace {

// The renderer's reserved words, in byte order for the binary search.
constexpr std::array<std::string_view, 92> kReservedWords = {
    "__asm",      "__cdecl",    "__cs",      "__ds",     "__es",      "__except",    "__export",  "__far",
    "__fastcall", "__fastthis", "__finally", "__huge",   "__import",  "__interrupt", "__loadds",  "__near",
    "__pascal",   "__rtti",     "__seg",     "__ss",     "__try",     "_asm",        "_cdecl",    "_cs",
    "_ds",        "_es",        "_export",   "_far",     "_fastcall", "_huge",       "_import",   "_loadds",
    "_near",      "_pascal",    "_saveregs", "_seg",     "_ss",       "asm",         "auto",      "break",
    "case",       "catch",      "cdecl",     "char",     "class",     "const",       "continue",  "default",
    "delete",     "do",         "double",    "else",     "enum",      "extern",      "far",       "float",
    "for",        "friend",     "goto",      "huge",     "if",        "inline",      "int",       "interrupt",
    "long",       "near",       "new",       "operator", "pascal",    "private",     "protected", "public",
    "register",   "return",     "short",     "signed",   "sizeof",    "static",      "struct",    "switch",
    "template",   "this",       "throw",     "try",      "typedef",   "union",       "unsigned",  "virtual",
    "void",       "volatile",   "wchar_t",   "while"};
static_assert(std::is_sorted(kReservedWords.begin(), kReservedWords.end()));

bool IsReservedWord(std::string_view word) {
    return std::binary_search(kReservedWords.begin(), kReservedWords.end(), word);
}

bool IsLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsWordCharacter(unsigned char c) {
    return IsLetter(c) || IsDigit(c) || c == '_';
}
bool IsHexDigit(unsigned char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
// The page's texts carry CR LF line ends and may hold NUL bytes: both separate lexemes as blanks do.
bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '\0';
}
bool IsOperatorByte(unsigned char c) {
    return !IsBlank(c) && !IsWordCharacter(c) &&
           std::string_view("/'\"#<>&").find(static_cast<char>(c)) == std::string_view::npos;
}

// Splits a source into lexemes by the renderer's rules, one lexeme at a time.
class Lexer {
public:
    explicit Lexer(std::string_view text) : text_(text) {}

    std::vector<SourceLexeme> Run() {
        std::vector<SourceLexeme> lexemes;
        std::size_t at = 0;
        while (at < text_.size()) {
            const auto c = Byte(at);
            if (IsBlank(c)) {
                ++at;
                continue;
            }
            SourceLexeme lexeme{at, at + 1, SourceClass::Operator, at < directiveEnd_};
            if (c == '#') {
                // A "#" inside a directive ends at the same line end.
                if (!lexeme.directive) {
                    const std::size_t lineEnd = text_.find('\n', at);
                    directiveEnd_ = lineEnd == std::string_view::npos ? text_.size() : lineEnd;
                }
                lexeme.directive = true;
            } else {
                Scan(lexeme);
            }
            lexemes.push_back(lexeme);
            at = lexeme.end;
        }
        return lexemes;
    }

private:
    unsigned char Byte(std::size_t at) const { return at < text_.size() ? text_[at] : '\0'; }

    void Scan(SourceLexeme& lexeme) {
        const std::size_t at = lexeme.begin;
        const auto c = Byte(at);
        const auto next = Byte(at + 1);
        if (c == '/' && next == '/') {
            const std::size_t lineEnd = text_.find('\n', at);
            lexeme = {at, lineEnd == std::string_view::npos ? text_.size() : lineEnd + 1,
                      SourceClass::Comment, lexeme.directive};
        } else if (c == '/' && next == '*') {
            const std::size_t close = text_.find("*/", at + 2);
            lexeme.end = close == std::string_view::npos ? text_.size() : close + 2;
            lexeme.kind = SourceClass::Comment;
        } else if (c == '/') {
            lexeme.kind = SourceClass::Plain;
        } else if (c == '"') {
            lexeme.end = StringEnd(at + 1);
            lexeme.kind = SourceClass::String;
        } else if (c == '\'') {
            const std::size_t end = at < deadQuotesEnd_ ? 0 : CharacterEnd(at + 1);
            lexeme.kind = end == 0 ? SourceClass::Plain : SourceClass::Character;
            lexeme.end = end == 0 ? at + 1 : end;
        } else if (IsDigit(c) || (c == '.' && IsDigit(next))) {
            lexeme.end = NumberEnd(at);
            lexeme.kind = SourceClass::Number;
        } else if (IsLetter(c) || c == '_') {
            lexeme.end = at + 1;
            while (lexeme.end < text_.size() && IsWordCharacter(Byte(lexeme.end))) {
                ++lexeme.end;
            }
            lexeme.kind = IsReservedWord(text_.substr(at, lexeme.end - at)) ? SourceClass::Reserved
                                                                            : SourceClass::Identifier;
        } else if (c != '<' && c != '>' && c != '&') {
            while (lexeme.end < text_.size() && IsOperatorByte(Byte(lexeme.end))) {
                ++lexeme.end;
            }
        }
    }

    // Past the closing quote; a backslash keeps the next byte, line ends included, inside the string.
    std::size_t StringEnd(std::size_t at) const {
        while (at < text_.size()) {
            if (text_[at] == '\\') {
                at += 2;
            } else if (text_[at++] == '"') {
                return at;
            }
        }
        return text_.size();
    }

    // Past the closing quote of a complete constant on one line; 0 when there is none. A quote met before
    // where a failed scan stopped fails too (its scan would pair the same backslashes), so that a line of
    // quotes is not scanned again and again.
    std::size_t CharacterEnd(std::size_t at) {
        while (at < text_.size() && text_[at] != '\n') {
            if (text_[at] == '\'') {
                return at + 1;
            }
            if (text_[at] == '\\') {
                if (at + 1 >= text_.size() || text_[at + 1] == '\n') {
                    break;
                }
                ++at;
            }
            ++at;
        }
        deadQuotesEnd_ = at;
        return 0;
    }

    std::size_t NumberEnd(std::size_t at) const {
        if (Byte(at) == '0' && Byte(at + 1) == 'x' && IsHexDigit(Byte(at + 2))) {
            at += 2;
            while (at < text_.size() && IsHexDigit(Byte(at))) {
                ++at;
            }
            return at;
        }
        while (at < text_.size() && IsDigit(Byte(at))) {
            ++at;
        }
        if (Byte(at) == '.' && IsDigit(Byte(at + 1))) {
            ++at;
            while (at < text_.size() && IsDigit(Byte(at))) {
                ++at;
            }
        }
        return at;
    }

    std::string_view text_;
    std::size_t directiveEnd_ = 0;
    std::size_t deadQuotesEnd_ = 0;
};

// The start of every line of a text; none for an empty text.
std::vector<std::size_t> LineStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    if (text.empty()) {
        return starts;
    }
    starts.push_back(0);
    for (std::size_t end = text.find('\n'); end != std::string_view::npos && end + 1 < text.size();
         end = text.find('\n', end + 1)) {
        starts.push_back(end + 1);
    }
    return starts;
}

int LineOf(const std::vector<std::size_t>& starts, std::size_t offset) {
    return static_cast<int>(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) - 1;
}

// A token as the matching sees it: operators byte by byte, so that layout cannot split or join them;
// identifiers all alike, their names checked separately for a one-to-one renaming.
struct MatchToken {
    int id = 0;
    std::string_view name; // the identifier's own name; empty for every other token
    int line = 0;
};

constexpr int kIdentifierId = 0;

class TokenIds {
public:
    int Of(std::string_view text) {
        return ids_.try_emplace(text, static_cast<int>(ids_.size()) + 1).first->second;
    }

private:
    std::unordered_map<std::string_view, int> ids_;
};

struct MatchedText {
    std::vector<MatchToken> tokens;
    std::vector<std::size_t> lineStarts;
};

MatchedText MatchTokens(std::string_view text, TokenIds& ids) {
    MatchedText matched{{}, LineStarts(text)};
    const std::vector<SourceLexeme> lexemes = ClassifySource(text);
    // Operator runs give a token per byte: most of them are one or two bytes long.
    matched.tokens.reserve(lexemes.size() * 2);
    for (const SourceLexeme& lexeme : lexemes) {
        const std::string_view word = text.substr(lexeme.begin, lexeme.end - lexeme.begin);
        const int line = LineOf(matched.lineStarts, lexeme.begin);
        switch (lexeme.kind) {
        case SourceClass::Comment:
            break;
        case SourceClass::Operator:
        case SourceClass::Plain:
            for (std::size_t i = 0; i < word.size(); ++i) {
                matched.tokens.push_back({ids.Of(word.substr(i, 1)), {}, line});
            }
            break;
        case SourceClass::Identifier:
            if (KeywordPosition(word) < 0) {
                matched.tokens.push_back({kIdentifierId, word, line});
                break;
            }
            [[fallthrough]];
        default:
            matched.tokens.push_back({ids.Of(word), {}, line});
            break;
        }
    }
    return matched;
}

// A common stretch of the two token sequences: tokens [a, a + length) and [b, b + length).
struct CommonRun {
    int a = 0;
    int b = 0;
    int length = 0;
};

// Rolling hashes of every window of kMinimumSharedTokens token ids.
template <typename Visit> void ForEachWindow(const std::vector<MatchToken>& tokens, Visit visit) {
    constexpr std::uint64_t kBase = 1000003;
    std::uint64_t power = 1;
    for (int i = 0; i < kMinimumSharedTokens; ++i) {
        power *= kBase;
    }
    std::uint64_t hash = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        hash = hash * kBase + static_cast<std::uint64_t>(tokens[i].id);
        if (i >= static_cast<std::size_t>(kMinimumSharedTokens)) {
            hash -= power * static_cast<std::uint64_t>(tokens[i - kMinimumSharedTokens].id);
        }
        if (i + 1 >= static_cast<std::size_t>(kMinimumSharedTokens)) {
            visit(i + 1 - kMinimumSharedTokens, hash);
        }
    }
}

// The positions of `tokens` inside a window that the other text holds too (or whose hash it holds): only
// they can lie in a shared passage.
std::vector<int> InCommonWindows(const std::vector<MatchToken>& tokens,
                                 const std::vector<MatchToken>& other) {
    std::unordered_set<std::uint64_t> otherWindows;
    ForEachWindow(other, [&](std::size_t, std::uint64_t hash) { otherWindows.insert(hash); });
    std::vector<int> positions;
    ForEachWindow(tokens, [&](std::size_t start, std::uint64_t hash) {
        if (otherWindows.count(hash) == 0) {
            return;
        }
        const int from = positions.empty() ? 0 : positions.back() + 1;
        for (int i = std::max(from, static_cast<int>(start));
             i < static_cast<int>(start) + kMinimumSharedTokens; ++i) {
            positions.push_back(i);
        }
    });
    return positions;
}

// The runs of consecutive common tokens of the shortest edit script. The script is made of the tokens in
// common windows alone: two unrelated texts would otherwise cost the script its quadratic worst case.
std::vector<CommonRun> CommonRuns(const std::vector<MatchToken>& a, const std::vector<MatchToken>& b) {
    const std::vector<int> aPositions = InCommonWindows(a, b);
    const std::vector<int> bPositions = InCommonWindows(b, a);
    std::vector<int> aIds;
    std::vector<int> bIds;
    for (const int position : aPositions) {
        aIds.push_back(a[static_cast<std::size_t>(position)].id);
    }
    for (const int position : bPositions) {
        bIds.push_back(b[static_cast<std::size_t>(position)].id);
    }
    dtl::Diff<int> diff(aIds, bIds);
    diff.onHuge();
    diff.compose();
    std::vector<CommonRun> runs;
    for (const auto& [id, info] : diff.getSes().getSequence()) {
        if (info.type != dtl::SES_COMMON) {
            continue;
        }
        // Tokens left out between two kept ones break a run.
        const int inA = aPositions[static_cast<std::size_t>(info.beforeIdx - 1)];
        const int inB = bPositions[static_cast<std::size_t>(info.afterIdx - 1)];
        if (!runs.empty() && runs.back().a + runs.back().length == inA &&
            runs.back().b + runs.back().length == inB) {
            ++runs.back().length;
        } else {
            runs.push_back({inA, inB, 1});
        }
    }
    return runs;
}

// Splits a run where its identifiers stop being renamed one to one: each piece has a renaming of its own.
void SplitByRenaming(const CommonRun& run, const std::vector<MatchToken>& a, const std::vector<MatchToken>& b,
                     std::vector<CommonRun>& out) {
    std::unordered_map<std::string_view, std::string_view> aToB;
    std::unordered_map<std::string_view, std::string_view> bToA;
    CommonRun piece{run.a, run.b, 0};
    for (int i = 0; i < run.length; ++i) {
        const std::string_view aName = a[static_cast<std::size_t>(run.a + i)].name;
        const std::string_view bName = b[static_cast<std::size_t>(run.b + i)].name;
        if (!aName.empty()) {
            const auto aFound = aToB.find(aName);
            const auto bFound = bToA.find(bName);
            if ((aFound != aToB.end() && aFound->second != bName) ||
                (bFound != bToA.end() && bFound->second != aName)) {
                out.push_back(piece);
                piece = {run.a + i, run.b + i, 0};
                aToB.clear();
                bToA.clear();
            }
            aToB.emplace(aName, bName);
            bToA.emplace(bName, aName);
        }
        ++piece.length;
    }
    out.push_back(piece);
}

// Lines of one text taken by the passages so far.
struct LineCursor {
    const MatchedText& text;
    int next = 0; // the first line not yet taken

    int LineCount() const { return static_cast<int>(text.lineStarts.size()); }

    // The lines of tokens [first, first + length): from the line after the previous token (so that the
    // comments before the passage go with it) or the start, to the line of the last token, or the end when
    // no token follows; never a line already taken.
    LineRange Lines(int first, int length) const {
        const auto& tokens = text.tokens;
        int begin = first == 0 ? 0 : tokens[static_cast<std::size_t>(first - 1)].line + 1;
        begin = std::min(begin, tokens[static_cast<std::size_t>(first)].line);
        const std::size_t last = static_cast<std::size_t>(first + length - 1);
        const int end = last + 1 == tokens.size() ? LineCount() : tokens[last].line + 1;
        begin = std::max(begin, next);
        return {begin, std::max(0, end - begin)};
    }
};

} // namespace

std::vector<SourceLexeme> ClassifySource(std::string_view text) {
    return Lexer(text).Run();
}

std::vector<SharedPassage> SharedPassages(std::string_view studentText, std::string_view classmateText) {
    TokenIds ids;
    const MatchedText a = MatchTokens(studentText, ids);
    const MatchedText b = MatchTokens(classmateText, ids);
    std::vector<CommonRun> pieces;
    for (const CommonRun& run : CommonRuns(a.tokens, b.tokens)) {
        if (run.length >= kMinimumSharedTokens) {
            SplitByRenaming(run, a.tokens, b.tokens, pieces);
        }
    }
    std::vector<SharedPassage> passages;
    LineCursor aLines{a};
    LineCursor bLines{b};
    for (const CommonRun& piece : pieces) {
        if (piece.length < kMinimumSharedTokens) {
            continue;
        }
        const LineRange student = aLines.Lines(piece.a, piece.length);
        const LineRange classmate = bLines.Lines(piece.b, piece.length);
        // A passage that lies wholly on the last line of the one before it is shown there.
        if (student.count == 0 || classmate.count == 0) {
            continue;
        }
        passages.push_back({student, classmate, piece.length});
        aLines.next = student.first + student.count;
        bLines.next = classmate.first + classmate.count;
    }
    return passages;
}

namespace {

const char* SpanClass(const SourceLexeme& lexeme) {
    if (lexeme.directive) {
        return "dir";
    }
    switch (lexeme.kind) {
    case SourceClass::Reserved:
        return "res";
    case SourceClass::Identifier:
        return "sym";
    case SourceClass::Number:
        return "num";
    case SourceClass::Character:
        return "chr";
    case SourceClass::String:
        return "str";
    case SourceClass::Comment:
        return "kom";
    case SourceClass::Operator:
        return "op";
    case SourceClass::Plain:
        break;
    }
    return nullptr;
}

// One column's text with its lexemes and lines.
struct PageSide {
    std::string_view text;
    std::vector<SourceLexeme> lexemes;
    std::vector<std::size_t> lineStarts;

    explicit PageSide(std::string_view source)
        : text(source), lexemes(ClassifySource(source)), lineStarts(LineStarts(source)) {}

    int LineCount() const { return static_cast<int>(lineStarts.size()); }
    std::size_t Offset(int line) const {
        return line < LineCount() ? lineStarts[static_cast<std::size_t>(line)] : text.size();
    }
};

// The lines of the range, coloured; a lexeme that runs beyond the range is cut at its edge. Neighbours of one
// class on one line share a span, so that a directive is one span as the renderer writes it.
void AppendLines(std::string& out, const PageSide& side, LineRange range) {
    const std::size_t begin = side.Offset(range.first);
    const std::size_t end = side.Offset(range.first + range.count);
    auto lexeme = std::upper_bound(side.lexemes.begin(), side.lexemes.end(), begin,
                                   [](std::size_t offset, const SourceLexeme& l) { return offset < l.end; });
    std::size_t at = begin;
    while (lexeme != side.lexemes.end() && lexeme->begin < end) {
        const char* kind = SpanClass(*lexeme);
        const std::size_t from = std::max(lexeme->begin, begin);
        std::size_t to = std::min(lexeme->end, end);
        for (++lexeme; lexeme != side.lexemes.end() && lexeme->begin < end && SpanClass(*lexeme) == kind &&
                       side.text.substr(to, lexeme->begin - to).find('\n') == std::string_view::npos;
             ++lexeme) {
            to = std::min(lexeme->end, end);
        }
        AppendHtmlText(out, side.text.substr(at, from - at));
        if (kind != nullptr) {
            out += "<span class=\"";
            out += kind;
            out += "\">";
        }
        AppendHtmlText(out, side.text.substr(from, to - from));
        if (kind != nullptr) {
            out += "</span>";
        }
        at = to;
    }
    AppendHtmlText(out, side.text.substr(at, end - at));
}

// A "pre" drops one line feed right after its start tag, so each begins with one.
void AppendColumn(std::string& out, const PageSide& side, LineRange range, const char* kind) {
    out += "<td class=\"n\"><pre>\n";
    for (int line = range.first; line < range.first + range.count; ++line) {
        out += std::to_string(line + 1);
        out += '\n';
    }
    out += "</pre></td><td class=\"";
    out += kind;
    out += "\"><pre>\n";
    AppendLines(out, side, range);
    out += "</pre></td>";
}

void AppendRow(std::string& out, const char* rowClass, const PageSide& left, LineRange leftRange,
               const PageSide& right, LineRange rightRange) {
    out += "<tr class=\"";
    out += rowClass;
    out += "\">";
    AppendColumn(out, left, leftRange, "a");
    AppendColumn(out, right, rightRange, "b");
    out += "</tr>\n";
}

std::string LineSpan(LineRange range) {
    return std::to_string(range.first + 1) + "-" + std::to_string(range.first + range.count);
}

std::string StudentLine(const ComparedStudent& student) {
    std::string line;
    AppendHtmlText(line, student.name + " " + student.surname + " (" + student.unid + ")");
    return line;
}

void AppendHeadingRow(std::string& out, std::string_view label, std::string_view value) {
    out += "<tr><th>";
    out += label;
    out += "</th><td>";
    out += value;
    out += "</td></tr>\n";
}

// The renderer's stylesheet, and the marks of the shared passages.
constexpr std::string_view kStyle =
    "body { color: white; background: black; font-family: sans-serif; }\n"
    "pre { color: white; margin: 0; font-family: monospace; }\n"
    "span.op { color: cyan; }\n"
    "span.res { color: yellow; }\n"
    "span.str { color: red; }\n"
    "span.dir { color: magenta; }\n"
    "span.kom { color: gray; }\n"
    "span.sym { color: white; }\n"
    "span.num { color: lightgreen; }\n"
    "span.chr { color: red; }\n"
    "table.porovnanie { border-collapse: collapse; width: 100%; table-layout: fixed; }\n"
    "col.n { width: 4em; }\n"
    "table.porovnanie td { vertical-align: top; padding: 0 0.5em; }\n"
    "table.porovnanie td.n { text-align: right; color: gray; }\n"
    "table.porovnanie td.a { border-right: 1px solid gray; }\n"
    "td.a pre, td.b pre { overflow-x: auto; }\n"
    "tr.spolocny td { background: #1c2b4d; }\n"
    "tr.oznacenie td { background: #2e4a80; font-weight: bold; }\n"
    "table.hlavicka th { text-align: left; padding-right: 1em; }\n";

} // namespace

std::string ComparisonPage(const ComparisonHeading& heading, std::string_view studentText,
                           std::string_view classmateText) {
    const PageSide left(studentText);
    const PageSide right(classmateText);
    const std::vector<SharedPassage> passages = SharedPassages(studentText, classmateText);
    int leftShared = 0;
    int rightShared = 0;
    for (const SharedPassage& passage : passages) {
        leftShared += passage.student.count;
        rightShared += passage.classmate.count;
    }

    std::string task;
    AppendHtmlText(task, "Z" + heading.task + ", variant " + heading.student.variant);
    if (heading.classmate.variant != heading.student.variant) {
        AppendHtmlText(task, " / " + heading.classmate.variant);
    }
    const std::string title = Cp1250Text("Porovnanie zadaní");

    std::string page =
        "<!DOCTYPE html>\n<html lang=\"sk\">\n<head>\n<meta charset=\"windows-1250\">\n<title>";
    page += title + " " + task + "</title>\n<style>\n";
    page += kStyle;
    page += "</style>\n</head>\n<body>\n<h1>" + title + "</h1>\n<table class=\"hlavicka\">\n";
    AppendHeadingRow(page, Cp1250Text("Zadanie"), task);
    AppendHeadingRow(page, Cp1250Text("Študent"), StudentLine(heading.student));
    AppendHeadingRow(page, Cp1250Text("Spolužiak"), StudentLine(heading.classmate));
    AppendHeadingRow(page, Cp1250Text("Uložená podobnosť"),
                     heading.similarity ? std::to_string(*heading.similarity) + " %"
                                        : Cp1250Text("nie je uložená"));
    AppendHeadingRow(page, Cp1250Text("Spoločné úseky"), std::to_string(passages.size()));
    AppendHeadingRow(page, Cp1250Text("Spoločné riadky"),
                     std::to_string(leftShared) + Cp1250Text(" z ") + std::to_string(left.LineCount()) +
                         Cp1250Text(" a ") + std::to_string(rightShared) + Cp1250Text(" z ") +
                         std::to_string(right.LineCount()));
    page += "</table>\n<p>" + Cp1250Text("Spoločný úsek má aspoň ") + std::to_string(kMinimumSharedTokens) +
            Cp1250Text(" symbolov, ktoré sa zhodujú po jednotnom premenovaní identifikátorov; komentáre a "
                       "rozloženie textu sa neporovnávajú.") +
            "</p>\n<table class=\"porovnanie\">\n<colgroup><col class=\"n\"><col><col "
            "class=\"n\"><col></colgroup>\n"
            "<tr><th colspan=\"2\">" +
            StudentLine(heading.student) + ": ";
    AppendHtmlText(page, heading.student.origin);
    page += "</th><th colspan=\"2\">" + StudentLine(heading.classmate) + ": ";
    AppendHtmlText(page, heading.classmate.origin);
    page += "</th></tr>\n";

    LineRange leftGap;
    LineRange rightGap;
    for (std::size_t number = 0; number < passages.size(); ++number) {
        const SharedPassage& passage = passages[number];
        leftGap.count = passage.student.first - leftGap.first;
        rightGap.count = passage.classmate.first - rightGap.first;
        if (leftGap.count > 0 || rightGap.count > 0) {
            AppendRow(page, "rozdielny", left, leftGap, right, rightGap);
        }
        page += "<tr class=\"oznacenie\"><td colspan=\"4\">" + Cp1250Text("Spoločný úsek ") +
                std::to_string(number + 1) + ": " + std::to_string(passage.tokens) +
                Cp1250Text(" symbolov, riadky ") + LineSpan(passage.student) + Cp1250Text(" a ") +
                LineSpan(passage.classmate) + "</td></tr>\n";
        AppendRow(page, "spolocny", left, passage.student, right, passage.classmate);
        leftGap.first = passage.student.first + passage.student.count;
        rightGap.first = passage.classmate.first + passage.classmate.count;
    }
    leftGap.count = left.LineCount() - leftGap.first;
    rightGap.count = right.LineCount() - rightGap.first;
    if (leftGap.count > 0 || rightGap.count > 0 || passages.empty()) {
        AppendRow(page, "rozdielny", left, leftGap, right, rightGap);
    }
    page += "</table>\n</body>\n</html>\n";
    return page;
}

std::string ComparisonPagePath(const std::string& installation, const std::string& taskType,
                               const std::string& studentId, const std::string& classmateId) {
    // The ids are the store's decimal numbers; anything else in them must not reach the file name.
    std::string name = "Z" + taskType + "-" + studentId + "-" + classmateId;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !IsWordCharacter(static_cast<unsigned char>(c)) && c != '-'; }, '_');
    return JoinPath(JoinPath(JoinPath(installation, "tmp"), "compare"), name + ".html");
}

namespace {

enum class SourceRead { Read, Missing, Unreadable };

// What a column shows of one stored submission: the merged file the similarity measured when it is
// recorded and readable, else the "*.c" files of the submission directory in name order. A text beyond
// kMaximumComparedBytes is left out, and the origin says so.
SourceRead ReadSubmission(Database& db, const ResultRecord& result, std::string& text, std::string& origin) {
    const std::string directory = db.AbsolutePath(SubmissionDirectory(result));
    if (!IsDirectory(directory)) {
        return SourceRead::Missing;
    }
    const auto tooLarge = [&](const std::string& name) {
        text.clear();
        origin = name + Cp1250Text(": väčšie ako ") + std::to_string(kMaximumComparedBytes / 1024) +
                 Cp1250Text(" KiB, nezobrazuje sa");
        return SourceRead::Read;
    };
    std::string merged;
    if (ResultSection(db, result).ReadString(kPreprocessedFileKey, merged) &&
        IsRegularFile(JoinPath(directory, merged))) {
        // The directory is the student's: a link or a FIFO there is not read.
        if (ReadWholeFile(JoinPath(directory, merged), text, kMaximumComparedBytes, Links::Refuse)) {
            origin = merged;
            return SourceRead::Read;
        }
        return errno == EFBIG ? tooLarge(merged) : SourceRead::Unreadable;
    }
    std::vector<std::string> names = ListMatching(directory, "*.c");
    std::erase_if(names, [&](const std::string& name) { return !IsRegularFile(JoinPath(directory, name)); });
    if (names.empty()) {
        return SourceRead::Missing;
    }
    for (const std::string& name : names) {
        std::string bytes;
        if (!ReadWholeFile(JoinPath(directory, name), bytes, kMaximumComparedBytes - text.size(),
                           Links::Refuse)) {
            return errno == EFBIG ? tooLarge(name) : SourceRead::Unreadable;
        }
        // Each file begins on a line of its own.
        if (!text.empty() && text.back() != '\n') {
            text += '\n';
        }
        text += bytes;
        origin += (origin.empty() ? "" : ", ") + name;
    }
    return SourceRead::Read;
}

// The student's side of the page: the record, the result and the text. Tells and returns false when one of
// them is missing.
bool ReadSide(Database& db, Prompts& prompts, const std::string& task, const std::string& studentId,
              ComparedStudent& side, std::string& text) {
    StudentRecord student;
    if (!LoadStudent(db, studentId, student)) {
        Tell(prompts, "Nie je možné načítať databázu študentov !!!", "Chyba databázy", PromptIcon::Error);
        return false;
    }
    side.name = student.name;
    side.surname = student.surname;
    side.unid = student.unid;
    const std::string whose = Cp1250Text("Zadanie Z") + task + Cp1250Text(" študenta ") + student.name + " " +
                              student.surname + " (" + student.unid + ")";
    ResultRecord result;
    SourceRead read = SourceRead::Missing;
    if (LoadResult(db, task, studentId, result) && result.ver > 0) {
        side.variant = result.mod;
        read = ReadSubmission(db, result, text, side.origin);
    }
    if (read == SourceRead::Missing) {
        prompts.Tell({whose + Cp1250Text(" sa nenašlo !!!"), Cp1250Text("Pozor"), PromptButtons::Ok,
                      PromptIcon::Warning});
        return false;
    }
    if (read == SourceRead::Unreadable) {
        prompts.Tell({whose + Cp1250Text(" sa nedá prečítať !!!"), Cp1250Text("Pozor"), PromptButtons::Ok,
                      PromptIcon::Warning});
        return false;
    }
    return true;
}

} // namespace

void CompareSubmissions(Database& db, Prompts& prompts, const std::string& configPath,
                        const std::string& taskType, const std::string& studentId,
                        const std::string& classmateId, const DetachedLauncher& launcher) {
    ComparisonHeading heading;
    heading.task = taskType;
    std::string studentText;
    std::string classmateText;
    if (!ReadSide(db, prompts, taskType, studentId, heading.student, studentText) ||
        !ReadSide(db, prompts, taskType, classmateId, heading.classmate, classmateText)) {
        return;
    }
    int similarity = 0;
    if (ResultSection(db, studentId, taskType).ReadInt(SimilarityKey(classmateId), similarity)) {
        heading.similarity = similarity;
    }
    std::error_code error;
    const std::filesystem::path installation =
        std::filesystem::absolute(DaemonInstallationPath(configPath), error);
    const std::string path =
        ComparisonPagePath(installation.lexically_normal().string(), taskType, studentId, classmateId);
    if (error || !MakeDirectories(ParentDirectory(path)) ||
        !WriteFileAtomically(path, ComparisonPage(heading, studentText, classmateText), false)) {
        Tell(prompts, "Stránku porovnania sa nepodarilo zapísať !!!", "Pozor", PromptIcon::Error);
        return;
    }
    StartBrowser(configPath, FileTarget(path), prompts, launcher);
}

} // namespace tarvel
