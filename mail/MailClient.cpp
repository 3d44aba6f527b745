#include "mail/MailClient.h"

#include "mail/Attachment.h"
#include "platform/Cp1250.h"
#include "platform/Socket.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace tarvel {

namespace {

bool IsSendableAddress(std::string_view address) {
    return !address.empty() &&
           address.find_first_of(std::string_view("\r\n \t\0", 5)) == std::string_view::npos;
}

// The reply without its line end, for a failure reason.
std::string FirstLine(std::string_view reply) {
    auto end = reply.find_first_of("\r\n");
    return std::string(reply.substr(0, end));
}

int Fail(std::string* reason, std::string text) {
    if (reason != nullptr) {
        *reason = std::move(text);
    }
    return 0;
}

// Whether an EHLO reply lists the extension (its keyword alone or with parameters), letter case aside.
bool OffersExtension(std::string_view reply, std::string_view keyword, std::string* parameters = nullptr) {
    std::size_t at = 0;
    while (at < reply.size()) {
        std::size_t end = reply.find('\n', at);
        end = end == std::string_view::npos ? reply.size() : end + 1;
        std::string_view line = reply.substr(at, end - at);
        at = end;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        if (line.size() < 4) {
            continue;
        }
        const std::string_view text = line.substr(4);
        const std::string_view word = text.substr(0, text.find(' '));
        if (EqualsIgnoringCase(word, keyword)) {
            if (parameters != nullptr) {
                *parameters = word.size() < text.size() ? std::string(text.substr(word.size() + 1)) : "";
            }
            return true;
        }
    }
    return false;
}

bool HasWord(const std::string& words, std::string_view word) {
    std::size_t at = 0;
    while (at < words.size()) {
        const std::size_t end = std::min(words.find(' ', at), words.size());
        if (EqualsIgnoringCase(std::string_view(words).substr(at, end - at), word)) {
            return true;
        }
        at = end + 1;
    }
    return false;
}

// AUTH with the login over TLS, PLAIN when the server offers it, else LOGIN; a server that offers neither
// gets none (a server that needs one then refuses MAIL FROM). `ehlo` is the reply to EHLO after TLS.
bool Authenticate(MailConnection& connection, const std::string& ehlo, const MailSecurityOptions& options,
                  std::string& why) {
    std::string mechanisms;
    if (!OffersExtension(ehlo, "AUTH", &mechanisms)) {
        return true;
    }
    std::string reply;
    const auto step = [&](const std::string& line, std::string_view code, const char* what) {
        if (!IsSendableCommand(line)) {
            why = "the login or password is too long for AUTH";
            return false;
        }
        if (!connection.SendLine(line) || !ExpectCode(connection, code, reply)) {
            why = std::string("authentication refused at ") + what + ": " + FirstLine(reply);
            return false;
        }
        return true;
    };
    if (HasWord(mechanisms, "PLAIN")) {
        return step("AUTH PLAIN " +
                        EncodeBase64(std::string(1, '\0') + options.user + '\0' + options.password),
                    "235", "AUTH PLAIN");
    }
    if (HasWord(mechanisms, "LOGIN")) {
        return step("AUTH LOGIN", "334", "AUTH LOGIN") &&
               step(EncodeBase64(options.user), "334", "the login") &&
               step(EncodeBase64(options.password), "235", "the password");
    }
    return true;
}

struct SmtpStep {
    std::string line; // empty: nothing is sent, only the reply read
    std::string_view code;
};

bool IsEndLine(std::string_view line) {
    return line == ".\r\n" || line == ".\n";
}

// Skips the rest of a reply too large to keep, so that the dialogue can go on to DELE; counts its bytes.
LineStatus SkipRetrievedLines(MailConnection& connection, FetchProgress& progress) {
    progress.cutOff = true;
    std::string head;
    for (;;) {
        std::uint64_t length = 0;
        const LineStatus status = connection.SkipLine(head, length);
        if (status != LineStatus::Line) {
            return status;
        }
        progress.size += length;
        if (IsEndLine(head) && length == head.size()) {
            return LineStatus::Line;
        }
    }
}

// Reads the message lines of the reply to RETR up to the line ".", keeping whole lines while the text, its
// final line included, stays within maxBytes, and skipping the rest.
LineStatus ReadRetrievedLines(MailConnection& connection, std::size_t maxBytes, std::string& text,
                              FetchProgress& progress) {
    constexpr std::size_t kEndLine = 3;
    std::string line;
    for (;;) {
        const std::size_t room = maxBytes > text.size() ? maxBytes - text.size() : 0;
        const LineStatus status = connection.ReadLine(line, room);
        if (status == LineStatus::TooLong) {
            return SkipRetrievedLines(connection, progress);
        }
        if (status != LineStatus::Line) {
            return status;
        }
        progress.size += line.size();
        if (IsEndLine(line)) {
            text += line;
            return LineStatus::Line;
        }
        if (line.size() + kEndLine > room) {
            return SkipRetrievedLines(connection, progress);
        }
        text += line;
    }
}

std::string_view Describe(LineStatus status) {
    switch (status) {
    case LineStatus::Line:
        return "complete";
    case LineStatus::Closed:
        return "the server closed the connection";
    case LineStatus::TimedOut:
        return "the server did not answer in time";
    case LineStatus::TooLong:
        return "a line too long";
    case LineStatus::Failed:
        break;
    }
    return "the connection failed";
}

} // namespace

