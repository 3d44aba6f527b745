// The dropped mails' list and text, read from a real archive folder as the daemon leaves it: header fields
// from the POP3 text, the reason beside each mail, and whatever else the folder holds left out.

#include "evaluation/DroppedMails.h"

#include "mail/MailArchive.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <utility>
#include <vector>

namespace tarvel {

void PrintTo(const DroppedMail& mail, std::ostream* out) {
    *out << "{" << mail.name << " | " << mail.date << " | " << mail.sender << " | " << mail.subject << " | "
         << mail.reason << "}";
}
bool operator==(const DroppedMail& a, const DroppedMail& b) {
    return a.name == b.name && a.date == b.date && a.sender == b.sender && a.subject == b.subject &&
           a.reason == b.reason;
}

namespace testing {
namespace {

using namespace std::string_literals;

constexpr const char* kFirst = "20250115-100000-000001-00000000000000a1.mail";
constexpr const char* kSecond = "20250115-100001-000002-00000000000000b2.mail";

struct ListCase {
    const char* name;
    bool folder; // dropped/ exists
    std::vector<std::pair<std::string, std::string>>
        files; // below dropped/; a name ending in "/" is a folder
    std::vector<DroppedMail> expected;
};

void PrintTo(const ListCase& c, std::ostream* out) {
    *out << c.name;
}

const ListCase kListCases[] = {
    {"FoldedHeadersUnfoldedOldestFirst",
     true,
     {{kSecond, "+OK 80 octets\r\nFrom: b@example.org\r\nSubject: druhy\r\n\r\nbody\r\n.\r\n"},
      {"20250115-100001-000002-00000000000000b2.reason", "no identity file\n"},
      {kFirst,
       "+OK 200 octets\r\nReceived: from x\r\n\tby y\r\nDate: Wed, 15 Jan 2025\r\n 10:00:00 +0100\r\n"
       "From: Jan Novak\r\n <jan@example.org>\r\nSubject: Odovzdanie\r\n\tzadania 1\r\n\r\nFrom: no\r\n"},
      {"20250115-100000-000001-00000000000000a1.reason", "unzip failed\n"}},
     {{kFirst, "Wed, 15 Jan 2025 10:00:00 +0100", "Jan Novak <jan@example.org>", "Odovzdanie zadania 1",
       "unzip failed"},
      {kSecond, "", "b@example.org", "druhy", "no identity file"}}},
    {"MissingFieldsAndEncodedWordsAsTheyAre",
     true,
     {{kFirst, "+OK\r\nSubject: =?utf-8?q?Zadanie_=C4=8D=2E1?=\r\n\r\n"},
      {"20250115-100000-000001-00000000000000a1.reason", "x\n"}},
     {{kFirst, "", "", "=?utf-8?q?Zadanie_=C4=8D=2E1?=", "x"}}},
    {"MissingReasonFile", true, {{kFirst, "+OK\r\nFrom: a@b\r\n\r\n"}}, {{kFirst, "", "a@b", "", ""}}},
    {"OnlyMailFilesAreListed",
     true,
     {{"notes.txt", "From: a@b\r\n"},
      {"20250115-100000-000001-00000000000000a1.reason", "orphan\n"},
      {"folder.mail/", ""},
      {kSecond, "not a mail at all"}},
     {{kSecond, "", "", "", ""}}},
    {"EmptyFolder", true, {}, {}},
    {"MissingFolder", false, {}, {}},
};

class DroppedMailsListTest : public ::testing::TestWithParam<ListCase> {
protected:
    TempDir dir;
};

TEST_P(DroppedMailsListTest, ListsTheDroppedMails) {
    const ListCase& c = GetParam();
    const std::string dropped = DroppedDirectory(dir.Path());
    if (c.folder) {
        std::filesystem::create_directories(dropped);
    }
    for (const auto& [name, bytes] : c.files) {
        if (name.ends_with("/")) {
            std::filesystem::create_directory(dropped + "/" + name);
        } else {
            WriteBytes(dropped + "/" + name, bytes);
        }
    }
    std::vector<DroppedMail> mails{{"stale", "", "", "", ""}};
    ASSERT_TRUE(ListDroppedMails(dir.Path(), mails));
    EXPECT_EQ(mails, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Folders, DroppedMailsListTest, ::testing::ValuesIn(kListCases),
                         [](const auto& info) { return std::string(info.param.name); });

class DroppedMailTextTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(DroppedDirectory(dir.Path())); }
    void Put(const std::string& name, const std::string& bytes) {
        WriteBytes(DroppedDirectory(dir.Path()) + "/" + name, bytes);
    }
    TempDir dir;
};

TEST_F(DroppedMailTextTest, AWholeMailIsTheMessageTheServerHeld) {
    Put(kFirst, "+OK 40 octets\r\nFrom: a@b\r\n\r\n..begin\r\n\xE8\x00x\r\n.\r\n"s);
    std::string text;
    bool complete = false;
    ASSERT_TRUE(ReadDroppedMail(dir.Path(), kFirst, text, complete));
    EXPECT_TRUE(complete);
    EXPECT_EQ(text, "From: a@b\n\n.begin\n\xE8\x00x\n"s);
}

TEST_F(DroppedMailTextTest, AMailKeptInPartLosesOnlyItsStatusLine) {
    Put(kFirst, "+OK 9999 octets\r\nFrom: a@b\r\n\r\n..begin\r\n");
    std::string text;
    bool complete = false;
    ASSERT_TRUE(ReadDroppedMail(dir.Path(), kFirst, text, complete));
    EXPECT_EQ(text, "From: a@b\n\n..begin\n");
}

TEST_F(DroppedMailTextTest, ALargeMailIsReadOnlyInPart) {
    Put(kFirst, "+OK\r\n" + std::string(kDroppedTextBytes, 'x') + "\r\n.\r\n");
    std::string text;
    bool complete = true;
    ASSERT_TRUE(ReadDroppedMail(dir.Path(), kFirst, text, complete));
    EXPECT_FALSE(complete);
    EXPECT_EQ(text, std::string(kDroppedTextBytes - 5, 'x'));
}

TEST_F(DroppedMailTextTest, OnlyPlainNamesOfTheFolderAreRead) {
    WriteBytes(dir / "secret.mail", "+OK\r\nsecret\r\n.\r\n");
    std::string text = "kept";
    bool complete = false;
    EXPECT_FALSE(ReadDroppedMail(dir.Path(), "../../secret.mail", text, complete));
    EXPECT_FALSE(ReadDroppedMail(dir.Path(), kSecond, text, complete));
    EXPECT_EQ(text, "kept");
}

} // namespace
} // namespace testing
} // namespace tarvel
