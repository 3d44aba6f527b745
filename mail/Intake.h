#pragma once
// The intake of one submission mail: the attached zip archive is decoded and unpacked into the scratch
// directory <zorpath>/tmp/src, its sources are rendered as HTML pages (bin/vexil.sh), the identity file the
// student put into the archive names the student and the task, and the deadline rule decides whether the
// sources replace the stored submission. The mail archive of the receiving daemon is not touched here: the
// daemon keeps the mail, passes its text in and files it by the outcome.

#include "platform/LocalDate.h"
#include "runner/TestRunner.h"
#include "store/Database.h"
#include "store/Results.h"
#include "store/Students.h"
#include "store/Tasks.h"

#include <functional>
#include <string>

namespace tarvel {

inline constexpr const char* kIdentityFileName = "identity.dat";
inline constexpr const char* kIdentitySection = "IDZ";
// The identity's values are read as into a 100-byte buffer.
inline constexpr std::size_t kMaxIdentityValue = 99;
// The rendering script and the renderer in the installation's bin/.
inline constexpr const char* kRenderScriptName = "vexil.sh";
inline constexpr const char* kRendererName = "vexil";
// The rendering script may take this long before it is stopped; the pages are then missing, nothing else.
inline constexpr std::chrono::milliseconds kRenderTimeLimit{60000};

enum class IntakeOutcome {
    Accepted, // stored; the verdict stage tests and analyses it and mails the verdict
    Refused,  // the student is known; the reply holds the refusal and is mailed alone
    Failed,   // nothing usable: no archive, no identity or no such student; nothing is stored or mailed
};

// "accepted", "refused" or "failed".
const char* OutcomeName(IntakeOutcome outcome);

// The test result code before the verdict stage ran the tests.
inline constexpr int kTestsNotRun = -1;

// Everything one submission produces, from the intake through the verdict stage.
struct Submission {
    IntakeOutcome outcome = IntakeOutcome::Failed;
    std::string reason; // a few ASCII words on one line: why it failed or was refused, or what was stored
    std::string unid;   // the identity's "UNID", "ID" and "TID" as far as they were read
    std::string id;
    std::string task;
    std::string reply; // the verdict mail's body as far as the intake wrote it
    StudentRecord student;
    ResultRecord result; // read fresh after an accepted submission was stored
    int testCode = kTestsNotRun;
    bool replySent = false;
    std::string replyFailure = {}; // why the verdict mail did not go out; empty when it did or none was due
};

// One line for a log: UNI ID and task when known, the outcome with its reason, the test result code when the
// tests ran, and why the answer did not go out when it did not. Printable ASCII only.
std::string DescribeSubmission(const Submission& submission);

struct IntakeContext {
    Database& db;
    std::string zorpath; // the installation: bin/ holds vexil.sh and vexil, tmp/ is the scratch
    std::function<LocalDate()> today = Today;
    ProcessLauncher launcher = RunChild; // starts the rendering step
};

// Takes one fetched mail (FetchMail's text: status line, dot-stuffed lines, final "." line) through the whole
// intake and fills `submission`. Writes tmp/mail.uu, replaces tmp/src, and for an accepted submission the
// student's submission directory, result record and the variant's accepted list. The reply starts with the
// greeting for a known student and ends with "A bolo akceptovane na testy." (accepted) or "Ale nebolo
// akceptovane na testovanie." (refused).
IntakeOutcome IntakeSubmission(const IntakeContext& context, const std::string& mailText,
                               Submission& submission);

// The deadline rule and the storing of the unpacked sources in sourceDir: 1 when accepted and stored, 0 when
// refused (task not assigned, task record unreadable, a resubmission after the deadline, or a storing step
// failed; files may then be partly replaced). `reason` says which, or what was stored.
int AcceptSubmission(const IntakeContext& context, const StudentRecord& student, const std::string& task,
                     const std::string& sourceDir, std::string& reason);

// Days after the task's deadline (0 on the deadline day, negative before it), counting every year as 365 days
// and no leap days. False when the deadline's month is not 1 to 12.
bool LatenessInDays(const LocalDate& day, const TaskTypeRecord& task, int& late);

} // namespace tarvel
