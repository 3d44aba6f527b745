#include "analysis/Similarity.h"

#include "AnalysisDatabase.h"
#include "SampleSources.h"
#include "analysis/StyleMetrics.h"
#include "store/RecordSection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvel {
namespace {

using testing::AnalysisDatabase;
using testing::Program;

std::string Repeat(std::string_view token, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text.append(token);
        text.push_back(' ');
    }
    return text;
}

const std::string kTenSharedKeywords = [] {
    std::string text;
    for (const char* word :
         {"if", "else", "for", "while", "do", "switch", "return", "void", "char", "float"}) {
        text += Repeat(word, 10);
    }
    return text;
}();

// a: int 100, "=" 50, numbers 1 (10) and 2 (4), string a (1).
// b: int 99, "=" 45, numbers 1 (10) and 3 (1), strings a (2) and b (1).
// Pairs: int equal, "=" similar, 1 equal, a neither: C 4, S 317, D 7, E 2, Sm 1.
const std::string kFewItemsA =
    Repeat("int", 100) + Repeat("=", 50) + Repeat("1", 10) + Repeat("2", 4) + "\"a\" ";
const std::string kFewItemsB =
    Repeat("int", 99) + Repeat("=", 45) + Repeat("1", 10) + "3 " + Repeat("\"a\"", 2) + "\"b\" ";

TEST(TokenSimilarity, FewerThanEightItemsLeaveP1AtZero) {
    // Hop 1, Hnum 2, Hstr 1, Ckw 1: the P1 divisor is -3, so P1 is 0 (dividing would give -510 / -3 = 170).
    // T = 9 / 2 + 1 = 5, Shalf 158: P2 = (151 / 158 * 100) * (4 / 5) = 76.45..., so 76; result 76 / 2 = 38.
    const auto a = SourceAnalysis::OfText(kFewItemsA);
    const auto b = SourceAnalysis::OfText(kFewItemsB);
    EXPECT_EQ(TokenSimilarity(a, b), 38);
    EXPECT_EQ(TokenSimilarity(b, a), 38);
}

TEST(TokenSimilarity, EqualAndSimilarPairsRaiseP1) {
    // Ten more keywords used ten times by both: E 12, Sm 1, C 14, S 517, D 7, Ckw 11.
    // P1 = (4 * 100 + 90) / 7 = 70; T = 4 + 11 = 15, Shalf 258: P2 = (251 / 258 * 100) * (14 / 15) = 90.80...
    // Result (70 + 90) / 2 = 80.
    const auto a = SourceAnalysis::OfText(kFewItemsA + kTenSharedKeywords);
    const auto b = SourceAnalysis::OfText(kFewItemsB + kTenSharedKeywords);
    EXPECT_EQ(TokenSimilarity(a, b), 80);
}

TEST(TokenSimilarity, NegativeValuesTruncateTowardZero) {
    // int 100 against 6: S 106, Shalf 53, D 94: P2 = -41 / 53 * 100 = -77.35..., so -77; P1 0; (0 - 77) / 2 =
    // -38.
    const auto a = SourceAnalysis::OfText(Repeat("int", 100));
    const auto b = SourceAnalysis::OfText(Repeat("int", 6) + Repeat("name", 80));
    EXPECT_EQ(TokenSimilarity(a, b), -38);
    ASSERT_GT(b.Length(), 300);
    EXPECT_EQ(Similarity(a, b), 0);
}

TEST(TokenSimilarity, NothingInCommonGivesZero) {
    const auto empty = SourceAnalysis::OfText("");
    EXPECT_EQ(TokenSimilarity(empty, empty), 0);
    const auto a = SourceAnalysis::OfText(Repeat("int", 50) + Repeat("+", 50));
    const auto b = SourceAnalysis::OfText(Repeat("char", 50) + Repeat("-", 50));
    EXPECT_EQ(TokenSimilarity(a, b), 0);
}

