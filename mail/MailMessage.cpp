#include "mail/MailMessage.h"

#include "platform/Socket.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tarvel {

namespace {

bool IsHeaderValue(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool IsPrintableAscii(std::string_view value) {
    for (unsigned char byte : value) {
        if (byte < 0x20 || byte > 0x7E) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string MailDate(std::time_t when) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    localtime_r(&when, &local);
    long offsetMinutes = local.tm_gmtoff / 60;
    char sign = offsetMinutes < 0 ? '-' : '+';
    offsetMinutes = std::labs(offsetMinutes);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %c%02ld%02ld", kDays[local.tm_wday],
                  local.tm_mday, kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min,
                  local.tm_sec, sign, offsetMinutes / 60, offsetMinutes % 60);
    return text;
}

bool ComposeMail(const MailHeader& header, std::string_view body, std::string& out) {
    if (!IsHeaderValue(header.from) || !IsHeaderValue(header.to) || !IsPrintableAscii(header.subject)) {
        return false;
    }
    std::string mail;
    mail.reserve(body.size() + 256);
    mail += "From: " + header.from + "\n";
    mail += "To: " + header.to + "\n";
    mail += "Subject: " + header.subject + "\n";
    mail += "Date: " + MailDate(header.date) + "\n";
    mail += "MIME-Version: 1.0\n";
    mail += "Content-Type: text/plain; charset=windows-1250\n";
    mail += "Content-Transfer-Encoding: 8bit\n";
    mail += "\n";
    mail += body;
    out = std::move(mail);
    return true;
}

std::string DaemonAddress(const std::string& user, const std::string& pop3Setting) {
    return user + "@" + HostWithoutPort(pop3Setting);
}

std::string DaemonSignature(const std::string& user, const std::string& pop3Setting) {
    return "\n\n                         ZOR Daemon(" + DaemonAddress(user, pop3Setting) + ")\n";
}

bool RetrievedMessage(std::string_view text, std::string& message) {
    auto statusEnd = text.find('\n');
    if (statusEnd == std::string_view::npos) {
        return false;
    }
    std::string_view rest = text.substr(statusEnd + 1);
    std::string unstuffed;
    unstuffed.reserve(rest.size());
    while (!rest.empty()) {
        auto end = rest.find('\n');
        if (end == std::string_view::npos) {
            return false;
        }
        std::string_view line = rest.substr(0, end + 1);
        rest.remove_prefix(end + 1);
        if (line == ".\r\n" || line == ".\n") {
            if (!rest.empty()) {
                return false;
            }
            message = std::move(unstuffed);
            return true;
        }
        if (line.front() == '.') {
            line.remove_prefix(1);
        }
        unstuffed += line;
    }
    return false;
}

std::string RetrievalText(std::string_view message) {
    std::string text = "+OK " + std::to_string(message.size()) + " octets\r\n";
    while (!message.empty()) {
        const std::size_t end = std::min(message.find('\n'), message.size());
        std::string_view line = message.substr(0, end);
        message.remove_prefix(std::min(end + 1, message.size()));
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty() && line.front() == '.') {
            text += '.';
        }
        text.append(line).append("\r\n");
    }
    return text + ".\r\n";
}

} // namespace tarvel
