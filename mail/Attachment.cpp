#include "mail/Attachment.h"

#include "platform/Hex.h"
#include "platform/TextMode.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>
#include <vector>

namespace tarvel {

namespace {

// Nested multiparts deeper than this are not a student's mail program at work.
constexpr int kMaxMimeDepth = 8;

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && Lower(text.substr(text.size() - suffix.size())) == suffix;
}

// Splits text into lines without their LF; the text has LF line ends only.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    bool Next(std::string_view& line) {
        if (position_ >= text_.size()) {
            return false;
        }
        const std::size_t end = std::min(text_.find('\n', position_), text_.size());
        line = text_.substr(position_, end - position_);
        position_ = end + 1;
        return true;
    }
    // The text from the start of the next line on.
    std::string_view Rest() const { return text_.substr(Position()); }
    // Where the next line starts.
    std::size_t Position() const { return std::min(position_, text_.size()); }

private:
    std::string_view text_;
    std::size_t position_ = 0;
};

struct Entity {
    std::vector<std::pair<std::string, std::string>> headers; // lower-case name, unfolded value
    std::string_view body;

    std::string Header(std::string_view name) const {
        for (const auto& [key, value] : headers) {
            if (key == name) {
                return value;
            }
        }
        return {};
    }
};

bool IsHeaderName(std::string_view name) {
    return !name.empty() &&
           std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c < 127 && c != ':'; });
}

// Header lines up to the first empty line (consumed) or the first line that is no header line (kept in the
// body), so that a body without any header section still reads as a body.
Entity ParseEntity(std::string_view text) {
    Entity entity;
    LineReader reader(text);
    std::size_t bodyStart = 0;
    std::string_view line;
    while (reader.Next(line)) {
        if (Trim(line).empty()) {
            bodyStart = reader.Position();
            break;
        }
        if ((line.front() == ' ' || line.front() == '\t') && !entity.headers.empty()) {
            entity.headers.back().second += " ";
            entity.headers.back().second += Trim(line);
            bodyStart = reader.Position();
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !IsHeaderName(line.substr(0, colon))) {
            break;
        }
        entity.headers.emplace_back(Lower(line.substr(0, colon)), std::string(Trim(line.substr(colon + 1))));
        bodyStart = reader.Position();
    }
    entity.body = text.substr(bodyStart);
    return entity;
}

struct ContentType {
    std::string type = "text/plain";
    std::vector<std::pair<std::string, std::string>> parameters; // lower-case name, unquoted value

    std::optional<std::string> Parameter(std::string_view name) const {
        for (const auto& [key, value] : parameters) {
            if (key == name) {
                return value;
            }
        }
        return std::nullopt;
    }
};

// "type/subtype; name=value; name=\"quoted value\"" (also for Content-Disposition, whose first word is
// then the "type").
ContentType ParseContentType(std::string_view value) {
    ContentType result;
    const std::size_t semicolon = std::min(value.find(';'), value.size());
    if (const std::string_view type = Trim(value.substr(0, semicolon)); !type.empty()) {
        result.type = Lower(type);
    }
    std::size_t i = semicolon;
    while (i < value.size()) {
        ++i; // the ';'
        const std::size_t equals = value.find('=', i);
        if (equals == std::string_view::npos) {
            break;
        }
        std::string name = Lower(Trim(value.substr(i, equals - i)));
        std::string parameter;
        i = equals + 1;
        while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) {
            ++i;
        }
        if (i < value.size() && value[i] == '"') {
            for (++i; i < value.size() && value[i] != '"'; ++i) {
                if (value[i] == '\\' && i + 1 < value.size()) {
                    ++i;
                }
                parameter += value[i];
            }
            i = std::min(value.find(';', i), value.size());
        } else {
            const std::size_t end = std::min(value.find(';', i), value.size());
            parameter = Trim(value.substr(i, end - i));
            i = end;
        }
        result.parameters.emplace_back(std::move(name), std::move(parameter));
    }
    return result;
}

std::string DecodeQuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\n') {
            ++i; // a soft line break
        } else if (i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
                   HexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += '=';
        }
    }
    return out;
}