struct ByteCase {
    const char* name;
    std::string a;
    std::string b;
    int expected;
};

TEST(ByteSimilarity, ComparesHistograms) {
    const ByteCase cases[] = {
        // a equal, b close (gap 1), c different (gap 30, not below 50 / 8): diffSum - maxDiff is 0.
        {"one value differs strongly", std::string(10, 'a') + std::string(10, 'b') + std::string(10, 'c'),
         std::string(10, 'a') + std::string(11, 'b') + std::string(40, 'c'), (300 + 280) / 9},
        {"close through an eighth of the sum",
         std::string(100, 'a') + std::string(10, 'b') + std::string(10, 'c'),
         std::string(110, 'a') + std::string(10, 'b') + std::string(40, 'c'), (300 + 280) / 9},
        {"two values differ: beyond a tenth", std::string(10, 'a') + std::string(10, 'b'),
         std::string(20, 'a') + std::string(20, 'b'), 0},
        {"only close values give 100", std::string(10, 'a') + std::string(10, 'b'),
         std::string(12, 'a') + std::string(10, 'b'), 100},
        {"blanks and line ends are not compared", "abc", "a b c\r\n\t", 100},
        {"byte 255 is not compared", "abc" + std::string(50, '\xFF'), "abc", 100},
        {"NUL is compared", std::string("abc\0\0\0\0\0", 8), "abc", (3 * 300) / 12},
        {"against an empty text", std::string(60, 'x'), "", 0},
        {"two empty texts share nothing", "", "", 0},
    };
    for (const auto& c : cases) {
        const auto a = SourceAnalysis::OfText(c.a);
        const auto b = SourceAnalysis::OfText(c.b);
        EXPECT_EQ(ByteSimilarity(a, b), c.expected) << c.name;
        EXPECT_EQ(ByteSimilarity(b, a), c.expected) << c.name;
    }
}

TEST(Similarity, ThreeHundredBytesSelectTheByteMeasure) {
    // One long identifier: nothing for the token measure, one equal or close byte value for the byte measure.
    const auto at300 = SourceAnalysis::OfText(std::string(300, 'a'));
    const auto at301 = SourceAnalysis::OfText(std::string(301, 'a'));
    EXPECT_EQ(Similarity(at300, at300), 100);
    EXPECT_EQ(Similarity(at300, at301), 100);
    EXPECT_EQ(Similarity(at301, at301), 0);
}

TEST(Similarity, IdenticalProgramsGiveExactly100) {
    const std::string text = Program({"node", "push", "list", "i", "sum"});
    ASSERT_GT(text.size(), 300u);
    EXPECT_EQ(Similarity(SourceAnalysis::OfText(text), SourceAnalysis::OfText(text)), 100);
}

TEST(Similarity, RenamingIdentifiersKeeps100) {
    const auto original = SourceAnalysis::OfText(Program({"node", "push", "list", "i", "sum"}));
    const auto renamed =
        SourceAnalysis::OfText(Program({"Prvok", "pridaj", "zoznam", "k", "sucet_vsetkych"}));
    EXPECT_EQ(Similarity(original, renamed), 100);
    EXPECT_EQ(Similarity(renamed, original), 100);
}

