#include "mail/MailClient.h"

#include "platform/Socket.h"

#include <string_view>

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

int SendMail(const std::string& hostSetting, const std::string& from, const std::string& to,
             const std::string& message, std::chrono::milliseconds timeout, std::string* reason) {
    if (!IsSendableAddress(from) || !IsSendableAddress(to)) {
        return Fail(reason, "an address is empty or holds a line break or a blank");
    }
    HostAndPort target;
    if (!SplitHostSetting(hostSetting, "25", target) || !IsSendableAddress(target.host)) {
        return Fail(reason, "the SMTP host setting is not a host name");
    }
    const SmtpStep steps[] = {
        {"", "220"},
        {"HELO " + target.host, "250"},
        {"MAIL FROM: " + from, "250"},
        {"RCPT TO: " + to, "250"},
        {"DATA", "354"},
    };
    for (const SmtpStep& step : steps) {
        if (!step.line.empty() && !IsSendableCommand(step.line)) {
            return Fail(reason, "the command line is too long: " + step.line);
        }
    }

    MailConnection connection(timeout);
    if (!connection.ConnectServer(hostSetting, "25")) {
        return Fail(reason, "cannot connect to the SMTP server " + hostSetting);
    }
    std::string reply;
    for (const SmtpStep& step : steps) {
        if (!step.line.empty() && !connection.SendLine(step.line)) {
            return Fail(reason, "cannot send: " + step.line);
        }
        if (!ExpectCode(connection, step.code, reply)) {
            return Fail(reason, "unexpected reply to " + (step.line.empty() ? "the connection" : step.line) +
                                    ": " + FirstLine(reply));
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

MailDelivery DefaultMailDelivery() {
    return [](const std::string& smtpHost, const std::string& from, const std::string& to,
              const std::string& message) { return SendMail(smtpHost, from, to, message); };
}

int FetchMail(const std::string& hostSetting, const std::string& user, const std::string& password,
              std::string& text, const MessageKeeper& keepBeforeDelete, FetchProgress& progress,
              std::chrono::milliseconds timeout, std::size_t maxBytes) {
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

    MailConnection connection(timeout);
    if (!connection.ConnectServer(hostSetting, "110")) {
        return fail("cannot connect to the POP3 server " + hostSetting);
    }
    std::string reply;
    if (!ExpectOk(connection, reply)) {
        return fail("unexpected greeting: " + FirstLine(reply));
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
              std::string& text, std::chrono::milliseconds timeout) {
    FetchProgress progress;
    return FetchMail(hostSetting, user, password, text, MessageKeeper{}, progress, timeout);
}

} // namespace tarvel
