#pragma once
// The mails the receiving daemon could not process, filed in its archive's dropped/ folder with the reason
// (mail/MailArchive.h). Each file holds the text as the POP3 server handed it out; a mail over the fetch
// limit only its first part.

#include <cstddef>
#include <string>
#include <vector>

namespace tarvel {

struct DroppedMail {
    std::string name;   // the file name in dropped/
    std::string date;   // header fields as the mail gives them, unfolded; empty when missing
    std::string sender; // From
    std::string subject;
    std::string reason; // what the daemon wrote beside it, without its line end; empty when missing
};

// How much of a dropped mail is read for its header fields, and of its reason file.
inline constexpr std::size_t kDroppedHeaderBytes = 64 * 1024;
inline constexpr std::size_t kDroppedReasonBytes = 4 * 1024;
// How much of a dropped mail is shown as text.
inline constexpr std::size_t kDroppedTextBytes = 4 * 1024 * 1024;

// The dropped mails (regular files named *.mail) of the installation, oldest first, as the archive's names
// sort. A mail that cannot be read is listed with empty header fields. False when the folder exists but
// cannot be read; a folder that does not exist holds none.
bool ListDroppedMails(const std::string& zorpath, std::vector<DroppedMail>& mails);

// The text of a dropped mail for reading, with LF line ends: the message itself (the server's status line,
// its final "." line and the doubled leading dots taken away; a mail kept only in part loses only its status
// line). Of a file over kDroppedTextBytes only its first part is read, `complete` then false. False when the
// name is not a plain file name of dropped/ or the file cannot be read.
bool ReadDroppedMail(const std::string& zorpath, const std::string& name, std::string& text, bool& complete);

} // namespace tarvel
