#pragma once
// The page that shows two students' submissions of one task type side by side, coloured as the rendered
// sources are, with the passages they share marked and aligned. Shared means equal once identifiers are
// renamed consistently, as the similarity measure ignores names.

#include "platform/ChildProcess.h"
#include "shell/Prompts.h"
#include "store/Database.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvel {

// A common stretch of the two token sequences shorter than this is chance, not a shared passage: two
// independent solutions of one task already share their reading and printing loops, some thirty tokens each
// (operators and punctuators count one token per byte).
inline constexpr int kMinimumSharedTokens = 40;

// A source larger than this is not a student's submission; it is not shown (the page says so).
inline constexpr std::size_t kMaximumComparedBytes = 64 * 1024;

// The kinds of the rendered sources' spans ("res", "sym", "num", "chr", "str", "kom", "op"); Plain is text
// the renderer echoes unstyled (a "/" that starts no comment, a quote that starts no character constant).
enum class SourceClass { Plain, Reserved, Identifier, Number, Character, String, Comment, Operator };

// One lexeme of a source: bytes [begin, end). A lexeme that begins on a "#" line before its line feed is
// shown as the directive ("dir") whatever its kind. Blanks, line ends and NUL bytes belong to no lexeme.
struct SourceLexeme {
    std::size_t begin = 0;
    std::size_t end = 0;
    SourceClass kind = SourceClass::Plain;
    bool directive = false;
};

// The lexemes of a Windows-1250 source in text order, by the renderer's rules: its 92 reserved words,
// numbers without exponent or suffix, complete character constants, strings and comments up to their end
// (or the text's), "<", ">" and "&" each alone, and runs of the other operator bytes (bytes 128-255
// included).
std::vector<SourceLexeme> ClassifySource(std::string_view text);

// Lines [first, first + count) of a text, counted from 0.
struct LineRange {
    int first = 0;
    int count = 0;

    bool operator==(const LineRange&) const = default;
};

// One passage both texts hold: at least kMinimumSharedTokens tokens that are equal once comments and layout
// are ignored and the identifiers of the passage are renamed one to one (the similarity measure's keywords
// and the reserved words keep their names). The lines are whole lines of each text, in text order, never
// overlapping the previous passage; comment and blank lines right before a passage belong to it.
struct SharedPassage {
    LineRange student;
    LineRange classmate;
    int tokens = 0;
};

// The shared passages of the two texts in the order of both, found by a shortest edit script of their
// token sequences.
std::vector<SharedPassage> SharedPassages(std::string_view studentText, std::string_view classmateText);

// Whose submission a column shows. Texts are Windows-1250.
struct ComparedStudent {
    std::string name;
    std::string surname;
    std::string unid;
    std::string variant;
    // Where the text comes from ("ppf.ppf", "main.c, list.c"), or why none is shown.
    std::string origin;
};

struct ComparisonHeading {
    std::string task; // the task type name <T>
    ComparedStudent student;
    ComparedStudent classmate;
    std::optional<int> similarity; // as stored with the student; none when not stored
};

// The whole page, Windows-1250 HTML: the heading with both students, the task, the variant, the stored
// similarity and the shared passages' and lines' counts, then a table of two columns whose rows alternate
// between the shared passages (marked and numbered) and the stretches in between. Every source line is shown
// whole and byte for byte, only "<", ">" and "&" escaped.
std::string ComparisonPage(const ComparisonHeading& heading, std::string_view studentText,
                           std::string_view classmateText);

// Where the page of two students' submissions of a task type is written: <installation>/tmp/compare/.
std::string ComparisonPagePath(const std::string& installation, const std::string& taskType,
                               const std::string& studentId, const std::string& classmateId);

// Writes the comparison page of the two students' (ids) submissions of the task type into the
// installation's scratch directory and opens it in the browser. Tells what failed (a student record that
// cannot be read, a submission that is missing or unreadable, a page that cannot be written); nothing is
// opened then.
void CompareSubmissions(Database& db, Prompts& prompts, const std::string& configPath,
                        const std::string& taskType, const std::string& studentId,
                        const std::string& classmateId, const DetachedLauncher& launcher);

} // namespace tarvel
