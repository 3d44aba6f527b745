// The daemon's archive of fetched mails: identities that survive a second fetch, durable files that sort in
// the order of arrival, and the filing into done/ and dropped/ with the reason beside a dropped mail.

#include "mail/MailArchive.h"
#include "platform/FileOps.h"

#include "mail/SubmissionMail.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <thread>

namespace tarvel {
namespace {

using namespace testing;

struct IdentityCase {
    const char* name;
    std::string first;
    std::string second;
    bool same;
};

class MailIdentityTest : public ::testing::TestWithParam<IdentityCase> {};

TEST(MailIdentity, TheServersStatusLineDoesNotCount) {
    const std::string message = "Message-Id: <a@x>\r\n\r\nbody\r\n.\r\n";
    EXPECT_EQ(MailIdentity("+OK 26 octets\r\n" + message), MailIdentity("+OK message follows\r\n" + message));
}

TEST_P(MailIdentityTest, NamesTheSameMailAlike) {
    const IdentityCase& c = GetParam();
    const std::string first = MailIdentity(RetrievalText(c.first));
    const std::string second = MailIdentity(RetrievalText(c.second));
    EXPECT_EQ(first.size(), 16u);
    EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(first == second, c.same) << first << " " << second;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MailIdentityTest,
    ::testing::Values(
        IdentityCase{"SameTextTwice", "Message-Id: <a@x>\nSubject: s\n\nbody\n",
                     "Message-Id: <a@x>\nSubject: s\n\nbody\n", true},
        IdentityCase{"OneMessageIdTwoSubmissions", "Message-Id: <a@x>\n\nfirst version\n",
                     "Message-Id: <a@x>\n\nedited version\n", false},
        IdentityCase{"OneMessageIdDeliveredTwice", "Received: from a\nMessage-Id: <a@x>\n\nbody\n",
                     "Received: from b\nMessage-Id: <a@x>\n\nbody\n", false},
        IdentityCase{"OtherMessageId", "Message-Id: <a@x>\n\nbody\n", "Message-Id: <b@x>\n\nbody\n", false},
        IdentityCase{"WithoutMessageIdTheTextCounts", "Subject: s\n\nbody\n", "Subject: s\n\nbody!\n", false},
        IdentityCase{"WithoutMessageIdSameText", "Subject: s\n\nbody\n", "Subject: s\n\nbody\n", true}),
    [](const auto& info) { return info.param.name; });

class MailArchiveTest : public ::testing::Test {
protected:
    std::string Zorpath() const { return dir / "zor"; }
    TempDir dir;
};

TEST_F(MailArchiveTest, AKeptMailHoldsTheFetchedTextByteForByte) {
    const std::string text = RetrievalText("Subject: s\n\n.x\n\x9A\xE1\n");
    std::string name;
    ASSERT_TRUE(KeepFetchedMail(Zorpath(), text, MailIdentity(text), name));
    EXPECT_TRUE(name.ends_with("-" + MailIdentity(text) + ".mail")) << name;
    EXPECT_EQ(ReadBytes(WaitingMailPath(Zorpath(), name)), text);
    EXPECT_TRUE(IsDirectory(DoneDirectory(Zorpath())));
    EXPECT_TRUE(IsDirectory(DroppedDirectory(Zorpath())));
    // Nothing but the mail: no temporary file is left beside it.
    EXPECT_EQ(ListMatching(MailArchiveDirectory(Zorpath()), "*"),
              (std::vector<std::string>{name, std::string(kDoneFolder), std::string(kDroppedFolder)}));
}

TEST_F(MailArchiveTest, WaitingMailsComeInTheOrderTheyArrived) {
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i) {
        const std::string text = RetrievalText("Message-Id: <" + std::to_string(i) + "@x>\n\nbody\n");
        std::string name;
        ASSERT_TRUE(KeepFetchedMail(Zorpath(), text, MailIdentity(text), name));
        names.push_back(name);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::string oldest;
    for (const std::string& expected : names) {
        ASSERT_TRUE(OldestWaitingMail(Zorpath(), oldest));
        EXPECT_EQ(oldest, expected);
        ASSERT_TRUE(FileMailDone(Zorpath(), oldest));
        EXPECT_TRUE(IsRegularFile(JoinPath(DoneDirectory(Zorpath()), oldest)));
    }
    EXPECT_FALSE(OldestWaitingMail(Zorpath(), oldest));
}

TEST_F(MailArchiveTest, OnlyMailFilesWait) {
    ASSERT_TRUE(PrepareMailArchive(Zorpath()));
    WriteBytes(JoinPath(MailArchiveDirectory(Zorpath()), "daemon.lock"), "");
    WriteBytes(JoinPath(MailArchiveDirectory(Zorpath()), ".1-2.mail.Ab12Cd"), "half written");
    std::string name;
    EXPECT_FALSE(OldestWaitingMail(Zorpath(), name));
}

TEST_F(MailArchiveTest, ADroppedMailHasItsReasonBesideIt) {
    const std::string text = RetrievalText("Subject: s\n\nno archive\n");
    std::string name;
    ASSERT_TRUE(KeepFetchedMail(Zorpath(), text, MailIdentity(text), name));
    ASSERT_TRUE(FileMailDropped(Zorpath(), name, "no zip attachment found"));
    EXPECT_FALSE(IsRegularFile(WaitingMailPath(Zorpath(), name)));
    EXPECT_EQ(ReadBytes(JoinPath(DroppedDirectory(Zorpath()), name)), text);
    const std::string reason = ReasonFilePath(Zorpath(), name);
    EXPECT_EQ(BaseName(reason), name.substr(0, name.size() - 5) + ".reason");
    EXPECT_EQ(ReadBytes(reason), "no zip attachment found\n");
}

TEST_F(MailArchiveTest, AnArchivedMailIsFoundWhereverItIs) {
    struct Place {
        const char* folder;
        bool (*file)(const std::string&, const std::string&);
    };
    const std::vector<Place> places = {
        {"", nullptr},
        {kDoneFolder, FileMailDone},
        {kDroppedFolder, [](const std::string& zorpath, const std::string& name) {
             return FileMailDropped(zorpath, name, "reason");
         }}};
    for (std::size_t i = 0; i < places.size(); ++i) {
        const std::string text = RetrievalText("Message-Id: <" + std::to_string(i) + "@x>\n\nbody\n");
        const std::string identity = MailIdentity(text);
        std::string found;
        EXPECT_FALSE(FindArchivedMail(Zorpath(), identity, found));
        std::string name;
        ASSERT_TRUE(KeepFetchedMail(Zorpath(), text, identity, name));
        if (places[i].file != nullptr) {
            ASSERT_TRUE(places[i].file(Zorpath(), name));
        }
        ASSERT_TRUE(FindArchivedMail(Zorpath(), identity, found)) << places[i].folder;
        EXPECT_EQ(found, *places[i].folder ? std::string(places[i].folder) + "/" + name : name);
    }
}

TEST_F(MailArchiveTest, NothingIsKeptWhereTheArchiveCannotBeMade) {
    WriteBytes(dir / "zor", "a file, not a directory");
    std::string name;
    EXPECT_FALSE(KeepFetchedMail(Zorpath(), "text", "0123456789abcdef", name));
    EXPECT_TRUE(name.empty());
}

TEST_F(MailArchiveTest, AnIntakeRecordKeepsWhatTheVerdictStageNeeds) {
    Submission submission;
    submission.outcome = IntakeOutcome::Refused;
    submission.unid = "12345";
    submission.id = "7";
    submission.task = "1";
    submission.reason = "resubmission 2 days after the deadline";
    submission.reply = "\nMily J\xE1n Nov\xE1k(12345).\n\nTvoje zadanie (1) bolo prijate.\nAle nebolo "
                       "akceptovane na testovanie.";
    ASSERT_TRUE(PrepareMailArchive(Zorpath()));
    ASSERT_TRUE(WriteIntakeRecord(Zorpath(), "a.mail", submission));
    EXPECT_EQ(BaseName(IntakeRecordPath(Zorpath(), "a.mail")), "a.intake");

    Submission read;
    ASSERT_TRUE(ReadIntakeRecord(Zorpath(), "a.mail", read));
    EXPECT_EQ(read.outcome, IntakeOutcome::Refused);
    EXPECT_EQ(read.unid, "12345");
    EXPECT_EQ(read.id, "7");
    EXPECT_EQ(read.task, "1");
    EXPECT_EQ(read.reason, submission.reason);
    EXPECT_EQ(read.reply, submission.reply);

    RemoveIntakeRecord(Zorpath(), "a.mail");
    EXPECT_FALSE(ReadIntakeRecord(Zorpath(), "a.mail", read));
}

TEST_F(MailArchiveTest, NoIntakeRecordForAFailedIntakeOrValuesThatBreakLines) {
    ASSERT_TRUE(PrepareMailArchive(Zorpath()));
    Submission failed;
    failed.outcome = IntakeOutcome::Failed;
    EXPECT_FALSE(WriteIntakeRecord(Zorpath(), "a.mail", failed));
    Submission broken;
    broken.outcome = IntakeOutcome::Accepted;
    broken.unid = "123\n45";
    EXPECT_FALSE(WriteIntakeRecord(Zorpath(), "a.mail", broken));
    EXPECT_FALSE(IsRegularFile(IntakeRecordPath(Zorpath(), "a.mail")));
}

TEST_F(MailArchiveTest, ACutOffIntakeRecordIsNotRead) {
    ASSERT_TRUE(PrepareMailArchive(Zorpath()));
    Submission submission;
    submission.outcome = IntakeOutcome::Accepted;
    submission.unid = "12345";
    submission.id = "7";
    submission.task = "1";
    submission.reply = "a reply of some length";
    ASSERT_TRUE(WriteIntakeRecord(Zorpath(), "a.mail", submission));
    const std::string whole = ReadBytes(IntakeRecordPath(Zorpath(), "a.mail"));
    Submission read;
    for (const std::size_t length : {std::size_t{0}, std::size_t{9}, whole.size() - 1}) {
        WriteBytes(IntakeRecordPath(Zorpath(), "a.mail"), whole.substr(0, length));
        EXPECT_FALSE(ReadIntakeRecord(Zorpath(), "a.mail", read)) << length;
    }
}

TEST_F(MailArchiveTest, AttemptsAreCountedBesideTheMailUntilRemoved) {
    ASSERT_TRUE(PrepareMailArchive(Zorpath()));
    const std::string path = AttemptsFilePath(Zorpath(), "a.mail");
    EXPECT_EQ(path, JoinPath(MailArchiveDirectory(Zorpath()), "a.attempts"));
    EXPECT_EQ(CountAttempt(Zorpath(), "a.mail"), 1);
    EXPECT_EQ(ReadBytes(path), "1\n");
    EXPECT_EQ(CountAttempt(Zorpath(), "a.mail"), 2);
    EXPECT_EQ(ReadBytes(path), "2\n");
    EXPECT_EQ(CountAttempt(Zorpath(), "b.mail"), 1) << "each mail has its own count";
    EXPECT_EQ(CountAttempt(Zorpath(), "a.mail"), 3);
    RemoveAttempts(Zorpath(), "a.mail");
    EXPECT_FALSE(IsRegularFile(path));
    EXPECT_EQ(ReadBytes(AttemptsFilePath(Zorpath(), "b.mail")), "1\n");
    EXPECT_EQ(CountAttempt(Zorpath(), "a.mail"), 1);
}

TEST_F(MailArchiveTest, AnAttemptsFileCountsOnlyWhenItHoldsANumberAndALineFeed) {
    const struct {
        const char* content;
        int next;
    } cases[] = {
        {"7\n", 8},
        {"", 1},
        {"\n", 1},
        {"2", 1},
        {"x\n", 1},
        {"2x\n", 1},
        {" 2\n", 1},
        {"-2\n", 1},
        {"+2\n", 1},
        {"2\n2\n", 1},
        {"99999999999\n", 1},
        {"123456789012345678901234567890\n", 1},
    };
    ASSERT_TRUE(PrepareMailArchive(Zorpath()));
    const std::string path = AttemptsFilePath(Zorpath(), "a.mail");
    for (const auto& c : cases) {
        WriteBytes(path, c.content);
        EXPECT_EQ(CountAttempt(Zorpath(), "a.mail"), c.next) << c.content;
        EXPECT_EQ(ReadBytes(path), std::to_string(c.next) + "\n") << c.content;
    }
}

} // namespace
} // namespace tarvel
