// The status pane's texts while receiving, for each thing that can become of a mail.

#include "shell/ReceivingStatus.h"

#include "platform/Cp1250.h"

#include <gtest/gtest.h>

namespace tarvel {
namespace {

DaemonMail Mail(IntakeOutcome outcome, int testCode = kTestsNotRun) {
    DaemonMail mail;
    mail.submission.outcome = outcome;
    mail.submission.unid = "12345";
    mail.submission.task = "1";
    mail.submission.testCode = testCode;
    mail.submission.reason = "identity.dat missing at the top of the archive";
    return mail;
}

TEST(ReceivingStatus, SaysWhatBecameOfTheLastMail) {
    DaemonMail duplicate = Mail(IntakeOutcome::Failed);
    duplicate.duplicate = true;
    DaemonMail unknown = Mail(IntakeOutcome::Failed);
    unknown.submission.unid.clear();
    unknown.submission.task.clear();
    DaemonMail unanswered = Mail(IntakeOutcome::Accepted, 0);
    unanswered.submission.replyFailure = "certificate not trusted";
    const struct {
        DaemonMail mail;
        const char* tail;
    } cases[] = {
        {Mail(IntakeOutcome::Accepted, 0), "UNI ID 12345, zadanie 1 - prijatá, test 0"},
        {Mail(IntakeOutcome::Accepted, 21), "UNI ID 12345, zadanie 1 - prijatá, test 21"},
        {Mail(IntakeOutcome::Refused), "UNI ID 12345, zadanie 1 - odmietnutá"},
        {unknown, "UNI ID ?, zadanie ? - nespracovaná (identity.dat missing at the top of the archive)"},
        {duplicate, "opakovane doručená pošta, zmazaná"},
        {unanswered,
         "UNI ID 12345, zadanie 1 - prijatá, test 0, odpoveď neodoslaná (certificate not trusted)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Cp1250ToUtf8(ReceivingDone(c.mail, "13:45:02")),
                  std::string("Preberanie: čakám na poštu... Posledná práca (13:45:02): ") + c.tail);
    }
    EXPECT_EQ(Cp1250ToUtf8(ReceivingProcessing(Mail(IntakeOutcome::Accepted))),
              "Preberanie: spracúvam prácu UNI ID 12345, zadanie 1...");
}

} // namespace
} // namespace tarvel
