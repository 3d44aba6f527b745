#include "mail/MailArchive.h"

#include "mail/MailMessage.h"
#include "platform/FileOps.h"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <unistd.h>

namespace tarvel {
namespace {

constexpr std::string_view kMailSuffix = ".mail";
// A reply is a few lines; a larger record is not one of ours.
constexpr std::size_t kMaxIntakeRecord = 64 * 1024;
// Ten digits and a line feed hold any count an int does.
constexpr std::size_t kMaxAttemptsFile = 11;

std::uint64_t Fnv1a(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char byte : bytes) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 1099511628211ull;
    }
    return hash;
}

// The rename is durable once both directories have reached the disk.
bool MoveDurably(const std::string& fromDir, const std::string& toDir, const std::string& name) {
    return ::rename(JoinPath(fromDir, name).c_str(), JoinPath(toDir, name).c_str()) == 0 &&
           SyncDirectory(toDir) && SyncDirectory(fromDir);
}

// "20260107-134502-123456-": the moment of the fetch in UTC, so that names sort in the order of arrival.
std::string TimeStampPrefix() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count() % 1000000;
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d-%06lld-", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<long long>(micros));
    return text;
}

// A new mail's file name: the moment of the fetch, then its identity.
std::string NewMailName(const std::string& identity) {
    return TimeStampPrefix() + identity + std::string(kMailSuffix);
}

std::string Stem(const std::string& name) {
    return name.ends_with(kMailSuffix) ? name.substr(0, name.size() - kMailSuffix.size()) : name;
}

} // namespace

std::string MailArchiveDirectory(const std::string& zorpath) {
    return JoinPath(zorpath, kMailArchiveFolder);
}
std::string DoneDirectory(const std::string& zorpath) {
    return JoinPath(MailArchiveDirectory(zorpath), kDoneFolder);
}
std::string DroppedDirectory(const std::string& zorpath) {
    return JoinPath(MailArchiveDirectory(zorpath), kDroppedFolder);
}