const char* SmtpPort(MailSecurity security) {
    switch (security) {
    case MailSecurity::None:
        return "25";
    case MailSecurity::StartTls:
        return "587";
    case MailSecurity::Tls:
        break;
    }
    return "465";
}

const char* Pop3Port(MailSecurity security) {
    return security == MailSecurity::Tls ? "995" : "110";
}

int SendMail(const std::string& hostSetting, const std::string& from, const std::string& to,
             const std::string& message, std::chrono::milliseconds timeout, std::string* reason,
             const MailSecurityOptions& options) {
    if (!IsSendableAddress(from) || !IsSendableAddress(to)) {
        return Fail(reason, "an address is empty or holds a line break or a blank");
    }
    HostAndPort target;
    if (!SplitHostSetting(hostSetting, SmtpPort(options.security), target) ||
        !IsSendableAddress(target.host)) {
        return Fail(reason, "the SMTP host setting is not a host name");
    }
    const bool secure = options.security != MailSecurity::None;
    const std::vector<SmtpStep> envelope = {
        {"MAIL FROM: " + from, "250"},
        {"RCPT TO: " + to, "250"},
        {"DATA", "354"},
    };
    const std::string hello = (secure ? "EHLO " : "HELO ") + target.host;
    for (const std::string& line : {hello, envelope[0].line, envelope[1].line}) {
        if (!IsSendableCommand(line)) {
            return Fail(reason, "the command line is too long: " + line);
        }
    }

    MailConnection connection(timeout);
    if (!connection.ConnectServer(target)) {
        return Fail(reason, "cannot connect to the SMTP server " + hostSetting);
    }
    std::string why;
    if (options.security == MailSecurity::Tls && !connection.StartTls({target.host, options.caFile}, why)) {
        return Fail(reason, "TLS with the SMTP server failed: " + why);
    }
    std::string reply;
    if (!ExpectCode(connection, "220", reply)) {
        return Fail(reason, "unexpected reply to the connection: " + FirstLine(reply));
    }
    if (!connection.SendLine(hello) || !ExpectCode(connection, "250", reply)) {
        return Fail(reason, "unexpected reply to " + hello + ": " + FirstLine(reply));
    }
    if (options.security == MailSecurity::StartTls) {
        if (!OffersExtension(reply, "STARTTLS")) {
            return Fail(reason, "the SMTP server offers no STARTTLS");
        }
        if (!connection.SendLine("STARTTLS") || !ExpectCode(connection, "220", reply)) {
            return Fail(reason, "unexpected reply to STARTTLS: " + FirstLine(reply));
        }
        if (!connection.StartTls({target.host, options.caFile}, why)) {
            return Fail(reason, "TLS with the SMTP server failed: " + why);
        }
        // What the server said before TLS may have been forged on the way: it is asked again.
        if (!connection.SendLine(hello) || !ExpectCode(connection, "250", reply)) {
            return Fail(reason, "unexpected reply to " + hello + ": " + FirstLine(reply));
        }
    }
    if (secure && !Authenticate(connection, reply, options, why)) {
        return Fail(reason, why);
    }
    for (const SmtpStep& step : envelope) {
        if (!connection.SendLine(step.line)) {
            return Fail(reason, "cannot send: " + step.line);
        }
        if (!ExpectCode(connection, step.code, reply)) {
            return Fail(reason, "unexpected reply to " + step.line + ": " + FirstLine(reply));
        }
    }
    // The body and its end mark in one write: two small writes wait for each other's acknowledgement.
    if (!connection.SendRaw(SmtpDataSection(message)) || !ExpectCode(connection, "250", reply)) {
        return Fail(reason, "the message was not accepted: " + FirstLine(reply));
    }
    if (!connection.SendLine("QUIT") || !ExpectCode(connection, "221", reply)) {
        return Fail(reason, "unexpected reply to QUIT: " + FirstLine(reply));
    }
    return 1;
}

