#include "AnalysisDatabase.h"
#include "SampleSources.h"
#include "analysis/Similarity.h"
#include "analysis/StyleMetrics.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvel {
namespace {

using testing::AnalysisDatabase;
using testing::SourceFiles;

std::string EveryByteValue(std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text.push_back(static_cast<char>((i * 7 + 3) % 256));
    }
    return text;
}

std::string RepeatedTo(std::string_view unit, std::size_t size) {
    std::string text;
    while (text.size() < size) {
        text.append(unit);
    }
    text.resize(size);
    return text;
}

struct HostileCase {
    const char* name;
    SourceFiles files;
};

// Whatever a student sends, the analysis ends and every stored figure stays within its range.
TEST(Robustness, HostileSubmissionsGiveSaneFigures) {
    const std::string program = testing::Program({"node", "push", "list", "i", "sum"});
    const HostileCase cases[] = {
        {"no C file", {{"readme.txt", program}}},
        {"header including itself",
         {{"main.c", "#include \"a.h\"\n" + program}, {"a.h", "#include \"a.h\"\n"}}},
        {"include cycle through three files",
         {{"main.c", "#include \"x.h\"\n"},
          {"x.h", "#include \"y.h\"\n" + program},
          {"y.h", "#include \"z.h\"\n"},
          {"z.h", "#include \"x.h\"\n"}}},
        {"NUL bytes", {{"main.c", std::string("int main() {\0\0 return 0; }\n", 27) + program}}},
        {"bytes 128-255", {{"main.c", EveryByteValue(20000)}}},
        {"unterminated string at the end", {{"main.c", program + "char *s = \"abc"}}},
        {"unterminated comment at the end", {{"main.c", program + "/* abc"}}},
        {"unterminated character constant at the end", {{"main.c", program + "c = '\\"}}},
        {"unmatched closing braces", {{"main.c", RepeatedTo("}\n", 4000)}}},
        {"only opening braces", {{"main.c", RepeatedTo("{", 30000)}}},
        {"directives only", {{"main.c", RepeatedTo("#include \"missing.h\" \\\n", 20000)}}},
        {"too large", {{"main.c", RepeatedTo("int a; ", 40000)}}},
    };
    for (const auto& c : cases) {
        AnalysisDatabase data;
        const ResultRecord classmate = data.AddSubmission("10001", {{"main.c", program}});
        const ResultRecord record = data.AddSubmission("10002", c.files);
        AnalyzeSubmission(data.Db(), record);

        const auto stored = [&](const char* key) { return data.StoredInt(record, key).value_or(-1); };
        for (const char* flag : {"vlBreak", "vlContinue", "vlDynamickePremenne", "vlGoto"}) {
            EXPECT_TRUE(stored(flag) == 0 || stored(flag) == 1) << c.name << " " << flag;
        }
        EXPECT_GE(stored("vlPercentoKomentarov"), 0) << c.name;
        EXPECT_LE(stored("vlPercentoKomentarov"), 100) << c.name;
        EXPECT_GE(stored("vlDlzka"), 0) << c.name;
        EXPECT_LE(stored("vlDlzka"), 32000) << c.name;
        EXPECT_GE(stored("vlPocetRiadkov"), 1) << c.name;
        EXPECT_LE(stored("vlPocetRiadkov"), stored("vlDlzka") + 1) << c.name;
        EXPECT_GE(stored("vlMaxDlzkaFunkcie"), stored("vlPriemernaDlzkaFunkcie")) << c.name;
        EXPECT_GE(stored("vlPriemernaDlzkaFunkcie"), 0) << c.name;
        EXPECT_GE(stored("vlViacPrikazovNaRiadok"), 0) << c.name;
        EXPECT_LT(stored("vlViacPrikazovNaRiadok"), stored("vlPocetRiadkov")) << c.name;
        EXPECT_GE(stored("vlPocetPoruseniZarovnania"), -stored("vlPocetRiadkov")) << c.name;

        const auto pair = data.StoredInt(record, SimilarityKey(classmate.studentId));
        ASSERT_TRUE(pair.has_value()) << c.name;
        EXPECT_GE(*pair, 0) << c.name;
        EXPECT_LE(*pair, 100) << c.name;
        EXPECT_EQ(data.StoredInt(classmate, SimilarityKey(record.studentId)), pair) << c.name;
    }
}

TEST(Robustness, ThirtyTwoThousandBytesOnOneLine) {
    AnalysisDatabase data;
    // The merge adds one line end, CR LF in the file: 32000 bytes.
    const ResultRecord record = data.AddSubmission("10001", {{"main.c", RepeatedTo("int a; ", 31998)}});
    AnalyzeSubmission(data.Db(), record);
    EXPECT_EQ(data.StoredInt(record, "vlDlzka"), 32000);
    EXPECT_EQ(data.StoredInt(record, "vlPocetRiadkov"), 2);
    EXPECT_EQ(data.StoredInt(record, "vlViacPrikazovNaRiadok"), 1);
}

TEST(Robustness, TenThousandNestedBraces) {
    AnalysisDatabase data;
    const ResultRecord record =
        data.AddSubmission("10001", {{"main.c", std::string(10000, '{') + std::string(10000, '}') + "\n"}});
    AnalyzeSubmission(data.Db(), record);
    // A brace following a brace is emitted with it, so the last of an even run is classified before the line
    // end: one top-level block of length 0.
    EXPECT_EQ(data.StoredInt(record, "vlDlzka"), 20004);
    EXPECT_EQ(data.StoredInt(record, "vlPocetRiadkov"), 3);
    EXPECT_EQ(data.StoredInt(record, "vlMaxDlzkaFunkcie"), 0);
    EXPECT_EQ(data.StoredInt(record, "vlPriemernaDlzkaFunkcie"), 0);
    EXPECT_EQ(data.StoredInt(record, "vlPocetPoruseniZarovnania"), 10000);
}

TEST(Robustness, LoneLastBraceEndsAfterItsLineEnd) {
    AnalysisDatabase data;
    // The last brace stands alone and is still being built when the CR arrives: the line is counted first.
    const ResultRecord record = data.AddSubmission(
        "10001",
        {{"main.c", std::string(9999, '{') + std::string(9998, '}') + " }\n" + std::string(40, ' ')}});
    AnalyzeSubmission(data.Db(), record);
    EXPECT_EQ(data.StoredInt(record, "vlMaxDlzkaFunkcie"), 1);
    EXPECT_EQ(data.StoredInt(record, "vlPocetPoruseniZarovnania"), 9999);
}

} // namespace
} // namespace tarvel
