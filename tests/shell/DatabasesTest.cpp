// Creating a database from the template and selecting one in the folder browser, on a real installation
// directory.

#include "shell/Databases.h"

#include "platform/Cp1250.h"
#include "shell/Settings.h"
#include "support/Paths.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarvel {
namespace {

using testing::ReadBytes;
using testing::ScriptedPrompts;
using testing::SourceDir;
using testing::TempDir;
using testing::WriteBytes;
namespace fs = std::filesystem;

class DatabasesTest : public ::testing::Test {
protected:
    DatabasesTest() : db(config) {
        fs::create_directories(zorpath + "/db");
        fs::copy(SourceDir() + "/install/empty.db", zorpath + "/empty.db", fs::copy_options::recursive);
        WriteBytes(config, "[dbase]\r\nzorpath=" + zorpath + "\r\n");
    }

    TempDir dir;
    std::string zorpath = dir / "zor";
    std::string config = dir / "zor.ini";
    Database db;
    ScriptedPrompts prompts;
};

TEST_F(DatabasesTest, ANewDatabaseIsACopyOfTheTemplateAndBecomesCurrent) {
    ASSERT_TRUE(CreateDatabase(db, config, "kurz2026"));
    const std::string created = zorpath + "/db/kurz2026";
    EXPECT_EQ(ReadBytes(created + "/teachers.dat"), ReadBytes(zorpath + "/empty.db/teachers.dat"));
    EXPECT_EQ(DatabasePathSetting(config), created);
    EXPECT_EQ(db.Path(), created);
}

TEST_F(DatabasesTest, ANameThatIsNotANewDirectoryBelowDbCreatesNothing) {
    ASSERT_TRUE(CreateDatabase(db, config, "kurz"));
    WriteBytes(zorpath + "/db/kurz/mark", "kept");
    for (const char* name : {"kurz", "", ".", "..", "a/b", "../outside"}) {
        EXPECT_FALSE(CreateDatabase(db, config, name)) << name;
    }
    EXPECT_EQ(ReadBytes(zorpath + "/db/kurz/mark"), "kept");
    EXPECT_FALSE(fs::exists(zorpath + "/outside"));
    EXPECT_EQ(DatabasePathSetting(config), zorpath + "/db/kurz");
}

TEST_F(DatabasesTest, WithoutTheTemplateTheEmptyDirectoryStaysAndNothingIsSelected) {
    fs::remove_all(zorpath + "/empty.db");
    EXPECT_FALSE(CreateDatabase(db, config, "bez"));
    EXPECT_TRUE(fs::is_directory(zorpath + "/db/bez"));
    EXPECT_EQ(DatabasePathSetting(config), "???");
}

TEST_F(DatabasesTest, SelectionTakesTheLastComponentBelowTheRoot) {
    struct Case {
        const char* name;
        std::string chosen;
        std::string stored;
    };
    const Case cases[] = {
        {"a database", zorpath + "/db/kurz", zorpath + "/db/kurz"},
        {"with a trailing slash", zorpath + "/db/kurz/", zorpath + "/db/kurz"},
        {"two levels below", zorpath + "/db/kurz/students", zorpath + "/db/students"},
    };
    for (const Case& c : cases) {
        prompts.folders = {c.chosen};
        EXPECT_TRUE(SelectDatabase(db, config, prompts)) << c.name;
        EXPECT_EQ(DatabasePathSetting(config), c.stored) << c.name;
    }
    ASSERT_EQ(prompts.folderRequests.size(), 3u);
    EXPECT_EQ(Cp1250ToUtf8(prompts.folderRequests[0].title), "Výber adresára aktuálnej databázy:");
    EXPECT_EQ(prompts.folderRequests[0].root, zorpath + "/db");
    EXPECT_TRUE(prompts.told.empty());
}

TEST_F(DatabasesTest, CancellingTheBrowserChangesNothing) {
    WriteBytes(config, "[dbase]\r\nzorpath=" + zorpath + "\r\ndbpath=/old\r\n");
    prompts.folders = {std::nullopt};
    EXPECT_FALSE(SelectDatabase(db, config, prompts));
    EXPECT_EQ(DatabasePathSetting(config), "/old");
    EXPECT_TRUE(prompts.told.empty());
}

TEST_F(DatabasesTest, AMissingRootIsReportedAndTheBrowserOpensAtTheTop) {
    WriteBytes(config, "");
    prompts.folders = {"/srv/kurz"};
    EXPECT_TRUE(SelectDatabase(db, config, prompts));
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(prompts.told[0].text, "Handler ERROR !!!");
    EXPECT_EQ(prompts.told[0].title, "Error");
    EXPECT_EQ(prompts.told[0].icon, PromptIcon::Error);
    EXPECT_EQ(prompts.folderRequests[0].root, "/");
    EXPECT_EQ(DatabasePathSetting(config), "/db/kurz");
}

} // namespace
} // namespace tarvel