MailDelivery ConfiguredMailDelivery(const MailSettings& settings) {
    const MailSecurityOptions options{settings.smtpSecurity, settings.caFile, settings.user,
                                      settings.password};
    return [options](const std::string& smtpHost, const std::string& from, const std::string& to,
                     const std::string& message, std::string& failure) {
        return SendMail(smtpHost, from, to, message, kMailTimeout, &failure, options);
    };
}

MailDelivery ChosenDelivery(const MailDelivery& given, const MailSettings& settings) {
    return given ? given : ConfiguredMailDelivery(settings);
}

int FetchMail(const std::string& hostSetting, const std::string& user, const std::string& password,
              std::string& text, const MessageKeeper& keepBeforeDelete, FetchProgress& progress,
              std::chrono::milliseconds timeout, std::size_t maxBytes, const MailSecurityOptions& options) {
    progress = FetchProgress{};
    auto fail = [&progress](std::string why) {
        progress.failure = std::move(why);
        return 0;
    };
    const std::string userLine = "USER " + user;
    const std::string passLine = "PASS " + password;
    if (!IsSendableCommand(userLine) || !IsSendableCommand(passLine)) {
        return fail("the user name or password holds a line break or is too long");
    }

    HostAndPort target;
    if (!SplitHostSetting(hostSetting, Pop3Port(options.security), target)) {
        return fail("the POP3 host setting is not a host name");
    }
    MailConnection connection(timeout);
    if (!connection.ConnectServer(target)) {
        return fail("cannot connect to the POP3 server " + hostSetting);
    }
    std::string why;
    if (options.security == MailSecurity::Tls && !connection.StartTls({target.host, options.caFile}, why)) {
        return fail("TLS with the POP3 server failed: " + why);
    }
    std::string reply;
    if (!ExpectOk(connection, reply)) {
        return fail("unexpected greeting: " + FirstLine(reply));
    }
    if (options.security == MailSecurity::StartTls) {
        if (!connection.SendLine("STLS") || !ExpectOk(connection, reply)) {
            return fail("the POP3 server refused STLS: " + FirstLine(reply));
        }
        if (!connection.StartTls({target.host, options.caFile}, why)) {
            return fail("TLS with the POP3 server failed: " + why);
        }
    }
    if (!connection.SendLine(userLine) || !ExpectOk(connection, reply)) {
        return fail("user refused: " + FirstLine(reply));
    }
    if (!connection.SendLine(passLine) || !ExpectOk(connection, reply)) {
        return fail("password refused: " + FirstLine(reply));
    }

    if (!connection.SendLine("RETR 1")) {
        return fail("cannot send RETR 1");
    }
    std::string status;
    LineStatus read = connection.ReadLine(status);
    if (read != LineStatus::Line) {
        return fail("no answer to RETR 1: " + std::string(Describe(read)));
    }
    if (status.front() == '-') {
        progress.mailboxEmpty = true;
        return 0;
    }
    std::string retrieved = status;
    progress.size = status.size();
    read = ReadRetrievedLines(connection, maxBytes, retrieved, progress);
    if (read != LineStatus::Line) {
        return fail("the message did not arrive whole: " + std::string(Describe(read)));
    }
    text = std::move(retrieved);
    progress.received = true;

    progress.kept = !keepBeforeDelete || keepBeforeDelete(text, progress);
    if (!progress.kept) {
        return fail("the message could not be kept; it stays on the server");
    }

    progress.deleteSent = connection.SendLine("DELE 1");
    if (!progress.deleteSent || !ExpectOk(connection, reply)) {
        return fail("DELE 1 was refused: " + FirstLine(reply));
    }
    if (!connection.SendLine("QUIT") || !ExpectOk(connection, reply)) {
        return fail("QUIT was not answered: " + FirstLine(reply));
    }
    progress.deleted = true;
    return 1;
}

int FetchMail(const std::string& hostSetting, const std::string& user, const std::string& password,
              std::string& text, std::chrono::milliseconds timeout, const MailSecurityOptions& options) {
    FetchProgress progress;
    return FetchMail(hostSetting, user, password, text, MessageKeeper{}, progress, timeout,
                     kMaxFetchedMessage, options);
}

} // namespace tarvel
