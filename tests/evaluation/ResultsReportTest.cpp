// The results report's bytes against golden files, and its button: the file dialog, the file, the browser.

#include "evaluation/ResultsReport.h"

#include "evaluation/ReportFixture.h"
#include "platform/Cp1250.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace tarvel::testing {
namespace {

std::string Joined(const std::vector<std::string>& pieces) {
    std::string text;
    for (const std::string& piece : pieces) {
        text += piece;
    }
    return text;
}

std::string Golden(const std::string& name) {
    return ReadBytes(SourceDir() + "/tests/evaluation/golden/" + name);
}

std::tm Noon() {
    std::tm when{};
    when.tm_mday = 5;
    when.tm_mon = 2;
    when.tm_year = 126;
    when.tm_hour = 9;
    when.tm_min = 7;
    return when;
}

struct GoldenCase {
    const char* name;
    ReportListing (*listing)(const ReportListing& all);
};

class ReportGoldenTest : public ReportTest, public ::testing::WithParamInterface<GoldenCase> {};

TEST_P(ReportGoldenTest, PiecesAreTheGoldenPage) {
    const ReportListing listing = GetParam().listing(Listing());
    EXPECT_EQ(Joined(ResultsReportPieces(ReadResultsTable(db, listing), listing, Noon())),
              Golden(std::string(GetParam().name) + ".html"));
}

INSTANTIATE_TEST_SUITE_P(
    Listings, ReportGoldenTest,
    ::testing::Values(GoldenCase{"results", [](const ReportListing& all) { return all; }},
                      GoldenCase{"no_task_types",
                                 [](const ReportListing& all) {
                                     return ReportListing{{"10256", "10231"}, {}, all.teacher, false};
                                 }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReportTest, TheReportIsWrittenInItsPieces) {
    const std::vector<std::string> pieces =
        ResultsReportPieces(ReadResultsTable(db, Listing()), Listing(), Noon());
    // 6 heading pieces, 2 task types, the sum, 4 rows of 4 + 2 + 1 pieces and the end.
    EXPECT_EQ(pieces.size(), 6u + 2 + 1 + 4 * 7 + 1);
    EXPECT_EQ(pieces[1], "5.3.2026  9:7");
}

class PublishTest : public ReportTest {
protected:
    void Publish(const ReportListing& listing) {
        PublishResultsReport(db, prompts, dir / "zor.ini", listing,
                             [this](const std::vector<std::string>& arguments) {
                                 started.push_back(arguments);
                                 return true;
                             });
    }
    static std::tm Now() {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return local;
    }
    // The page as written in the minute the button started or in the one it ended.
    bool IsReport(const std::string& bytes, const std::tm& before) {
        const ResultsTable table = ReadResultsTable(db, Listing());
        return bytes == Joined(ResultsReportPieces(table, Listing(), before)) ||
               bytes == Joined(ResultsReportPieces(table, Listing(), Now()));
    }

    std::vector<std::vector<std::string>> started;
};

TEST_F(PublishTest, ThePageGoesToTheChosenFileWithItsExtensionAndToTheBrowserAsOneArgument) {
    std::filesystem::create_directories(dir / "my reports");
    prompts.files.push_back(dir / "my reports/results");
    const std::tm before = Now();
    Publish(Listing());
    const std::string written = dir / "my reports/results.html";
    EXPECT_TRUE(IsReport(ReadBytes(written), before));
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_EQ(Cp1250ToUtf8(prompts.fileRequests[0].filter), "Hodnotenie študentov (*.html)|*.html|");
    EXPECT_EQ(prompts.fileRequests[0].defaultExtension, "html");
    EXPECT_EQ(started, (std::vector<std::vector<std::string>>{{"xdg-open", "file://" + written}}));
    EXPECT_TRUE(prompts.told.empty());
}

TEST_F(PublishTest, AnExistingFileIsReplacedWithoutAQuestion) {
    const std::string path = dir / "old.htm";
    WriteBytes(path, std::string(100000, 'x'));
    prompts.files.push_back(path);
    const std::tm before = Now();
    Publish(Listing());
    EXPECT_TRUE(IsReport(ReadBytes(path), before));
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(started.size(), 1u);
}

struct FailureCase {
    const char* name;
    bool listed;      // students in the list
    const char* file; // the chosen file in the test's directory; nullptr: cancelled
    const char* told; // "" for none
    const char* title;
    PromptIcon icon;
};

class PublishFailureTest : public PublishTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(PublishFailureTest, StopsWithoutTheBrowser) {
    const FailureCase& c = GetParam();
    // A page that cannot be written: the disk is full.
    std::filesystem::create_symlink("/dev/full", dir / "full.html");
    ReportListing listing = Listing();
    if (!c.listed) {
        listing.unids.clear();
    } else {
        prompts.files.push_back(c.file == nullptr ? std::nullopt : std::optional<std::string>(dir / c.file));
    }
    Publish(listing);
    EXPECT_TRUE(started.empty());
    EXPECT_EQ(prompts.fileRequests.size(), c.listed ? 1u : 0u);
    if (*c.told == '\0') {
        EXPECT_TRUE(prompts.told.empty());
    } else {
        ASSERT_EQ(prompts.told.size(), 1u);
        EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].text), c.told);
        EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].title), c.title);
        EXPECT_EQ(prompts.told[0].icon, c.icon);
    }
    // Nothing written beside the database and the full disk's page.
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        entries.push_back(entry.path().filename());
    }
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"db", "full.html"}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PublishFailureTest,
    ::testing::Values(FailureCase{"EmptyList", false, nullptr, "V zozname nie sú žiadny študenti !!!",
                                  "Pozor", PromptIcon::Warning},
                      FailureCase{"Cancelled", true, nullptr, "", "", PromptIcon::None},
                      FailureCase{"NoSuchDirectory", true, "missing/results", "Nemožno vytvoriť súbor !!!",
                                  "Chyba", PromptIcon::Error},
                      FailureCase{"DiskFull", true, "full.html", "Nemožno zapísať do súboru !!!", "Chyba",
                                  PromptIcon::Error}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tarvel::testing