bool LooksLikeZip(std::string_view bytes) {
    return bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K' &&
           ((bytes[2] == 3 && bytes[3] == 4) || (bytes[2] == 5 && bytes[3] == 6) ||
            (bytes[2] == 7 && bytes[3] == 8));
}

// "begin 644 name": the mode is octal digits, then a blank and a name.
bool IsUuencodeBegin(std::string_view line) {
    constexpr std::string_view kBegin = "begin ";
    if (line.substr(0, kBegin.size()) != kBegin) {
        return false;
    }
    std::size_t i = kBegin.size();
    const std::size_t digits = i;
    while (i < line.size() && line[i] >= '0' && line[i] <= '7') {
        ++i;
    }
    return i > digits && i < line.size() && line[i] == ' ' && !Trim(line.substr(i + 1)).empty();
}

bool IsBase64Begin(std::string_view line) {
    constexpr std::string_view kBegin = "begin-base64 ";
    return line.substr(0, kBegin.size()) == kBegin;
}

enum class Search { Found, NotFound, Broken };

// The first uuencoded or "begin-base64" block of a text part.
Search FindEncodedBlock(std::string_view text, std::string& archive, std::string& reason) {
    LineReader reader(text);
    std::string_view line;
    while (reader.Next(line)) {
        if (IsBase64Begin(line)) {
            const std::size_t start = reader.Position();
            for (std::size_t end = start; reader.Next(line); end = reader.Position()) {
                if (Trim(line) == "====") {
                    if (!DecodeBase64(text.substr(start, end - start), archive)) {
                        reason = "begin-base64 attachment damaged";
                        return Search::Broken;
                    }
                    return Search::Found;
                }
            }
            reason = "begin-base64 attachment without its ==== line";
            return Search::Broken;
        }
        if (IsUuencodeBegin(line)) {
            if (!DecodeUuencodedLines(reader.Rest(), archive)) {
                reason = "uuencoded attachment damaged or incomplete";
                return Search::Broken;
            }
            return Search::Found;
        }
    }
    return Search::NotFound;
}

bool IsZipPart(const ContentType& type, const ContentType& disposition) {
    if (type.type == "application/zip" || type.type == "application/x-zip" ||
        type.type == "application/x-zip-compressed") {
        return true;
    }
    for (const ContentType* header : {&type, &disposition}) {
        for (const auto& [name, value] : header->parameters) {
            if ((name.starts_with("name") || name.starts_with("filename")) &&
                EndsWithIgnoringCase(value, ".zip")) {
                return true;
            }
        }
    }
    return false;
}

Search SearchEntity(std::string_view text, int depth, std::string& archive, std::string& reason);

// The parts between the boundary lines, in order; the line end before a boundary line belongs to it.
Search SearchMultipart(std::string_view body, const std::string& boundary, int depth, std::string& archive,
                       std::string& reason) {
    const std::string delimiter = "--" + boundary;
    LineReader reader(body);
    std::string_view line;
    std::optional<std::size_t> partStart;
    for (std::size_t lineStart = 0; reader.Next(line); lineStart = reader.Position()) {
        const std::string_view trimmed = Trim(line);
        if (trimmed != delimiter && trimmed != delimiter + "--") {
            continue;
        }
        if (partStart) {
            const std::size_t partEnd = lineStart > *partStart ? lineStart - 1 : *partStart;
            const Search found =
                SearchEntity(body.substr(*partStart, partEnd - *partStart), depth + 1, archive, reason);
            if (found != Search::NotFound) {
                return found;
            }
        }
        if (trimmed != delimiter) {
            return Search::NotFound;
        }
        partStart = reader.Position();
    }
    return Search::NotFound;
}

