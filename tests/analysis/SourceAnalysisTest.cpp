#include "analysis/SourceAnalysis.h"

#include "AnalysisDatabase.h"
#include "analysis/Preprocessor.h"
#include "store/RecordSection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvel {
namespace {

using testing::AnalysisDatabase;
using testing::Crlf;

std::vector<std::string> Texts(const TokenTable& table) {
    std::vector<std::string> texts;
    for (const auto& entry : table.Entries()) {
        texts.push_back(entry.text);
    }
    return texts;
}

std::vector<int> Counts(const TokenTable& table) {
    std::vector<int> counts;
    for (const auto& entry : table.Entries()) {
        counts.push_back(entry.count);
    }
    return counts;
}

TEST(KeywordTable, HoldsNinetyNineWordsInTheirOrder) {
    ASSERT_EQ(KeywordTable().size(), 99u);
    const struct {
        const char* word;
        int position;
    } cases[] = {{"if", 0},        {"exit", 13},      {"void", 14},   {"FILE", 24},   {"typedef", 31},
                 {"NULL", 32},     {"protected", 38}, {"define", 39}, {"ifndef", 45}, {"stdio.h", 46},
                 {"string.h", 52}, {"printf", 53},    {"malloc", 68}, {"EOF", 86},    {"fscanf", 98},
                 {"If", -1},       {"default", -1},   {"file", -1},   {"", -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(KeywordPosition(c.word), c.position) << c.word;
    }
}

TEST(SourceAnalysis, ClassifiesTokensIntoTheFourTables) {
    const auto analysis = SourceAnalysis::OfText("x = 1; x = 2; y = \"hello\"; printf(\"hello\", x, 'c');");
    EXPECT_EQ(Texts(analysis.Identifiers()), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(Counts(analysis.Identifiers()), (std::vector<int>{3, 1}));
    EXPECT_EQ(Texts(analysis.Numbers()), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(Texts(analysis.Strings()), (std::vector<std::string>{"hello"}));
    EXPECT_EQ(Counts(analysis.Strings()), (std::vector<int>{2}));
    EXPECT_EQ(Texts(analysis.Operators()), (std::vector<std::string>{"=", ";", "(", ",", "'c'", ")"}));
    EXPECT_EQ(Counts(analysis.Operators()), (std::vector<int>{3, 4, 1, 2, 1, 1}));
    EXPECT_EQ(analysis.KeywordCounts()[53], 1);
    EXPECT_EQ(analysis.Identifiers().Find("printf"), -1);
}

TEST(SourceAnalysis, StoresStringsWithoutTheirQuotes) {
    const auto unterminated = SourceAnalysis::OfText("s = \"abc\r\nt = \"\"; \"");
    EXPECT_EQ(Texts(unterminated.Strings()), (std::vector<std::string>{"abc", ""}));
    EXPECT_EQ(Counts(unterminated.Strings()), (std::vector<int>{1, 2}));
}

TEST(SourceAnalysis, CountsBytesOfTheCommentFreeText) {
    const auto analysis = SourceAnalysis::OfText("aab /* zz */\r\n");
    EXPECT_EQ(analysis.Text(), "aab \r\n");
    EXPECT_EQ(analysis.Length(), 6);
    EXPECT_EQ(analysis.ByteCount()['a'], 2);
    EXPECT_EQ(analysis.ByteCount()['z'], 0);
    EXPECT_EQ(analysis.ByteCount()['\r'], 1);
}

TEST(SourceAnalysis, CommentPercentTruncates) {
    EXPECT_EQ(SourceAnalysis::OfText("abcd/*xx*/").CommentPercent(), 60);
    EXPECT_EQ(SourceAnalysis::OfText("a//").CommentPercent(), 66);
    EXPECT_EQ(SourceAnalysis::OfText("abc").CommentPercent(), 0);
    EXPECT_EQ(SourceAnalysis::OfText("/**/").CommentPercent(), 100);
    EXPECT_EQ(SourceAnalysis::OfText("").CommentPercent(), 0);
}

TEST(SourceAnalysis, FullTablesIgnoreNewTexts) {
    std::string text;
    for (int i = 0; i < 200; ++i) {
        text += "\"s" + std::to_string(i) + "\" ";
    }
    for (int i = 0; i < 1100; ++i) {
        text += "v" + std::to_string(i) + " ";
    }
    for (int i = 0; i < 300; ++i) {
        text += std::to_string(i) + " ";
    }
    text += "\"s200\" \"s0\" v1100 v0";
    const auto analysis = SourceAnalysis::OfText(text);
    EXPECT_EQ(analysis.Strings().Size(), 128);
    EXPECT_EQ(analysis.Identifiers().Size(), 1024);
    EXPECT_EQ(analysis.Numbers().Size(), 256);
    EXPECT_EQ(analysis.Strings().Find("s128"), -1);
    EXPECT_EQ(analysis.Strings().Entries()[0].count, 2);
    EXPECT_EQ(analysis.Identifiers().Entries()[0].count, 2);
    EXPECT_EQ(analysis.Identifiers().Find("v1100"), -1);
}

TEST(SourceAnalysis, FullOperatorTableIgnoresNewTexts) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += "'" + std::to_string(i) + "' ";
    }
    EXPECT_EQ(SourceAnalysis::OfText(text).Operators().Size(), 256);
}

// A merged file of exactly `size` bytes: a program padded with blanks.
std::string MergedFileOfSize(std::size_t size) {
    std::string text = "int main() { int count; count = 0; total = count; return 0; }\r\n";
    text.resize(size, ' ');
    return text;
}

TEST(SourceAnalysis, ReadsOnlyFilesOfFiftyToThirtyTwoThousandBytes) {
    const struct {
        std::size_t size;
        int length;
    } cases[] = {{49, 0}, {50, 50}, {32000, 32000}, {32001, 0}};
    for (const auto& c : cases) {
        AnalysisDatabase data;
        const ResultRecord record = data.AddSubmission("10001", {{"main.c", "int x;\n"}});
        testing::WriteBytes(data.SubmissionPath(record, "merged.txt"), MergedFileOfSize(c.size));
        ResultSection(data.Db(), record).WriteString(kPreprocessedFileKey, "merged.txt");
        const SourceAnalysis analysis(data.Db(), record);
        EXPECT_EQ(analysis.Length(), c.length) << c.size;
        EXPECT_EQ(analysis.Path(), data.SubmissionPath(record, "merged.txt"));
        if (c.length == 0) {
            EXPECT_EQ(analysis.ByteCount()[' '], 0);
            EXPECT_EQ(analysis.KeywordCounts()[15], 0);
        }
    }
}

TEST(SourceAnalysis, WritesTheIdentifierListIntoTheSubmissionDirectory) {
    AnalysisDatabase data;
    const std::string source = "int main() { int count; count = 0; printf(\"%d\", count); total = count; }\n";
    const ResultRecord record = data.AddSubmission("10001", {{"main.c", source}});
    const SourceAnalysis analysis(data.Db(), record);
    EXPECT_EQ(analysis.Path(), data.SubmissionPath(record, "ppf.ppf"));
    EXPECT_EQ(testing::ReadBytes(data.SubmissionPath(record, "out.txt")), "count\ntotal\n");

    // A scan of other sources replaces the list.
    testing::WriteBytes(data.SubmissionPath(record, "ppf.ppf"),
                        Crlf("int alpha; alpha = beta; /* padding padding padding */\n"));
    const SourceAnalysis again(data.Db(), record);
    EXPECT_EQ(testing::ReadBytes(data.SubmissionPath(record, "out.txt")), "alpha\nbeta\n");
}

TEST(SourceAnalysis, UnreadableSubmissionIsEmpty) {
    AnalysisDatabase data;
    ResultRecord missing;
    missing.task = "1";
    missing.studentId = "99";
    const SourceAnalysis analysis(data.Db(), missing);
    EXPECT_EQ(analysis.Path(), "");
    EXPECT_EQ(analysis.Length(), 0);
    EXPECT_EQ(analysis.Operators().Size(), 0);
}

} // namespace
} // namespace tarvel