TEST(Similarity, IsSymmetricAndWithinRange) {
    struct Sample {
        std::string text;
        bool realCode;
    };
    std::vector<Sample> samples = {
        {Program({"node", "push", "list", "i", "sum"}), true},
        {Program({"a", "b", "c", "d", "e"}) + "int extra(void) { return 42 * 42; }\r\n", true},
        {std::string(testing::kProgramTemplate.substr(0, 400)), true},
        {std::string(testing::kProgramTemplate.substr(300)), true},
        {"int main() { return 0; }\r\n", true},
        {std::string(250, '{'), false},
        {std::string(1000, '\xE1'), false},
    };
    for (const char* header : {"/usr/include/stdio.h", "/usr/include/string.h", "/usr/include/stdlib.h"}) {
        std::string bytes;
        if (ReadWholeFile(header, bytes, kMaximumSourceBytes)) {
            samples.push_back({testing::Crlf(bytes), true});
        }
    }
    std::vector<SourceAnalysis> analyses;
    for (const auto& sample : samples) {
        analyses.push_back(SourceAnalysis::OfText(sample.text));
    }
    for (std::size_t i = 0; i < analyses.size(); ++i) {
        for (std::size_t j = 0; j < analyses.size(); ++j) {
            const int value = Similarity(analyses[i], analyses[j]);
            EXPECT_GE(value, 0) << i << " " << j;
            EXPECT_LE(value, 100) << i << " " << j;
            EXPECT_EQ(value, Similarity(analyses[j], analyses[i])) << i << " " << j;
        }
        if (samples[i].realCode) {
            EXPECT_EQ(Similarity(analyses[i], analyses[i]), 100) << i;
        }
    }
}

TEST(Similarity, IdenticalTextsWithFewItemsGetOnlyP2) {
    // One operator text used once by both: E = C = T = 1, the P1 divisor 1 - 8 is negative, so P1 is 0 and
    // the result is (0 + 100) / 2.
    const auto text = SourceAnalysis::OfText(std::string(1000, '\xE1'));
    EXPECT_EQ(Similarity(text, text), 50);
}

class VariantGroup : public ::testing::Test {
protected:
    ResultRecord Add(const std::string& unid, const std::string& source) {
        return data.AddSubmission(unid, {{"main.c", source}});
    }
    std::vector<std::string> ResultKeys(const ResultRecord& record) {
        std::vector<std::string> keys;
        EXPECT_TRUE(ResultSection(data.Db(), record).Keys(keys));
        return keys;
    }

    AnalysisDatabase data;
};

TEST_F(VariantGroup, SingleAcceptedStudentRecordsNothing) {
    const ResultRecord alone = Add("10001", Program({"node", "push", "list", "i", "sum"}));
    const SourceAnalysis analysis(data.Db(), alone);
    EXPECT_FALSE(RecordSimilarities(analysis));
    EXPECT_TRUE(SimilarStudents(data.Db(), alone).empty());
    for (const auto& key : ResultKeys(alone)) {
        EXPECT_NE(key.rfind("Pod", 0), 0u) << key;
    }
}

TEST_F(VariantGroup, StoresEachPairInBothSections) {
    const ResultRecord first = Add("10001", Program({"node", "push", "list", "i", "sum"}));
    const ResultRecord second = Add("10002", Program({"Prvok", "pridaj", "zoznam", "k", "sucet"}));
    const ResultRecord third = Add("10003", "int main() { printf(\"hello, world\\n\"); return 0; }\n");
    const ResultRecord late = data.AddSubmission("10004", {{"main.c", "int x;\n"}}, false);

    AnalyzeSubmission(data.Db(), first);

    EXPECT_EQ(data.StoredInt(first, SimilarityKey(second.studentId)), 100);
    EXPECT_EQ(data.StoredInt(second, SimilarityKey(first.studentId)), 100);
    const SourceAnalysis firstAnalysis(data.Db(), first);
    const SourceAnalysis thirdAnalysis(data.Db(), third);
    const int withThird = Similarity(firstAnalysis, thirdAnalysis);
    EXPECT_EQ(data.StoredInt(first, SimilarityKey(third.studentId)), withThird);
    EXPECT_EQ(data.StoredInt(third, SimilarityKey(first.studentId)), withThird);
    EXPECT_EQ(data.StoredInt(late, SimilarityKey(first.studentId)), std::nullopt);
    EXPECT_EQ(data.StoredInt(first, SimilarityKey(late.studentId)), std::nullopt);
    EXPECT_EQ(data.StoredInt(second, SimilarityKey(third.studentId)), std::nullopt);

    // The new student's keys follow in list order, then the style figures: as one write per key would leave
    // them.
    const auto keys = ResultKeys(first);
    const std::vector<std::string> expectedHead = {"mod",
                                                   "ver",
                                                   "pts",
                                                   "whend",
                                                   "whenm",
                                                   "wheny",
                                                   "late",
                                                   kPreprocessedFileKey,
                                                   SimilarityKey(second.studentId),
                                                   SimilarityKey(third.studentId),
                                                   "vlBreak"};
    ASSERT_GE(keys.size(), expectedHead.size());
    EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.begin() + expectedHead.size()), expectedHead);
    // Classmates' merged files were built on the way, style figures are written only for the new submission.
    EXPECT_EQ(data.StoredInt(second, "vlDlzka"), std::nullopt);
    std::string cached;
    EXPECT_TRUE(ResultSection(data.Db(), second).ReadString(kPreprocessedFileKey, cached));
}

