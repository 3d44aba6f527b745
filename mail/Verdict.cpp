#include "mail/Verdict.h"

#include "analysis/StyleMetrics.h"
#include "mail/MailClient.h"
#include "mail/MailMessage.h"
#include "platform/FileOps.h"
#include "runner/RunResult.h"
#include "store/Results.h"

#include <algorithm>

namespace tarvel {

std::string TestResultText(int code) {
    switch (code) {
    case kRunPassed:
        return "program je funkcny";
    case kRunNothingToBuild:
        return "nenasiel sa projekt ani zdrojovy subor";
    case kRunBuildFailed:
        return "preklad zlyhal";
    case kRunBuildNotStarted:
        return "prekladac sa nepodarilo spustit";
    case kRunNoSandbox:
        return "netestovane: chyba bezpecne prostredie (sandbox)";
    case kRunOutputMismatch:
        return "vystup programu nezodpoveda zadaniu";
    case kRunProgramNotStarted:
        return "program sa nepodarilo spustit";
    default:
        return "testovanie zlyhalo (kod " + std::to_string(code) + ")";
    }
}

std::string VerdictSubject(const std::string& task) {
    const bool printable = !task.empty() && task.size() <= 20 &&
                           std::all_of(task.begin(), task.end(), [](char c) { return c > 0x20 && c < 0x7F; });
    return printable ? "Odovzdane zadanie cislo " + task : "Odovzdane zadanie";
}

void RunVerdictStage(const VerdictContext& context, Submission& submission) {
    if (submission.outcome == IntakeOutcome::Failed) {
        return;
    }
    if (submission.outcome == IntakeOutcome::Accepted) {
        submission.reply += "\nTesty boli spustene.";
        TestRunner runner(context.db, context.configPath, submission.result, context.zorpath,
                          context.launcher);
        submission.testCode = runner.Run();
        ResultSection(context.db, submission.result).WriteInt(kTestResultKey, submission.testCode);
        submission.reply += "\nVysledok testov: " + TestResultText(submission.testCode);
        AnalyzeSubmission(context.db, submission.result);
    }
    submission.reply += DaemonSignature(context.user, context.pop3Host);

    MailHeader header;
    header.from = DaemonAddress(context.user, context.pop3Host);
    header.to = submission.student.email;
    header.subject = VerdictSubject(submission.task);
    header.date = context.clock();
    std::string message;
    if (!ComposeMail(header, submission.reply, message)) {
        submission.replyFailure = "the verdict mail could not be composed";
        return;
    }
    std::string failure;
    submission.replySent = context.send(context.smtpHost, header.from, header.to, message, failure) == 1;
    if (!submission.replySent) {
        submission.replyFailure = failure.empty() ? "the mail server did not take the verdict mail" : failure;
    }
}

} // namespace tarvel
