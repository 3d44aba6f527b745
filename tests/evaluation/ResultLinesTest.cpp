#include "evaluation/ResultLines.h"

#include "analysis/StyleMetrics.h"
#include "platform/Cp1250.h"
#include "runner/RunResult.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>

namespace tarvel::testing {
namespace {

struct FulfilmentCase {
    const char* name;
    int violations; // vlPocetPoruseniZarovnania
    int multiStatementLines;
    int lines;
    std::optional<int> fulfilment;
};

class StyleFulfilmentTest : public ::testing::TestWithParam<FulfilmentCase> {};

TEST_P(StyleFulfilmentTest, TruncatesTowardZeroAndCapsAtAHundred) {
    ResultRecord figures;
    figures.vlPocetPoruseniZarovnania = GetParam().violations;
    figures.vlViacPrikazovNaRiadok = GetParam().multiStatementLines;
    figures.vlPocetRiadkov = GetParam().lines;
    EXPECT_EQ(StyleFulfilment(figures), GetParam().fulfilment);
}

INSTANTIATE_TEST_SUITE_P(
    Figures, StyleFulfilmentTest,
    ::testing::Values(FulfilmentCase{"FiveProblemsPerHundredLines", 3, 2, 100, 100},
                      FulfilmentCase{"ThirtyPerHundred", 20, 10, 100, 75},
                      FulfilmentCase{"Clean", 0, 0, 1, 100}, FulfilmentCase{"SevenPerHundred", 4, 3, 100, 98},
                      // -3950 / 10: the division truncates toward zero, not down.
                      FulfilmentCase{"ManyProblems", 50, 0, 10, -395},
                      FulfilmentCase{"ThirdsTruncate", 1, 0, 3, 71},
                      FulfilmentCase{"SlightlyNegativeTruncatesToZero", 211, 0, 200, 0},
                      FulfilmentCase{"HugeFiguresDoNotOverflow", INT_MAX, INT_MAX, 1, INT_MIN},
                      FulfilmentCase{"NoLineCount", 3, 2, 0, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// Every code of the runner has a line of its own, and a code it does not know is still shown.
TEST(ResultLinesTest, EveryTestCodeHasItsOwnLine) {
    const std::pair<int, const char*> known[] = {
        {kRunPassed, "Zadanie je funkčné"},
        {kRunNothingToBuild, "Chýba zdrojový súbor alebo projekt na preklad"},
        {kRunBuildFailed, "Program sa nedá preložiť"},
        {kRunBuildNotStarted, "Prekladač sa nepodarilo spustiť"},
        {kRunNoSandbox, "Program nebol otestovaný: chýba bezpečné prostredie"},
        {kRunOutputMismatch, "Výstup programu nezodpovedá vzoru"},
        {kRunProgramNotStarted, "Program sa nepodarilo spustiť"},
        {kRunInputUnavailable, "Vstup testu sa nedá použiť"},
        {kRunPatternUnavailable, "Vzorový výstup sa nedá otvoriť"},
        {kRunPatternBroken, "Vzorový výstup je chybný"},
    };
    for (const auto& [code, line] : known) {
        EXPECT_EQ(Cp1250ToUtf8(TestOutcomeLine(code)), line) << code;
    }
    EXPECT_EQ(Cp1250ToUtf8(TestOutcomeLine(99)), "Neznámy výsledok testov (kód 99)");
}

TEST(ResultLinesTest, ShowsTheFlagsAndLeavesOutWhatIsNotKnown) {
    ResultRecord result;
    result.vlBreak = 1;
    result.vlDynamickePremenne = 1;
    result.vlPercentoKomentarov = 23;
    const auto lines = [&](std::optional<int> code) {
        std::vector<std::string> texts;
        for (const std::string& line : ResultLines(result, code)) {
            texts.push_back(Cp1250ToUtf8(line));
        }
        return texts;
    };
    // Stored before the test code was kept, and without a line count: neither line.
    EXPECT_EQ(lines(std::nullopt),
              (std::vector<std::string>{"Použité BREAK mimo príkazu CASE!", "Použité dynamické premenné",
                                        "Pomer komentárov v kóde: 23%", "Najdlhšia funkcia má 0 riadkov",
                                        "Funkcie majú v priemere 0 riadkov"}));
    result.vlPocetRiadkov = 40;
    EXPECT_EQ(lines(kRunBuildFailed).front(), "Program sa nedá preložiť");
    EXPECT_EQ(lines(kRunBuildFailed).back(), "Splnenie požiadaviek štýlu: 100%");
}

} // namespace
} // namespace tarvel::testing