std::string MailIdentity(std::string_view fetchedText) {
    std::string message;
    const std::uint64_t hash = RetrievedMessage(fetchedText, message) ? Fnv1a(message) : Fnv1a(fetchedText);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

bool PrepareMailArchive(const std::string& zorpath) {
    return MakeDirectories(DoneDirectory(zorpath)) && MakeDirectories(DroppedDirectory(zorpath));
}

bool FindArchivedMail(const std::string& zorpath, const std::string& identity, std::string& found) {
    const std::string pattern = "*-" + identity + std::string(kMailSuffix);
    for (const char* folder : {"", kDoneFolder, kDroppedFolder}) {
        const auto names = ListMatching(JoinPath(MailArchiveDirectory(zorpath), folder), pattern);
        if (!names.empty()) {
            found = *folder ? std::string(folder) + "/" + names.front() : names.front();
            return true;
        }
    }
    return false;
}

bool KeepFetchedMail(const std::string& zorpath, std::string_view text, const std::string& identity,
                     std::string& name) {
    if (!PrepareMailArchive(zorpath)) {
        return false;
    }
    const std::string candidate = NewMailName(identity);
    if (!WriteFileAtomically(WaitingMailPath(zorpath, candidate), text, true)) {
        return false;
    }
    name = candidate;
    return true;
}

bool KeepOversizedMail(const std::string& zorpath, std::string_view text, const std::string& identity,
                       const std::string& reason, std::string& name) {
    if (!PrepareMailArchive(zorpath)) {
        return false;
    }
    // The reason first: a mail in dropped/ always has one.
    const std::string candidate = NewMailName(identity);
    if (!WriteFileAtomically(ReasonFilePath(zorpath, candidate), reason + "\n", true) ||
        !WriteFileAtomically(JoinPath(DroppedDirectory(zorpath), candidate), text, true)) {
        ::unlink(ReasonFilePath(zorpath, candidate).c_str());
        return false;
    }
    name = candidate;
    return true;
}

bool OldestWaitingMail(const std::string& zorpath, std::string& name) {
    for (const std::string& candidate : ListMatching(MailArchiveDirectory(zorpath), kArchivedMailPattern)) {
        if (IsRegularFile(WaitingMailPath(zorpath, candidate))) {
            name = candidate;
            return true;
        }
    }
    return false;
}

std::string WaitingMailPath(const std::string& zorpath, const std::string& name) {
    return JoinPath(MailArchiveDirectory(zorpath), name);
}

bool FileMailDone(const std::string& zorpath, const std::string& name) {
    return PrepareMailArchive(zorpath) &&
           MoveDurably(MailArchiveDirectory(zorpath), DoneDirectory(zorpath), name);
}

bool FileMailDropped(const std::string& zorpath, const std::string& name, const std::string& reason) {
    return PrepareMailArchive(zorpath) &&
           WriteFileAtomically(ReasonFilePath(zorpath, name), reason + "\n", true) &&
           MoveDurably(MailArchiveDirectory(zorpath), DroppedDirectory(zorpath), name);
}

std::string IntakeRecordPath(const std::string& zorpath, const std::string& name) {
    return JoinPath(MailArchiveDirectory(zorpath), Stem(name) + ".intake");
}

bool WriteIntakeRecord(const std::string& zorpath, const std::string& name, const Submission& submission) {
    if (submission.outcome == IntakeOutcome::Failed) {
        return false;
    }
    std::string record = std::string(OutcomeName(submission.outcome)) + "\n";
    for (const std::string* value :
         {&submission.unid, &submission.id, &submission.task, &submission.reason}) {
        if (value->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            return false;
        }
        record += *value + "\n";
    }
    record += std::to_string(submission.reply.size()) + "\n" + submission.reply;
    // A crash of the process leaves the file in the page cache; after a power loss a missing record only
    // means the mail is taken through the whole intake again.
    return WriteFileAtomically(IntakeRecordPath(zorpath, name), record, false);
}

bool ReadIntakeRecord(const std::string& zorpath, const std::string& name, Submission& submission) {
    std::string record;
    if (!ReadWholeFile(IntakeRecordPath(zorpath, name), record, kMaxIntakeRecord)) {
        return false;
    }
    std::string lines[6];
    std::size_t start = 0;
    for (std::string& line : lines) {
        const std::size_t end = record.find('\n', start);
        if (end == std::string::npos) {
            return false;
        }
        line = record.substr(start, end - start);
        start = end + 1;
    }
    const bool accepted = lines[0] == OutcomeName(IntakeOutcome::Accepted);
    if ((!accepted && lines[0] != OutcomeName(IntakeOutcome::Refused)) ||
        lines[5] != std::to_string(record.size() - start)) {
        return false;
    }
    submission.outcome = accepted ? IntakeOutcome::Accepted : IntakeOutcome::Refused;
    submission.unid = lines[1];
    submission.id = lines[2];
    submission.task = lines[3];
    submission.reason = lines[4];
    submission.reply = record.substr(start);
    return true;
}

void RemoveIntakeRecord(const std::string& zorpath, const std::string& name) {
    ::unlink(IntakeRecordPath(zorpath, name).c_str());
}

std::string AttemptsFilePath(const std::string& zorpath, const std::string& name) {
    return JoinPath(MailArchiveDirectory(zorpath), Stem(name) + ".attempts");
}

int CountAttempt(const std::string& zorpath, const std::string& name) {
    const std::string path = AttemptsFilePath(zorpath, name);
    std::string text;
    int count = 0;
    if (ReadWholeFile(path, text, kMaxAttemptsFile) && text.size() >= 2 && text.back() == '\n') {
        const char* end = text.data() + text.size() - 1;
        int read = 0;
        const auto [stop, error] = std::from_chars(text.data(), end, read);
        count = error == std::errc() && stop == end && read >= 0 ? read : 0;
    }
    count += count < std::numeric_limits<int>::max() ? 1 : 0;
    WriteFileAtomically(path, std::to_string(count) + "\n", false);
    return count;
}

void RemoveAttempts(const std::string& zorpath, const std::string& name) {
    ::unlink(AttemptsFilePath(zorpath, name).c_str());
}

std::string ReasonFilePath(const std::string& zorpath, const std::string& name) {
    return JoinPath(DroppedDirectory(zorpath), Stem(name) + ".reason");
}

ArchiveLock::ArchiveLock(const std::string& zorpath) {
    const std::string path = JoinPath(MailArchiveDirectory(zorpath), "daemon.lock");
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

ArchiveLock::~ArchiveLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

} // namespace tarvel
