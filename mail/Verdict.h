#pragma once
// The verdict stage after the intake: an accepted submission is built and tested (the result code is stored
// as the key "test" of its result section), analysed for style and similarity, and the student gets the
// verdict mail; a refused one gets the refusal alone. A failed intake gets nothing.

#include "mail/Intake.h"
#include "mail/MailClient.h"
#include "runner/TestRunner.h"
#include "store/Database.h"

#include <ctime>
#include <functional>
#include <string>

namespace tarvel {

struct VerdictContext {
    Database& db;
    std::string configPath; // zor.ini, for the compiler directory (bccpath)
    std::string zorpath;    // the installation: bin/zorbox, and tmp/ for the build
    std::string smtpHost;   // the mail settings of the daemon's cycle
    std::string user;
    std::string pop3Host;
    std::function<std::time_t()> clock = [] { return std::time(nullptr); };
    MailDelivery send = ConfiguredMailDelivery(MailSettings{});
    ProcessLauncher launcher = RunChild; // starts the sandbox of the build and test run
};

// The short ASCII text of the verdict mail's line "Vysledok testov: " for a result code of the runner.
std::string TestResultText(int code);

// The verdict mail's subject: a short ASCII line naming the task.
std::string VerdictSubject(const std::string& task);

// For an accepted submission: runs the tests, stores the code as "test", runs the analysis and completes the
// reply with "Testy boli spustene." and the result line. For accepted and refused ones: appends the
// signature and mails the reply to the student. Sets testCode and replySent. A failed intake is left as it
// is.
void RunVerdictStage(const VerdictContext& context, Submission& submission);

} // namespace tarvel
