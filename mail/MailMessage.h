#pragma once
// The outgoing mails' common parts (header lines, sender address, the daemon's signature) and the unwrapping
// of a POP3 retrieval into the message it carries. Every mail the system sends is composed here.

#include <ctime>
#include <string>
#include <string_view>

namespace tarvel {

struct MailHeader {
    std::string from;
    std::string to;
    std::string subject; // a short ASCII line naming the task
    std::time_t date = 0;
};

// The Date header's value: "Mon, 7 Dec 2026 21:45:20 +0100" in local time, English names whatever the locale.
std::string MailDate(std::time_t when);

// From, To, Subject, Date, "MIME-Version: 1.0", "Content-Type: text/plain; charset=windows-1250",
// "Content-Transfer-Encoding: 8bit", an empty line, then the body unchanged. Lines end in LF; SendMail sends
// them as CR LF. False (out unchanged) when a value holds CR, LF or NUL or the subject is not printable
// ASCII.
bool ComposeMail(const MailHeader& header, std::string_view body, std::string& out);

// The system's own address: mail user + "@" + the POP3 host without its port.
std::string DaemonAddress(const std::string& user, const std::string& pop3Setting);
// The last lines of every mail: two line feeds, 25 spaces, "ZOR Daemon(" + DaemonAddress + ")" and a line
// feed.
std::string DaemonSignature(const std::string& user, const std::string& pop3Setting);

// The message inside a FetchMail text: without the status line and the final "." line, each doubled leading
// dot undone, CR LF line ends kept. False when the text does not end with its "." line.
bool RetrievedMessage(std::string_view text, std::string& message);
// The other way round: the text FetchMail hands over for a message as a POP3 server holds it, with a status
// line, CR LF line ends, a dot doubled at the start of each line that has one, and the final "." line.
std::string RetrievalText(std::string_view message);

} // namespace tarvel
