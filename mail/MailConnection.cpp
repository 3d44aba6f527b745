#include "mail/MailConnection.h"

#include <algorithm>

namespace tarvel {

namespace {

constexpr std::size_t kReadSize = 64 * 1024;
constexpr std::size_t kMaxReplyLines = 100;

bool IsContinuationLine(std::string_view line) {
    return line.size() >= 4 && line[3] == '-';
}

} // namespace

bool MailConnection::ConnectServer(const HostAndPort& target) {
    socket_ = ConnectTcp(target.host, target.port, timeout_);
    pending_.clear();
    start_ = 0;
    return socket_.IsOpen();
}

bool MailConnection::StartTls(const TlsSettings& settings, std::string& reason) {
    const bool early = start_ < pending_.size();
    pending_.clear();
    start_ = 0;
    if (early) {
        reason = "the server sent data before the TLS handshake";
        socket_.Close();
        return false;
    }
    return tarvel::StartTls(socket_, settings, timeout_, reason);
}

bool MailConnection::SendLine(std::string_view text) {
    std::string line(text);
    line += "\r\n";
    return SendRaw(line);
}

bool MailConnection::SendRaw(std::string_view bytes) {
    return SendAll(socket_, bytes, timeout_);
}

LineStatus MailConnection::Receive() {
    // Drop what was handed out before reading more, so a long message does not pile up here.
    pending_.erase(0, start_);
    start_ = 0;
    switch (ReceiveSome(socket_, pending_, kReadSize, timeout_)) {
    case ReceiveStatus::Data:
        return LineStatus::Line;
    case ReceiveStatus::Closed:
        return LineStatus::Closed;
    case ReceiveStatus::TimedOut:
        return LineStatus::TimedOut;
    case ReceiveStatus::Failed:
        break;
    }
    return LineStatus::Failed;
}

LineStatus MailConnection::ReadLine(std::string& line, std::size_t maxBytes) {
    std::size_t scanned = 0;
    for (;;) {
        const auto end = pending_.find('\n', start_ + scanned);
        if (end != std::string::npos) {
            if (end + 1 - start_ > maxBytes) {
                return LineStatus::TooLong;
            }
            line.assign(pending_, start_, end + 1 - start_);
            start_ = end + 1;
            return LineStatus::Line;
        }
        scanned = pending_.size() - start_;
        if (scanned > maxBytes) {
            return LineStatus::TooLong;
        }
        if (const LineStatus status = Receive(); status != LineStatus::Line) {
            return status;
        }
    }
}

LineStatus MailConnection::SkipLine(std::string& head, std::uint64_t& length) {
    head.clear();
    length = 0;
    for (;;) {
        const auto end = pending_.find('\n', start_);
        const std::size_t taken = (end == std::string::npos ? pending_.size() : end + 1) - start_;
        if (head.size() < kSkippedLineHead) {
            head.append(pending_, start_, std::min(taken, kSkippedLineHead - head.size()));
        }
        length += taken;
        start_ += taken;
        if (end != std::string::npos) {
            return LineStatus::Line;
        }
        if (const LineStatus status = Receive(); status != LineStatus::Line) {
            return status;
        }
    }
}

bool IsSendableCommand(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos &&
           text.size() + 2 <= kMaxCommandLine;
}

bool ExpectCode(MailConnection& connection, std::string_view code, std::string& reply) {
    reply.clear();
    std::string line;
    for (std::size_t count = 0; count < kMaxReplyLines; ++count) {
        if (connection.ReadLine(line) != LineStatus::Line) {
            return false;
        }
        reply += line;
        if (!IsContinuationLine(line)) {
            return line.size() >= 3 && std::string_view(line).substr(0, 3) == code;
        }
    }
    return false;
}

bool ExpectOk(MailConnection& connection, std::string& reply) {
    if (connection.ReadLine(reply) != LineStatus::Line) {
        return false;
    }
    return reply.front() != '-';
}

std::string SmtpDataSection(std::string_view body) {
    std::string data;
    data.reserve(body.size() + body.size() / 32 + 8);
    bool lineStart = true;
    for (std::size_t i = 0; i < body.size(); ++i) {
        char byte = body[i];
        if (lineStart && byte == '.') {
            data += '.';
        }
        if (byte == '\n') {
            data += "\r\n";
            lineStart = true;
        } else if (byte == '\r' && i + 1 < body.size() && body[i + 1] == '\n') {
            data += "\r\n";
            ++i;
            lineStart = true;
        } else {
            data += byte;
            lineStart = false;
        }
    }
    if (!lineStart) {
        data += "\r\n";
    }
    data += ".\r\n";
    return data;
}

} // namespace tarvel