Search SearchEntity(std::string_view text, int depth, std::string& archive, std::string& reason) {
    if (depth > kMaxMimeDepth) {
        return Search::NotFound;
    }
    const Entity entity = ParseEntity(text);
    const ContentType type = ParseContentType(entity.Header("content-type"));
    if (type.type.starts_with("multipart/")) {
        const auto boundary = type.Parameter("boundary");
        if (boundary && !boundary->empty()) {
            return SearchMultipart(entity.body, *boundary, depth, archive, reason);
        }
    }
    if (type.type == "message/rfc822") {
        return SearchEntity(entity.body, depth + 1, archive, reason);
    }
    const std::string encoding = Lower(Trim(entity.Header("content-transfer-encoding")));
    std::string decoded;
    bool decodedWell = true;
    if (encoding == "base64") {
        decodedWell = DecodeBase64(entity.body, decoded);
    } else if (encoding == "quoted-printable") {
        decoded = DecodeQuotedPrintable(entity.body);
    } else {
        decoded = entity.body;
    }
    const ContentType disposition = ParseContentType(entity.Header("content-disposition"));
    if (IsZipPart(type, disposition) || (decodedWell && LooksLikeZip(decoded))) {
        if (!decodedWell) {
            reason = "base64 attachment damaged";
            return Search::Broken;
        }
        archive = std::move(decoded);
        return Search::Found;
    }
    return decodedWell ? FindEncodedBlock(FromWindowsText(decoded), archive, reason) : Search::NotFound;
}

} // namespace

bool DecodeBase64(std::string_view text, std::string& out) {
    std::string decoded;
    decoded.reserve(text.size() / 4 * 3);
    unsigned buffer = 0;
    int bits = 0;
    std::size_t symbols = 0;
    for (const char c : text) {
        int value;
        if (c >= 'A' && c <= 'Z') {
            value = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            value = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            value = c - '0' + 52;
        } else if (c == '+') {
            value = 62;
        } else if (c == '/') {
            value = 63;
        } else if (c == '=') {
            break;
        } else {
            continue;
        }
        ++symbols;
        buffer = (buffer << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            decoded += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    if (symbols % 4 == 1) {
        return false;
    }
    out = std::move(decoded);
    return true;
}

std::string EncodeBase64(std::string_view bytes) {
    constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        const std::size_t count = std::min<std::size_t>(3, bytes.size() - at);
        unsigned group = 0;
        for (std::size_t i = 0; i < 3; ++i) {
            group = (group << 8) | (i < count ? static_cast<unsigned char>(bytes[at + i]) : 0u);
        }
        for (std::size_t i = 0; i < 4; ++i) {
            out += i <= count ? kAlphabet[(group >> (18 - 6 * i)) & 0x3F] : '=';
        }
    }
    return out;
}

bool DecodeUuencodedLines(std::string_view lines, std::string& out) {
    std::string decoded;
    LineReader reader(lines);
    std::string_view line;
    while (reader.Next(line)) {
        while (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line == "end") {
            out = std::move(decoded);
            return true;
        }
        auto sixBits = [&](std::size_t i, unsigned& value) {
            const unsigned char c = i < line.size() ? static_cast<unsigned char>(line[i]) : ' ';
            value = (c - 32u) & 63u;
            return c >= 32 && c <= 96;
        };
        unsigned length = 0;
        if (!sixBits(0, length)) {
            return false;
        }
        if (length == 0) {
            out = std::move(decoded);
            return true;
        }
        std::size_t i = 1;
        for (unsigned written = 0; written < length; i += 4) {
            unsigned a = 0, b = 0, c = 0, d = 0;
            if (!sixBits(i, a) || !sixBits(i + 1, b) || !sixBits(i + 2, c) || !sixBits(i + 3, d)) {
                return false;
            }
            const unsigned group = (a << 18) | (b << 12) | (c << 6) | d;
            for (int shift = 16; shift >= 0 && written < length; shift -= 8, ++written) {
                decoded += static_cast<char>((group >> shift) & 0xFF);
            }
        }
    }
    return false;
}

std::vector<std::pair<std::string, std::string>> HeaderFields(std::string_view text) {
    return ParseEntity(text).headers;
}

bool FindZipAttachment(std::string_view message, std::string& archive, std::string& reason) {
    const std::string text = FromWindowsText(message);
    std::string found;
    switch (SearchEntity(text, 0, found, reason)) {
    case Search::Found:
        if (found.empty()) {
            reason = "empty attachment";
            return false;
        }
        archive = std::move(found);
        return true;
    case Search::NotFound:
        reason = "no zip attachment";
        return false;
    case Search::Broken:
        return false;
    }
    return false;
}

} // namespace tarvel
