#include "shell/ReceivingStatus.h"

#include "platform/Cp1250.h"

namespace tarvel {
namespace {

// The student's values, as far as the intake could read them.
std::string Whose(const Submission& submission) {
    return "UNI ID " + (submission.unid.empty() ? std::string("?") : submission.unid) +
           Cp1250Text(", zadanie ") + (submission.task.empty() ? std::string("?") : submission.task);
}

std::string Verdict(const DaemonMail& mail) {
    if (mail.duplicate) {
        return Cp1250Text("opakovane doručená pošta, zmazaná");
    }
    if (mail.oversized) {
        return Cp1250Text("príliš veľká pošta, odložená");
    }
    switch (mail.submission.outcome) {
    case IntakeOutcome::Accepted:
        return Cp1250Text("prijatá") + (mail.submission.testCode != kTestsNotRun
                                            ? ", test " + std::to_string(mail.submission.testCode)
                                            : std::string());
    case IntakeOutcome::Refused:
        return Cp1250Text("odmietnutá");
    case IntakeOutcome::Failed:
        break;
    }
    return Cp1250Text("nespracovaná (") + mail.submission.reason + ")";
}

std::string Outcome(const DaemonMail& mail) {
    if (!mail.submission.replyFailure.empty()) {
        return Verdict(mail) + Cp1250Text(", odpoveď neodoslaná (") + mail.submission.replyFailure + ")";
    }
    return Verdict(mail);
}

} // namespace

std::string ReceivingWaiting() {
    return Cp1250Text("Preberanie: čakám na poštu...");
}

std::string ReceivingProcessing(const DaemonMail& mail) {
    return Cp1250Text("Preberanie: spracúvam prácu ") + Whose(mail.submission) + "...";
}

std::string ReceivingDone(const DaemonMail& mail, const std::string& time) {
    const bool known = !mail.duplicate && !mail.oversized;
    return ReceivingWaiting() + Cp1250Text(" Posledná práca (") + time +
           "): " + (known ? Whose(mail.submission) + " - " : std::string()) + Outcome(mail);
}

std::string ReceivingMailboxFailed(const std::string& failure) {
    return Cp1250Text("Preberanie: poštu nemožno prebrať (") + failure + ")";
}

std::string ReceivingStopping() {
    return Cp1250Text("Zastavujem preberanie...");
}

} // namespace tarvel