TEST_F(VariantGroup, ForgettingRemovesTheStudentFromClassmates) {
    const ResultRecord first = Add("10001", Program({"node", "push", "list", "i", "sum"}));
    const ResultRecord second = Add("10002", Program({"a", "b", "c", "d", "e"}));
    AnalyzeSubmission(data.Db(), first);
    AnalyzeSubmission(data.Db(), second);
    ASSERT_EQ(data.StoredInt(second, SimilarityKey(first.studentId)), 100);

    ForgetSimilarities(data.Db(), first);
    EXPECT_EQ(data.StoredInt(second, SimilarityKey(first.studentId)), std::nullopt);
    EXPECT_EQ(data.StoredInt(first, SimilarityKey(second.studentId)), 100);
    std::string cached;
    EXPECT_FALSE(ResultSection(data.Db(), first).ReadString(kPreprocessedFileKey, cached));
    EXPECT_TRUE(ResultSection(data.Db(), second).ReadString(kPreprocessedFileKey, cached));
}

TEST_F(VariantGroup, SimilarStudentsStandOutFromTheOthers) {
    const ResultRecord own = Add("10001", "int x;\n");
    std::vector<ResultRecord> classmates;
    for (const char* unid : {"10002", "10003", "10004", "10005"}) {
        classmates.push_back(Add(unid, "int y;\n"));
    }
    const auto store = [&](const std::vector<int>& values) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            ResultSection(data.Db(), own).WriteInt(SimilarityKey(classmates[i].studentId), values[i]);
        }
    };
    // mean 70 / 4 = 17, dev 44 / 4 = 11, threshold 17 + 13.2 = 30: only 40 stands out.
    store({10, 10, 40, 10});
    EXPECT_EQ(SimilarStudents(data.Db(), own), (std::vector<std::string>{classmates[2].studentId}));
    // mean 95, dev 0: the threshold is lowered to 90.
    store({95, 95, 95, 95});
    EXPECT_EQ(SimilarStudents(data.Db(), own).size(), 4u);
    // mean 90, dev 0: nobody above 90.
    store({90, 90, 90, 90});
    EXPECT_TRUE(SimilarStudents(data.Db(), own).empty());
    // mean 20 / 4 = 5, dev (15 + 5 + 5 + 5) / 4 = 7: the threshold is raised to 20, which 20 does not exceed.
    store({20, 0, 0, 0});
    EXPECT_TRUE(SimilarStudents(data.Db(), own).empty());
    // A missing value counts 0: mean 90 / 4 = 22, dev (68 + 22 + 22 + 22) / 4 = 33, threshold 22 + 39.6 = 61.
    store({90, 0, 0, 0});
    ResultSection(data.Db(), own).DeleteKey(SimilarityKey(classmates[1].studentId));
    EXPECT_EQ(SimilarStudents(data.Db(), own), (std::vector<std::string>{classmates[0].studentId}));
    // Values near the integer limit do not overflow the sums.
    store({2147483647, 2147483647, 2147483647, 0});
    EXPECT_EQ(SimilarStudents(data.Db(), own).size(), 3u);
}

} // namespace
} // namespace tarvel
