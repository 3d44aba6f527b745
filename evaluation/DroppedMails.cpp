#include "evaluation/DroppedMails.h"

#include "mail/Attachment.h"
#include "mail/MailArchive.h"
#include "mail/MailMessage.h"
#include "platform/FileDescriptor.h"
#include "platform/FileOps.h"
#include "platform/TextMode.h"

#include <cerrno>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvel {
namespace {

// The first maxBytes of a regular file; `complete` tells whether that was all of it. The daemon wrote these
// files, but a link or a FIFO in their place is still not followed or waited on.
bool ReadFileStart(const std::string& path, std::size_t maxBytes, std::string& out, bool& complete) {
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    std::string bytes(maxBytes + 1, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t part = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (part < 0 && errno == EINTR) {
            continue;
        }
        if (part < 0) {
            return false;
        }
        if (part == 0) {
            break;
        }
        got += static_cast<std::size_t>(part);
    }
    complete = got <= maxBytes;
    bytes.resize(complete ? got : maxBytes);
    out = std::move(bytes);
    return true;
}

// The archive keeps the POP3 reply whole: its first line is the server's "+OK".
std::string_view AfterStatusLine(std::string_view text) {
    if (!text.starts_with("+OK")) {
        return text;
    }
    const std::size_t end = text.find('\n');
    return end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
}

std::string FieldOf(const std::vector<std::pair<std::string, std::string>>& fields, std::string_view name) {
    for (const auto& [key, value] : fields) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

std::string ReasonOf(const std::string& zorpath, const std::string& name) {
    std::string reason;
    bool complete = false;
    if (!ReadFileStart(ReasonFilePath(zorpath, name), kDroppedReasonBytes, reason, complete)) {
        return {};
    }
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) {
        reason.pop_back();
    }
    return reason;
}

DroppedMail Describe(const std::string& zorpath, const std::string& name) {
    DroppedMail mail;
    mail.name = name;
    std::string head;
    bool complete = false;
    if (ReadFileStart(JoinPath(DroppedDirectory(zorpath), name), kDroppedHeaderBytes, head, complete)) {
        const auto fields = HeaderFields(FromWindowsText(AfterStatusLine(head)));
        mail.date = FieldOf(fields, "date");
        mail.sender = FieldOf(fields, "from");
        mail.subject = FieldOf(fields, "subject");
    }
    mail.reason = ReasonOf(zorpath, name);
    return mail;
}

bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

} // namespace

bool ListDroppedMails(const std::string& zorpath, std::vector<DroppedMail>& mails) {
    const std::string folder = DroppedDirectory(zorpath);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            return false;
        }
        mails.clear();
        return true;
    }
    if (!S_ISDIR(info.st_mode) || ::access(folder.c_str(), R_OK | X_OK) != 0) {
        return false;
    }
    std::vector<DroppedMail> found;
    for (const std::string& name : ListMatching(folder, kArchivedMailPattern)) {
        if (IsRegularFile(JoinPath(folder, name))) {
            found.push_back(Describe(zorpath, name));
        }
    }
    mails = std::move(found);
    return true;
}

bool ReadDroppedMail(const std::string& zorpath, const std::string& name, std::string& text, bool& complete) {
    std::string bytes;
    if (!IsPlainFileName(name) ||
        !ReadFileStart(JoinPath(DroppedDirectory(zorpath), name), kDroppedTextBytes, bytes, complete)) {
        return false;
    }
    std::string message;
    if (!complete || !RetrievedMessage(bytes, message)) {
        message = AfterStatusLine(bytes);
    }
    text = FromWindowsText(message);
    return true;
}

} // namespace tarvel
