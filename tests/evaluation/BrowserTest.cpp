// The browser's command line through a launcher that records it instead of starting anything.

#include "evaluation/Browser.h"

#include "platform/Cp1250.h"
#include "shell/Config.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tarvel::testing {
namespace {

using Arguments = std::vector<std::string>;

constexpr const char* kTarget = "file:///home/teacher/my reports/results.html";

struct BrowserCase {
    const char* name;
    const char* browser; // nullptr: no browser key
    bool launches;       // what the launcher answers
    Arguments started;   // empty: nothing started
};

class BrowserTest : public ::testing::TestWithParam<BrowserCase> {};

TEST_P(BrowserTest, StartsTheBrowserWithTheTargetAsOneArgument) {
    const BrowserCase& c = GetParam();
    TempDir dir;
    if (c.browser != nullptr) {
        ASSERT_TRUE(WriteConfig(dir / "zor.ini", "dbase", "browser", c.browser));
    }
    ScriptedPrompts prompts;
    Arguments started;
    const bool ok = StartBrowser(dir / "zor.ini", kTarget, prompts, [&](const Arguments& arguments) {
        started = arguments;
        return c.launches;
    });
    EXPECT_EQ(started, c.started);
    const bool told = started.empty() || !c.launches;
    EXPECT_EQ(ok, !told);
    ASSERT_EQ(prompts.told.size(), told ? 1u : 0u);
    if (told) {
        EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].text), "Neviem otvoriť browser, zlá casta !!!");
        EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].title), "Chyba cesty browsera");
        EXPECT_EQ(prompts.told[0].icon, PromptIcon::Error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, BrowserTest,
    ::testing::Values(BrowserCase{"Default", nullptr, true, {"xdg-open", kTarget}},
                      BrowserCase{
                          "WithOptions", "firefox  --new-window", true, {"firefox", "--new-window", kTarget}},
                      BrowserCase{"NotStarted", "nosuchbrowser", false, {"nosuchbrowser", kTarget}},
                      BrowserCase{"OnlyBlanks", "  ", true, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileTargetTest, IsThePathUnchangedAfterTheScheme) {
    EXPECT_EQ(FileTarget("/tmp/a b/v\xFDsledky.html"), "file:///tmp/a b/v\xFDsledky.html");
}

} // namespace
} // namespace tarvel::testing
