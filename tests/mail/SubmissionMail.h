#pragma once
// Submission mails as students' mail programs send them and as FetchMail hands them over: a zip archive
// uuencoded, in a "begin-base64" block or as a MIME attachment, inside a POP3 retrieval with its status line,
// dot-stuffing and final "." line.

#include "mail/MailMessage.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvel::testing {

// uuencode as the classic tool writes it: 45 bytes a line, "`" for a zero, a zero-length line and "end".
inline std::string Uuencode(std::string_view bytes, std::string_view name) {
    auto symbol = [](unsigned value) { return static_cast<char>(value == 0 ? '`' : value + 32); };
    std::string out = "begin 644 " + std::string(name) + "\n";
    for (std::size_t start = 0; start < bytes.size(); start += 45) {
        const std::size_t length = std::min<std::size_t>(45, bytes.size() - start);
        out += symbol(static_cast<unsigned>(length));
        for (std::size_t i = 0; i < length; i += 3) {
            unsigned group = 0;
            for (std::size_t j = 0; j < 3; ++j) {
                const std::size_t at = start + i + j;
                group = (group << 8) | (at < start + length ? static_cast<unsigned char>(bytes[at]) : 0u);
            }
            for (int shift = 18; shift >= 0; shift -= 6) {
                out += symbol((group >> shift) & 63);
            }
        }
        out += "\n";
    }
    return out + "`\nend\n";
}

inline std::string Base64(std::string_view bytes, std::size_t lineLength = 76) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t column = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned group = 0;
        const std::size_t length = std::min<std::size_t>(3, bytes.size() - i);
        for (std::size_t j = 0; j < 3; ++j) {
            group = (group << 8) | (j < length ? static_cast<unsigned char>(bytes[i + j]) : 0u);
        }
        for (std::size_t k = 0; k < 4; ++k) {
            out += k <= length ? kAlphabet[(group >> (18 - 6 * k)) & 63] : '=';
        }
        column += 4;
        if (column >= lineLength) {
            out += "\n";
            column = 0;
        }
    }
    if (column != 0) {
        out += "\n";
    }
    return out;
}

inline std::string BeginBase64(std::string_view bytes, std::string_view name) {
    return "begin-base64 644 " + std::string(name) + "\n" + Base64(bytes, 60) + "====\n";
}

inline std::string PlainMail(std::string_view body) {
    return "From: student@tarvel.test\nTo: zor@127.0.0.1\nSubject: odovzdanie\n\n" + std::string(body);
}

inline std::string UuencodedMail(std::string_view zip) {
    return PlainMail("Posielam zadanie.\n\n" + Uuencode(zip, "zadanie.zip"));
}

// A mail program's attachment: multipart/mixed with a text part and the zip in base64.
inline std::string
MimeMail(std::string_view zip,
         std::string_view zipHeaders = "Content-Type: application/zip; name=\"zadanie.zip\"\n"
                                       "Content-Disposition: attachment; filename=\"zadanie.zip\"\n") {
    return "From: student@tarvel.test\nTo: zor@127.0.0.1\nSubject: odovzdanie\nMIME-Version: 1.0\n"
           "Content-Type: multipart/mixed; boundary=\"==b1==\"\n\n"
           "This is a multi-part message in MIME format.\n"
           "--==b1==\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: 7bit\n\n"
           "Posielam zadanie.\n\n"
           "--==b1==\n" +
           std::string(zipHeaders) + "Content-Transfer-Encoding: base64\n\n" + Base64(zip) + "\n--==b1==--\n";
}

inline std::string IdentityFile(std::string_view unid, std::string_view id, std::string_view task) {
    return "[IDZ]\r\nUNID=" + std::string(unid) + "\r\nID=" + std::string(id) +
           "\r\nTID=" + std::string(task) + "\r\n";
}

} // namespace tarvel::testing
