#pragma once
// The steps that both mail dialogues are made of: one connection to the server, command lines out, whole
// reply lines in. Every read and write is bounded by the connection's time-out and every reply by a size
// limit.

#include "platform/Socket.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvel {

inline constexpr std::chrono::milliseconds kMailTimeout{60'000};
// A command line, CR LF included, must fit here; longer ones are refused before anything is sent.
inline constexpr std::size_t kMaxCommandLine = 99;
// Longer reply lines than this are not a mail server talking.
inline constexpr std::size_t kMaxReplyLine = 4096;

enum class LineStatus {
    Line,     // a whole line, its line end included
    Closed,   // the server closed the connection before a line end
    TimedOut, // nothing more arrived within the time-out
    TooLong,  // the line runs beyond its limit; nothing of it was consumed
    Failed,   // the connection broke
};

class MailConnection {
public:
    explicit MailConnection(std::chrono::milliseconds timeout) : timeout_(timeout) {}

    // `ConnectServer`: connects to the host and port of a host setting (SplitHostSetting).
    bool ConnectServer(const HostAndPort& target);
    // `SendLine`: sends the text with CR LF appended, in one write.
    bool SendLine(std::string_view text);
    // Begins TLS on the connection: after the server's positive answer to STARTTLS or STLS, or at once on a
    // port that speaks TLS from the start. Bytes the server sent beyond the last line handed out are refused
    // ("the server sent data before the TLS handshake"): they came unprotected and would otherwise be read as
    // the server's first answer under TLS. On failure the connection is closed and `reason` says why (see
    // tarvel::StartTls).
    bool StartTls(const TlsSettings& settings, std::string& reason);
    // Sends bytes as they are, in one write.
    bool SendRaw(std::string_view bytes);
    // Reads up to and including the next LF; `line` is replaced. A line longer than maxBytes is TooLong.
    LineStatus ReadLine(std::string& line, std::size_t maxBytes = kMaxReplyLine);
    // Consumes the next line whatever its length, keeping only its first kSkippedLineHead bytes and its
    // length, the line end included.
    LineStatus SkipLine(std::string& head, std::uint64_t& length);

    static constexpr std::size_t kSkippedLineHead = 3;

private:
    // Appends what arrives to pending_ (Line when something did).
    LineStatus Receive();

    Socket socket_;
    std::chrono::milliseconds timeout_;
    std::string pending_; // bytes received beyond the last line handed out
    std::size_t start_ = 0;
};

// A command line the servers can take: no CR, LF or NUL, and with CR LF at most kMaxCommandLine bytes.
bool IsSendableCommand(std::string_view text);

// `ExpectCode`: reads one whole SMTP reply (all lines of a multi-line reply) into `reply`; true when its code
// is the three-character `code`. A closed connection or a time-out fails.
bool ExpectCode(MailConnection& connection, std::string_view code, std::string& reply);
// `ExpectOk`: reads one POP3 status line into `reply`; true unless it is negative ("-") or did not arrive.
bool ExpectOk(MailConnection& connection, std::string& reply);

// The body as it goes after DATA: every line end sent as CR LF, every line that begins with "." given another
// ".", a CR LF after a last line without one, then the end-of-data line ".".
std::string SmtpDataSection(std::string_view body);

} // namespace tarvel
