#pragma once
// The receiving daemon's archive of fetched mails, <zorpath>/mail/. A mail is written there durably before
// the server is told to delete it, so no submission is ever only in memory. When its cycle ends it moves to
// mail/done/ (accepted or refused) or mail/dropped/ (failed, with <name>.reason beside it saying why). A mail
// still directly in mail/ was cut off in the middle of its cycle and is processed before anything is fetched;
// a count of its attempts beside it lets the daemon set aside a mail that keeps cutting its cycles off.
//
// File names are "<UTC date>-<time>-<microseconds>-<identity>.mail": they sort in the order the mails came,
// and the identity lets the daemon recognise a mail that the server hands out a second time (the server
// deletes only when QUIT is answered, so a dialogue cut off after DELE leaves the mail in the mailbox).

#include "mail/Intake.h"

#include <string>
#include <string_view>

namespace tarvel {

inline constexpr const char* kMailArchiveFolder = "mail";
inline constexpr const char* kDoneFolder = "done";
inline constexpr const char* kDroppedFolder = "dropped";
inline constexpr const char* kArchivedMailPattern = "*.mail";

// <zorpath>/mail, <zorpath>/mail/done and <zorpath>/mail/dropped.
std::string MailArchiveDirectory(const std::string& zorpath);
std::string DoneDirectory(const std::string& zorpath);
std::string DroppedDirectory(const std::string& zorpath);

// Sixteen lower-case hexadecimal digits naming one mail: a hash of the whole message as the server holds it
// (the POP3 status line aside), so that the same mail fetched twice gets the same identity, while two
// different mails that share a Message-Id (a resent, edited mail) do not.
std::string MailIdentity(std::string_view fetchedText);

// Creates the three directories where they are missing; false when one cannot be made.
bool PrepareMailArchive(const std::string& zorpath);

// True when a mail of this identity is waiting in mail/ or was filed in done/ or dropped/; `found` then
// receives its path below mail/ ("done/<name>").
bool FindArchivedMail(const std::string& zorpath, const std::string& identity, std::string& found);

// Writes the fetched text, byte for byte, into a new file of mail/ and syncs it and the directory to disk.
// `name` receives the file name. False, with nothing left behind, when the text could not be made durable.
bool KeepFetchedMail(const std::string& zorpath, std::string_view text, const std::string& identity,
                     std::string& name);

// Files a mail that was too large to be taken whole straight into dropped/, the kept part of its text with
// the reason beside it, durably; it is never processed. `name` receives its file name.
bool KeepOversizedMail(const std::string& zorpath, std::string_view text, const std::string& identity,
                       const std::string& reason, std::string& name);

// The first mail left in mail/ by the order of the names; false when none waits.
bool OldestWaitingMail(const std::string& zorpath, std::string& name);

// The path of a mail waiting in mail/.
std::string WaitingMailPath(const std::string& zorpath, const std::string& name);

// Moves a waiting mail into done/, durably.
bool FileMailDone(const std::string& zorpath, const std::string& name);
// Writes dropped/<name without .mail>.reason (the reason and a line feed), then moves the mail into
// dropped/, durably.
bool FileMailDropped(const std::string& zorpath, const std::string& name, const std::string& reason);

// dropped/<name without .mail>.reason.
std::string ReasonFilePath(const std::string& zorpath, const std::string& name);

// What the intake of a waiting mail decided, kept beside it as mail/<name without .mail>.intake until the
// mail is filed: a cycle cut off during the tests, the analysis or the verdict mail then resumes at the
// verdict stage instead of storing the submission a second time. Outcome, UNI ID, ID, task, reason and the
// reply text are kept; the student and result records are read again from the database.
std::string IntakeRecordPath(const std::string& zorpath, const std::string& name);
// False (nothing written) for a failed intake or values that break lines.
bool WriteIntakeRecord(const std::string& zorpath, const std::string& name, const Submission& submission);
// Fills the kept fields; false when there is no complete record.
bool ReadIntakeRecord(const std::string& zorpath, const std::string& name, Submission& submission);
void RemoveIntakeRecord(const std::string& zorpath, const std::string& name);

// Two daemons of one installation (zor and zord, or two zord) would share the scratch directory and the
// archive, and so would a re-test of a variant beside a daemon: each daemon cycle and each re-test holds
// this lock, taken without waiting, and a daemon that finds it taken lets the cycle pass.
class ArchiveLock {
public:
    // Held() tells whether it was taken; the archive's directory must exist.
    explicit ArchiveLock(const std::string& zorpath);
    ~ArchiveLock();
    ArchiveLock(const ArchiveLock&) = delete;
    ArchiveLock& operator=(const ArchiveLock&) = delete;

    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// A mail whose processing was cut off this many times is dropped instead of being tried again, so that one
// submission that kills the daemon cannot stop every submission after it.
inline constexpr int kMaxInterruptedAttempts = 3;

// How often the processing of a waiting mail began, kept beside it as mail/<name without .mail>.attempts (a
// decimal number and a line feed) until the mail is filed.
std::string AttemptsFilePath(const std::string& zorpath, const std::string& name);
// Counts one more attempt: reads the count (0 when the file is missing or unreadable), writes the count plus
// one and returns it, also when it could not be written. The file is replaced atomically but not synced: a
// crash of the process leaves it in the page cache, and after a power loss a lost count only means one retry
// more.
int CountAttempt(const std::string& zorpath, const std::string& name);
void RemoveAttempts(const std::string& zorpath, const std::string& name);

} // namespace tarvel
