#include "shell/Config.h"
#include "platform/Profile.h"
#include "shell/Rc4.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tarvel {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (auto byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += digits;
    }
    return text;
}

std::vector<std::uint8_t> Rc4Of(std::string_view key, std::string_view text) {
    std::vector<std::uint8_t> keyBytes(key.begin(), key.end());
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    Rc4 cipher(keyBytes);
    cipher.Apply(bytes);
    return bytes;
}

TEST(Rc4Test, KnownVectors) {
    EXPECT_EQ(Hex(Rc4Of("Key", "Plaintext")), "BBF316E8D940AF0AD3");
    EXPECT_EQ(Hex(Rc4Of("Wiki", "pedia")), "1021BF0420");
    EXPECT_EQ(Hex(Rc4Of("Secret", "Attack at dawn")), "45A01F645FC35B383552544B9BF5");
}

class ConfigTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string config = dir / "zor.ini";

    std::string Password() { return ReadConfig(config, "mails", "pass", "<default>", true); }
    std::string StoredPass() { return ReadProfileValue(config, "mails", "pass").value_or("<missing>"); }
};

TEST_F(ConfigTest, PlainValuesAndDefaults) {
    EXPECT_EQ(ReadConfig(config, "dbase", "zorpath", "."), ".");
    ASSERT_TRUE(WriteConfig(config, "dbase", "dbpath", "/home/teacher/zor/db/default"));
    ASSERT_TRUE(WriteConfig(config, "mails", "smtp", "mail.example.org:2525"));
    EXPECT_EQ(ReadBytes(config),
              "[dbase]\r\ndbpath=/home/teacher/zor/db/default\r\n[mails]\r\nsmtp=mail.example.org:2525\r\n");
    EXPECT_EQ(ReadConfig(config, "DBASE", "DbPath", "???"), "/home/teacher/zor/db/default");
    EXPECT_EQ(ReadConfig(config, "dbase", "bccpath", "."), ".");
}

TEST_F(ConfigTest, BlankKeyReadsAsTheRecordReaderReadsIt) {
    // "=x" has an empty key; neither reader finds an entry for a blank key.
    WriteBytes(config, "[s]\r\n=x\r\n \v=y\r\nk=1\r\n");
    const struct {
        const char* key;
        const char* value;
    } cases[] = {
        {"", "<default>"},
        {" ", "<default>"},
        {"\v", "<default>"},
        {"k", "1"},
    };
    ProfileSection record;
    ASSERT_TRUE(LoadProfileSection(config, "s", record));
    for (const auto& c : cases) {
        EXPECT_EQ(ReadConfig(config, "s", c.key, "<default>"), c.value) << "'" << c.key << "'";
        EXPECT_EQ(record.Get(c.key).value_or("<default>"), c.value) << "'" << c.key << "'";
    }
}

TEST_F(ConfigTest, PlainValuesAreCutAt999Bytes) {
    ASSERT_TRUE(WriteConfig(config, "dbase", "editor", std::string(1500, 'e')));
    EXPECT_EQ(ReadConfig(config, "dbase", "editor", ""), std::string(999, 'e'));
}

TEST_F(ConfigTest, ValuesThatWouldBreakTheFileAreRefused) {
    ASSERT_TRUE(WriteConfig(config, "mails", "user", "zor"));
    const std::string before = ReadBytes(config);
    EXPECT_FALSE(WriteConfig(config, "mails", "user", "zor\r\n[dbase]\r\ndbpath=/tmp"));
    EXPECT_EQ(ReadBytes(config), before);
}

TEST_F(ConfigTest, PasswordsOfAnyLength) {
    const struct {
        std::string written;
        std::string read;
    } cases[] = {
        {"abc", "abc"},
        {std::string(21, 'x'), std::string(21, 'x')},
        {"abcdefghijklmnopqrstuvwxy", "abcdefghijklmnopqrstu"},
        {"", ""},
        {"heslo\xE1\x9E", "heslo\xE1\x9E"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteConfig(config, "mails", "pass", c.written, true));
        EXPECT_EQ(StoredPass().size(), 44u) << c.written;
        EXPECT_EQ(Password(), c.read) << c.written;
    }
}

TEST_F(ConfigTest, EmptyPasswordIsEnciphered) {
    ASSERT_TRUE(WriteConfig(config, "mails", "pass", "", true));
    EXPECT_NE(StoredPass(), std::string(44, '0'));
    EXPECT_EQ(Password(), "");
}

TEST_F(ConfigTest, DamagedPasswordBlocksReadAsDefault) {
    ASSERT_TRUE(WriteConfig(config, "mails", "pass", "secret", true));
    const std::string good = StoredPass();
    const std::string damaged[] = {
        good.substr(0, 43),
        good + "0",
        good.substr(0, 42) + (good[42] == '0' ? "1" : "0") + good.substr(43),
        "secret",
    };
    for (const auto& value : damaged) {
        ASSERT_TRUE(WriteConfig(config, "mails", "pass", value));
        EXPECT_EQ(Password(), "<default>") << value;
    }
    EXPECT_EQ(ReadConfig(dir / "missing.ini", "mails", "pass", "zor", true), "zor");
}

TEST(ConfigLocation, FollowsXdgThenHome) {
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string xdg = savedXdg ? savedXdg : "";
    ::setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
    EXPECT_EQ(DefaultConfigPath(), "/somewhere/config/zor.ini");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(DefaultConfigPath(), std::string(std::getenv("HOME")) + "/.config/zor.ini");
    if (savedXdg) {
        ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    }
}

} // namespace
} // namespace tarvel
