// The expected-output pattern language, read from files as the runner reads them (Windows text mode).

#include "runner/PatternCompare.h"
#include "runner/RunResult.h"
#include "runner/TextModeStream.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvel {
namespace {

using testing::TempDir;
using testing::WriteBytes;

struct PatternCase {
    const char* name;
    std::string pattern;
    std::string output;
    int expected;
};

std::ostream& operator<<(std::ostream& out, const PatternCase& c) {
    return out << c.name;
}

int Compare(const TempDir& dir, const std::string& pattern, const std::string& output) {
    WriteBytes(dir / "expected.out", pattern);
    WriteBytes(dir / "tmp.txt", output);
    TextStream patternStream = OpenTextModeStream(dir / "expected.out");
    TextStream outputStream = OpenTextModeStream(dir / "tmp.txt");
    EXPECT_TRUE(patternStream && outputStream);
    return ComparePattern(patternStream.get(), outputStream.get());
}

class PatternCompareTest : public ::testing::TestWithParam<PatternCase> {};

TEST_P(PatternCompareTest, GivesTheResultCode) {
    TempDir dir;
    const PatternCase& c = GetParam();
    EXPECT_EQ(Compare(dir, c.pattern, c.output), c.expected);
}

const PatternCase kNumbers[] = {
    {"NumberEqual", "%f 3.5", "3.5", kRunPassed},
    {"NumberWithTrailingZeroAfterBlanks", "%f 3.5", "   3.50", kRunPassed},
    {"NumberFollowedByText", "%f 3.5", "3.5 and more", kRunPassed},
    {"NumberOffByLittle", "%f 3.5", "3.4999999", kRunOutputMismatch},
    {"LetterInsteadOfNumber", "%f 3.5", "x", kRunOutputMismatch},
    {"OutputEndedBeforeNumber", "%f 3.5", "", kRunOutputMismatch},
    {"OutputOnlyBlanks", "%f 1", " \n\t ", kRunOutputMismatch},
    {"NumberAfterLineBreaks", "%f 2", "\n\n  2\n", kRunPassed},
    {"PatternEndsWithLineBreak", "%f42\n", "42", kRunPassed},
    {"ExponentAgainstPlain", "%f 1e3", "1000", kRunPassed},
    {"HexadecimalAsFscanfReadsIt", "%f 0x10", "16", kRunPassed},
    {"NegativeZeroEqualsZero", "%f -0", "0", kRunPassed},
    {"SignedNumber", "%f -2.25", "-2.25", kRunPassed},
    {"NumberDirectlyFollowedByText", "%f3%Cabc", "3abc", kRunPassed},
    {"SeveralNumbers", "%f1 %f2 %f3", "1 2\n3\n", kRunPassed},
    {"SecondNumberWrong", "%f1 %f2 %f3", "1 5 3", kRunOutputMismatch},
    {"NoNumberInPattern", "%f abc", "1", kRunPatternBroken},
    {"PatternEndsAfterNumberDirective", "%f", "1", kRunPatternBroken},
};
INSTANTIATE_TEST_SUITE_P(Numbers, PatternCompareTest, ::testing::ValuesIn(kNumbers),
                         [](const auto& info) { return std::string(info.param.name); });

const PatternCase kTexts[] = {
    {"TextWithLineBreak", "%CHello\n", "Hello\nworld", kRunPassed},
    {"BlankAfterLetterBelongsToText", "%C Hello\n", "Hello\n", kRunOutputMismatch},
    {"BlankAfterLetterMatchesBlank", "%C Hello\n", " Hello\n", kRunPassed},
    {"IgnoreCaseUpper", "%cyes", "YES", kRunPassed},
    {"IgnoreCaseMixed", "%cyes", "Yes", kRunPassed},
    {"ExactCaseRefusesUpper", "%Cyes", "YES", kRunOutputMismatch},
    {"ExactCaseAcceptsSame", "%Cyes", "yes", kRunPassed},
    {"OutputEndsInsideText", "%CHello", "Hel", kRunOutputMismatch},
    {"DifferentCharacter", "%CHello", "Hallo", kRunOutputMismatch},
    {"OutputLeftOverIsNotExamined", "%CHi", "Hi there", kRunPassed},
    {"EmptyTexts", "%C%C%c", "", kRunPassed},
    {"TextThenNumberThenText", "%CA=%f1.5%C;", "A= 1.5;", kRunPassed},
    {"EscapedPercent", "%C100\\%", "100%", kRunPassed},
    {"EscapedBackslash", "%Ca\\\\b", "a\\b", kRunPassed},
    {"BackslashNIsTheLetterN", "%Ca\\nb", "anb", kRunPassed},
    {"BackslashNIsNotALineBreak", "%Ca\\nb", "a\nb", kRunOutputMismatch},
    {"BackslashAtEndOfPattern", "%Cab\\", "ab", kRunPassed},
    {"IgnoreCaseOnlyForAsciiLetters", "%c\xE1", "\xC1", kRunOutputMismatch},
    {"IgnoreCaseSameNonAscii", "%c\xE1", "\xE1", kRunPassed},
    {"DigitsAndPunctuationUnderIgnoreCase", "%c1+[", "1+[", kRunPassed},
};
INSTANTIATE_TEST_SUITE_P(Texts, PatternCompareTest, ::testing::ValuesIn(kTexts),
                         [](const auto& info) { return std::string(info.param.name); });

const PatternCase kStructure[] = {
    {"EmptyPattern", "", "anything", kRunPassed},
    {"OnlyWhiteSpace", " \n\t\r\n ", "", kRunPassed},
    {"TextWithoutDirective", "Hello", "Hello", kRunPatternBroken},
    {"UnknownLetter", "%x1", "1", kRunPatternBroken},
    {"DoublePercent", "%%", "%", kRunPatternBroken},
    {"PercentAtEnd", "%", "", kRunPatternBroken},
    {"BrokenAfterGoodDirective", "%f1 x", "1", kRunPatternBroken},
    {"MismatchBeforeBrokenPart", "%f1 x", "2", kRunOutputMismatch},
};
INSTANTIATE_TEST_SUITE_P(Structure, PatternCompareTest, ::testing::ValuesIn(kStructure),
                         [](const auto& info) { return std::string(info.param.name); });

// Pattern files written by a Windows editor end their lines with CR LF; programs may write either.
const PatternCase kLineEnds[] = {
    {"CrLfPatternAgainstLfOutput", "%CHello\r\n%f 3\r\n", "Hello\n3\n", kRunPassed},
    {"CrLfPatternAgainstCrLfOutput", "%CHello\r\n%f 3\r\n", "Hello\r\n3\r\n", kRunPassed},
    {"LfPatternAgainstCrLfOutput", "%CHello\n", "Hello\r\n", kRunPassed},
    {"CrLfLinesOfText", "%CLine one\r\nLine two\r\n", "Line one\nLine two\n", kRunPassed},
    {"LoneCarriageReturnStays", "%Ca\rb", "a\rb", kRunPassed},
    {"LoneCarriageReturnMustAppear", "%Ca\rb", "ab", kRunOutputMismatch},
    {"CarriageReturnAtEndOfOutput", "%Ca\r", "a\r", kRunPassed},
    {"CrCrLfReadsAsCrLf", "%Ca\r\r\n", "a\r\r\n", kRunPassed},
    {"CrCrLfIsNotLf", "%Ca\n", "a\r\r\n", kRunOutputMismatch},
    {"NumberEndedByCrLf", "%f 7\r\n%f 8\r\n", "7\r\n8\r\n", kRunPassed},
};
INSTANTIATE_TEST_SUITE_P(LineEnds, PatternCompareTest, ::testing::ValuesIn(kLineEnds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TextModeStreamTest, TurnsCrLfIntoLfAcrossReadBoundaries) {
    TempDir dir;
    // The reader works in blocks of 64 KiB: put a CR LF across every position near the block's end.
    std::string raw;
    std::string expected;
    for (int i = 0; i < 70000; ++i) {
        raw += (i % 7 == 0) ? "\r\n" : "x";
        expected += (i % 7 == 0) ? "\n" : "x";
    }
    raw += "\r";
    expected += "\r";
    WriteBytes(dir / "file", raw);
    TextStream stream = OpenTextModeStream(dir / "file");
    ASSERT_TRUE(stream);
    std::string read;
    for (int c; (c = std::getc(stream.get())) != EOF;) {
        read += static_cast<char>(c);
    }
    EXPECT_EQ(read, expected);
}

TEST(TextModeStreamTest, MissingFileGivesNoStream) {
    TempDir dir;
    EXPECT_FALSE(OpenTextModeStream(dir / "missing"));
}

} // namespace
} // namespace tarvel
