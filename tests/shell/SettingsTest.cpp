// Each use of a configuration key reads it with its own default; the two dialogs' field sets write their keys
// in the order the dialogs do.

#include "shell/Settings.h"
#include "shell/Config.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace tarvel {
namespace {

using testing::ReadBytes;
using testing::TempDir;

class SettingsTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string config = dir / "zor.ini";
};

TEST_F(SettingsTest, EachUseHasItsOwnDefaultWhenTheKeyIsMissing) {
    ::setenv("HOME", "/home/ucitel", 1);
    struct Case {
        const char* name;
        std::function<std::string(const std::string&)> read;
        std::string expected;
    };
    const Case cases[] = {
        {"daemon's zorpath", DaemonInstallationPath, "."},
        {"creation's zorpath", CreationInstallationPath, "/home/ucitel/zor"},
        {"selection's zorpath", SelectionInstallationPath, ""},
        {"dbpath", DatabasePathSetting, "???"},
        {"runner's bccpath", CompilerDirectorySetting, "."},
        {"editor", EditorSetting, ""},
        {"browser", BrowserSetting, "xdg-open"},
        {"mail in use: smtp", [](const std::string& c) { return ReadMailSettings(c).smtp; }, "localhost"},
        {"mail in use: pop3", [](const std::string& c) { return ReadMailSettings(c).pop3; }, "localhost"},
        {"mail in use: user", [](const std::string& c) { return ReadMailSettings(c).user; }, "zor"},
        {"mail in use: password", [](const std::string& c) { return ReadMailSettings(c).password; }, "zor"},
        {"mail dialog: smtp", [](const std::string& c) { return ReadMailDialogFields(c).smtp; }, "localhost"},
        {"mail dialog: user", [](const std::string& c) { return ReadMailDialogFields(c).user; }, ""},
        {"mail dialog: password", [](const std::string& c) { return ReadMailDialogFields(c).password; }, ""},
        {"path dialog: compiler", [](const std::string& c) { return ReadPathSettings(c).compiler; }, ""},
        {"path dialog: browser", [](const std::string& c) { return ReadPathSettings(c).browser; }, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.read(config), c.expected) << c.name;
    }
    EXPECT_FALSE(UnsafeRunsAllowed(config));
}

TEST_F(SettingsTest, TheMailFieldsAreWrittenInTheDialogsOrderWithThePasswordEnciphered) {
    ASSERT_TRUE(WriteMailSettings(config, {"smtp.uniba.sk", "pop.uniba.sk", "zadania", "tajne"}));
    const std::string file = ReadBytes(config);
    const auto at = [&file](const char* key) { return file.find(std::string(key) + "="); };
    EXPECT_LT(at("pop3"), at("smtp"));
    EXPECT_LT(at("smtp"), at("user"));
    EXPECT_LT(at("user"), at("pass"));
    EXPECT_EQ(file.find("tajne"), std::string::npos);
    const MailSettings read = ReadMailDialogFields(config);
    EXPECT_EQ(read.smtp, "smtp.uniba.sk");
    EXPECT_EQ(read.pop3, "pop.uniba.sk");
    EXPECT_EQ(read.user, "zadania");
    EXPECT_EQ(read.password, "tajne");
    EXPECT_EQ(ReadMailSettings(config).password, "tajne");
}

TEST_F(SettingsTest, EachServersSecurityIsKeptByNameAndAMistypedOneNeverMeansClearText) {
    EXPECT_EQ(ReadMailSettings(config).smtpSecurity, MailSecurity::None) << "a configuration from before";
    EXPECT_EQ(ReadMailSettings(config).caFile, "");
    const std::pair<const char*, MailSecurity> names[] = {{"", MailSecurity::None},
                                                          {"none", MailSecurity::None},
                                                          {"starttls", MailSecurity::StartTls},
                                                          {"StartTLS", MailSecurity::StartTls},
                                                          {"tls", MailSecurity::Tls},
                                                          {"ssl", MailSecurity::Tls},
                                                          {"starttsl", MailSecurity::Tls},
                                                          {"no", MailSecurity::Tls}};
    for (const auto& [name, security] : names) {
        EXPECT_EQ(ParseMailSecurity(name), security) << name;
    }
    MailSettings settings{"smtp.uniba.sk", "pop.uniba.sk", "zadania", "tajne"};
    settings.smtpSecurity = MailSecurity::StartTls;
    settings.pop3Security = MailSecurity::Tls;
    ASSERT_TRUE(WriteMailSettings(config, settings));
    const std::string file = ReadBytes(config);
    EXPECT_NE(file.find("smtpsecurity=starttls"), std::string::npos);
    EXPECT_LT(file.find("pass="), file.find("pop3security=tls"));
    ASSERT_TRUE(WriteConfig(config, "mails", "cafile", "/etc/ssl/uniba-ca.pem"));
    const MailSettings read = ReadMailSettings(config);
    EXPECT_EQ(read.smtpSecurity, MailSecurity::StartTls);
    EXPECT_EQ(read.pop3Security, MailSecurity::Tls);
    EXPECT_EQ(read.caFile, "/etc/ssl/uniba-ca.pem");
}

TEST_F(SettingsTest, AnEmptyPasswordIsAValueNotTheDefault) {
    ASSERT_TRUE(WriteMailSettings(config, {"h", "h", "u", ""}));
    EXPECT_EQ(ReadMailSettings(config).password, "");
}

TEST_F(SettingsTest, AnEmptyBrowserWrittenByThePathDialogNoLongerFallsBack) {
    ASSERT_TRUE(WritePathSettings(config, ReadPathSettings(config)));
    EXPECT_EQ(BrowserSetting(config), "");
    EXPECT_EQ(CompilerDirectorySetting(config), "");
    ASSERT_TRUE(WritePathSettings(config, {"/opt/bcc/", "mousepad", "firefox"}));
    EXPECT_EQ(CompilerDirectorySetting(config), "/opt/bcc/");
    EXPECT_EQ(EditorSetting(config), "mousepad");
    EXPECT_EQ(BrowserSetting(config), "firefox");
}

TEST_F(SettingsTest, AValueThatWouldBreakTheFileStopsTheWritesThere) {
    ASSERT_TRUE(WriteMailSettings(config, {"old-smtp", "old-pop3", "old-user", "old"}));
    EXPECT_FALSE(WriteMailSettings(config, {"new-smtp", "new-pop3", "bad\nuser", "new"}));
    const MailSettings read = ReadMailDialogFields(config);
    EXPECT_EQ(read.pop3, "new-pop3");
    EXPECT_EQ(read.smtp, "new-smtp");
    EXPECT_EQ(read.user, "old-user");
    EXPECT_EQ(read.password, "old");
}

} // namespace
} // namespace tarvel
