#pragma once
// The system's whole mail client: SendMail delivers one message through SMTP, FetchMail takes message 1 out
// of a POP3 mailbox. Each call opens its own connection, runs a fixed dialogue and closes it; nothing is kept
// between calls and either may run on any thread. Host settings are "host" or "host:port" (otherwise the port
// of the protocol and its security); connecting and every read or write give up after the time-out.

#include "mail/MailConnection.h"
#include "shell/Settings.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace tarvel {

// How a server is reached beyond its host setting. With StartTls or Tls the server's certificate is checked
// against the system's trust store and caFile (PEM, "" for none) and its name against the host; nothing is
// sent before TLS is up but the clear-text greeting and STARTTLS or STLS. The login is SMTP's: AUTH once TLS
// is up (POP3 logs in with its own arguments).
struct MailSecurityOptions {
    MailSecurity security = MailSecurity::None;
    std::string caFile = {};
    std::string user = {};
    std::string password = {};
};

// The port a host setting without one connects to: SMTP 25, 587 with STARTTLS, 465 with TLS; POP3 110, also
// with STLS, 995 with TLS.
const char* SmtpPort(MailSecurity security);
const char* Pop3Port(MailSecurity security);

// Sends `message` (header lines, an empty line, the body; see MailMessage.h) from `from` to `to`. In clear
// text: greeting 220, HELO with the host (without its port) 250, "MAIL FROM: " 250, "RCPT TO: " 250, DATA
// 354, the data section of SmtpDataSection in one write 250, QUIT 221. With STARTTLS: greeting 220, EHLO 250
// that must offer STARTTLS, STARTTLS 220, TLS, EHLO again; with TLS: TLS from the first byte, greeting, EHLO.
// Over TLS the login authenticates with AUTH PLAIN, else AUTH LOGIN, whichever the server offers (235),
// before "MAIL FROM: ". Returns 1 when every reply was the expected one, 0 otherwise. An address that is
// empty or holds CR, LF, a blank or NUL, a host setting that does not split, or a command line over
// kMaxCommandLine bytes fails at once, before connecting. `reason`, when given, tells why a call failed.
int SendMail(const std::string& hostSetting, const std::string& from, const std::string& to,
             const std::string& message, std::chrono::milliseconds timeout = kMailTimeout,
             std::string* reason = nullptr, const MailSecurityOptions& options = {});

// Delivers one composed mail; 1 when the server took it, else 0 with the reason in `failure`. The one seam
// through which the assignment and the verdict stage send, so that tests can record the mails instead.
using MailDelivery =
    std::function<int(const std::string& smtpHost, const std::string& from, const std::string& to,
                      const std::string& message, std::string& failure)>;

// SendMail with its time-out, the SMTP security of the settings and their mailbox login.
MailDelivery ConfiguredMailDelivery(const MailSettings& settings);
// The delivery a context was given (tests record mails so), else the configured one.
MailDelivery ChosenDelivery(const MailDelivery& given, const MailSettings& settings);

// How far a fetch got, for a caller that must not lose a message.
struct FetchProgress {
    bool mailboxEmpty = false; // the server refused "RETR 1": there is no message to fetch
    bool received = false;     // message 1 arrived whole, its final "." line included
    bool kept = false;         // the keeper accepted the text (without a keeper: as soon as it was received)
    bool deleteSent = false;   // "DELE 1" went out; the server removes the message only when it answers QUIT
    bool deleted = false;      // QUIT was answered: the message is gone from the server
    bool cutOff = false;       // the message was larger than the limit: only its first lines were kept
    std::uint64_t size = 0;    // the bytes of the reply as the server sent it, the final "." line included
    std::string failure;       // why the dialogue ended early; empty after success and for an empty mailbox
};

// Called with the retrieved text and the progress so far before "DELE 1" is sent; the message is deleted
// only when it returns true.
using MessageKeeper = std::function<bool(const std::string& text, const FetchProgress& progress)>;

// The largest POP3 message FetchMail takes whole.
inline constexpr std::size_t kMaxFetchedMessage = 64 * 1024 * 1024;

// With STARTTLS, "STLS" after the greeting and TLS before USER; with TLS, TLS from the first byte (options'
// user and password are not used). Logs in with USER and PASS, sends "RETR 1" and reads the reply to its
// final "." line, hands the text to the keeper, then sends "DELE 1" and QUIT. Every status line must be
// positive and must arrive. `text` receives the reply as it came: the status line first, CR LF line ends,
// dot-stuffing kept, the final "." line last (see RetrievedMessage in MailMessage.h); it is changed only when
// the whole message has arrived. A message that ends early is not received and not deleted. A reply over
// maxBytes is read to its end all the same, so that it can be deleted, but the text keeps only the whole
// lines that fit in maxBytes: progress.cutOff is then set and the text has no final "." line. Returns 1 when
// the message was kept and its deletion confirmed, 0 otherwise.
int FetchMail(const std::string& hostSetting, const std::string& user, const std::string& password,
              std::string& text, const MessageKeeper& keepBeforeDelete, FetchProgress& progress,
              std::chrono::milliseconds timeout = kMailTimeout, std::size_t maxBytes = kMaxFetchedMessage,
              const MailSecurityOptions& options = {});

// The same without a keeper, for callers that hold the text only in memory.
int FetchMail(const std::string& hostSetting, const std::string& user, const std::string& password,
              std::string& text, std::chrono::milliseconds timeout = kMailTimeout,
              const MailSecurityOptions& options = {});

} // namespace tarvel
