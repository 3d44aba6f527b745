#include "analysis/StyleMetrics.h"

#include "AnalysisDatabase.h"
#include "store/RecordSection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvel {
namespace {

using testing::AnalysisDatabase;
using testing::Crlf;

TEST(StyleMetrics, SmallFunctionGivesItsFigures) {
    const auto analysis = SourceAnalysis::OfText(Crlf("int main()\n{\n  return 0;\n}\n"));
    ResultRecord figures;
    ComputeStyleFigures(analysis, figures);
    EXPECT_EQ(figures.vlPocetRiadkov, 5);
    EXPECT_EQ(figures.vlDlzka, 31);
    EXPECT_EQ(figures.vlMaxDlzkaFunkcie, 2);
    EXPECT_EQ(figures.vlPriemernaDlzkaFunkcie, 2);
    EXPECT_EQ(figures.vlPocetPoruseniZarovnania, 0);
    EXPECT_EQ(figures.vlViacPrikazovNaRiadok, 0);
    EXPECT_EQ(figures.vlPercentoKomentarov, 0);
}

struct CounterCase {
    const char* name;
    const char* text; // LF line ends, converted to CR LF
    int multiStatementLines;
    int breakOutsideCase;
};

TEST(StyleMetrics, StatementsPerLineAndBreakOutsideCase) {
    const CounterCase cases[] = {
        {"two statements on a line", "a = 1; b = 2;\n", 1, 0},
        {"semicolons of a for header do not count", "for (i = 0; i < n; i++) x++;\n", 0, 0},
        {"case line with its break", "switch (k) {\ncase 1: x = 1; break;\n}\n", 1, 0},
        {"a case outside braces leaves its break outside", "case 1: x = 1; break;\n", 1, 1},
        {"break in a loop", "while (x) { break; }\n", 0, 1},
        {"break in a loop inside a case", "switch (k) { case 1: for (;;) { break; } }\n", 0, 0},
        {"break after the switch has closed", "while (1) {\nswitch (k) { case 1: x; }\nbreak;\n}\n", 0, 1},
        {"default is not a case word", "switch (k) { default: break; }\n", 0, 1},
        {"each line counted once", "a; b;\nc; d; e;\nf;\n", 2, 0},
        {"the last line without a line end raises no event", "a; b;", 0, 0},
    };
    for (const auto& c : cases) {
        const auto analysis = SourceAnalysis::OfText(Crlf(c.text));
        EXPECT_EQ(analysis.Style().multiStatementLines, c.multiStatementLines) << c.name;
        EXPECT_EQ(analysis.Style().breakOutsideCase, c.breakOutsideCase) << c.name;
    }
}

TEST(StyleMetrics, KeywordFlags) {
    const auto plain = SourceAnalysis::OfText("int main() { return 0; }");
    EXPECT_EQ(plain.Style().gotoUsed + plain.Style().continueUsed + plain.Style().dynamicUsed, 0);
    const auto flagged = SourceAnalysis::OfText("goto end; continue; p = malloc(4);");
    EXPECT_EQ(flagged.Style().gotoUsed, 1);
    EXPECT_EQ(flagged.Style().continueUsed, 1);
    EXPECT_EQ(flagged.Style().dynamicUsed, 1);
    EXPECT_EQ(SourceAnalysis::OfText("p = new Item;").Style().dynamicUsed, 1);
    EXPECT_EQ(SourceAnalysis::OfText("p = Malloc(1); newer = 1;").Style().dynamicUsed, 0);
}

TEST(StyleMetrics, BlockLengthsCountLineEndsOfTopLevelBlocks) {
    // The first block spans two line ends, the second three: average 5 / 2 = 2.
    const auto analysis = SourceAnalysis::OfText(Crlf("f()\n{\n a;\n}\ng()\n{\n a;\n b;\n}\n"));
    EXPECT_EQ(analysis.Style().blockCount, 2);
    EXPECT_EQ(analysis.Style().maxBlockLines, 3);
    EXPECT_EQ(analysis.Style().blockLinesTotal, 2);

    const auto structure = SourceAnalysis::OfText("struct s { int a; };\r\n");
    EXPECT_EQ(structure.Style().blockCount, 1);
    EXPECT_EQ(structure.Style().maxBlockLines, 0);
    EXPECT_EQ(structure.Style().blockLinesTotal, 0);

    const auto noBlock = SourceAnalysis::OfText("int x;\r\nint y;\r\n");
    EXPECT_EQ(noBlock.Style().blockCount, 0);
    EXPECT_EQ(noBlock.Style().blockLinesTotal, 0);

    // Inner blocks belong to the top-level one; unbalanced braces keep counting below zero.
    const auto nested = SourceAnalysis::OfText(Crlf("f() {\n if (x) {\n y;\n }\n}\n}\n}\n"));
    EXPECT_EQ(nested.Style().blockCount, 1);
    EXPECT_EQ(nested.Style().maxBlockLines, 4);
    EXPECT_EQ(nested.Style().braceDepth, -2);
}

struct IndentCase {
    const char* name;
    const char* text; // LF line ends, converted to CR LF
    int violations;
};

TEST(IndentationViolations, FollowsTheOwnerOfEachBlock) {
    const IndentCase cases[] = {
        {"well indented", "int main()\n{\n  return 0;\n}\n", 0},
        {"statement at the depth of its if", "void f()\n{\n  if (x)\n  {\n  y = 1;\n  }\n}\n", 1},
        {"label at column 0 is forgiven", "void f()\n{\nend:\n  x;\n}\n", 0},
        {"label followed by a statement is not", "void f()\n{\nend: ;\n  x;\n}\n", 1},
        {"K&R else measured from else",
         "void f()\n{\n    if (x) {\n        a;\n    } else {\n        b;\n    }\n}\n", 1},
        {"tab and eight spaces at one depth", "void f()\n{\n\ta;\n        b;\n}\n", 0},
        {"a tab adds 8 wherever it stands", "void f()\n{\n         if (x) {\n  \tb;\n         }\n}\n", 0},
        {"brace on its own line at the owner's column", "void f()\n{\n  if (x)\n  {\n    y;\n  }\n}\n", 0},
        {"brace and line at the enclosing owner", "void f()\n{\nif (x)\n{\n}\n}\n", 2},
        {"braces inside quotes are text", "x = \"{\";\nc = '}';\n", 0},
        {"closing brace off its owner", "void f()\n{\n  x;\n  }\n", 1},
        {"unmatched braces at file level", "}\n}\n", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IndentationViolations(Crlf(c.text)), c.violations) << c.name;
    }
}

TEST(IndentationViolations, DeepNestingIsMeasuredAlike) {
    // Every "{" stands right of the owner column 0 of the line; every "}" stands off it.
    const std::string text = std::string(10000, '{') + std::string(10000, '}');
    EXPECT_EQ(IndentationViolations(text), 10000);
}

TEST(MeasureStyle, WritesTheElevenKeysInOrder) {
    AnalysisDatabase data;
    const ResultRecord record =
        data.AddSubmission("10001", {{"main.c", "int main()\n{\n  return 0; /* all done here */\n}\n"}});
    const SourceAnalysis analysis(data.Db(), record);
    EXPECT_EQ(MeasureStyle(analysis), 1);

    std::vector<std::string> keys;
    ASSERT_TRUE(ResultSection(data.Db(), record).Keys(keys));
    const std::vector<std::string> tail(keys.end() - 11, keys.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"vlBreak", "vlContinue", "vlDynamickePremenne", "vlGoto",
                                              "vlMaxDlzkaFunkcie", "vlPercentoKomentarov",
                                              "vlPocetPoruseniZarovnania", "vlPriemernaDlzkaFunkcie",
                                              "vlViacPrikazovNaRiadok", "vlDlzka", "vlPocetRiadkov"}));
    // ppf.ppf: the four lines and the line end the merge adds, CR LF each: 53 bytes, 19 of them the comment.
    EXPECT_EQ(data.StoredInt(record, "vlDlzka"), 34);
    EXPECT_EQ(data.StoredInt(record, "vlPercentoKomentarov"), 35);
    EXPECT_EQ(data.StoredInt(record, "vlPocetRiadkov"), 6);
    EXPECT_EQ(data.StoredInt(record, "vlMaxDlzkaFunkcie"), 2);
    EXPECT_EQ(data.StoredInt(record, "vlPocetPoruseniZarovnania"), 0);

    ResultRecord loaded;
    ASSERT_TRUE(LoadResult(data.Db(), "1", record.studentId, loaded));
    EXPECT_EQ(loaded.vlDlzka, 34);
}

TEST(MeasureStyle, SubmissionWithoutTextWritesOneLineAndZeros) {
    AnalysisDatabase data;
    const ResultRecord record = data.AddSubmission("10001", {{"notes.txt", "no C here"}});
    const SourceAnalysis analysis(data.Db(), record);
    EXPECT_EQ(MeasureStyle(analysis), 1);
    for (const char* key : {"vlBreak", "vlContinue", "vlDynamickePremenne", "vlGoto", "vlMaxDlzkaFunkcie",
                            "vlPercentoKomentarov", "vlPocetPoruseniZarovnania", "vlPriemernaDlzkaFunkcie",
                            "vlViacPrikazovNaRiadok", "vlDlzka"}) {
        EXPECT_EQ(data.StoredInt(record, key), 0) << key;
    }
    EXPECT_EQ(data.StoredInt(record, "vlPocetRiadkov"), 1);
}

} // namespace
} // namespace tarvel
