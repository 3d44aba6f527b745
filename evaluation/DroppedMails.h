#pragma once
// The mails the receiving daemon could not process, filed in its archive's dropped/ folder with the reason.

#include <string>
#include <vector>

namespace tarvel {

struct DroppedMail {
    std::string name;    // the file name in dropped/
    std::string date;    // header fields as the mail gives them
    std::string sender;
    std::string subject;
    std::string reason;  // what the daemon wrote beside it
};

// The dropped mails of the installation, oldest first. False when the folder cannot be read; a folder that
// does not exist holds none.
bool ListDroppedMails(const std::string& zorpath, std::vector<DroppedMail>& mails);

} // namespace tarvel
