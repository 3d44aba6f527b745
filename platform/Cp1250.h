#pragma once
// Windows-1250, the code page of everything the system stores, mails and writes into HTML.

#include <array>
#include <string>
#include <string_view>

namespace tarvel {

// Every byte has a Unicode form (the five unassigned bytes map to the C1 controls of the same value).
std::string Cp1250ToUtf8(std::string_view bytes);
// Fails for malformed UTF-8 and for characters with no Windows-1250 form; out is then unchanged.
bool Utf8ToCp1250(std::string_view utf8, std::string& out);
// One of the system's own texts, written in UTF-8 in the code, as the Windows-1250 bytes it is shown, stored
// and mailed in. The texts are the system's, so each has a Windows-1250 form.
std::string Cp1250Text(std::string_view utf8);

namespace detail {

constexpr unsigned char UpperOf(unsigned char byte) {
    if (byte >= 'a' && byte <= 'z') {
        return byte - 0x20;
    }
    switch (byte) {
    case 0x9A: // š ś ť ž ź
    case 0x9C:
    case 0x9D:
    case 0x9E:
    case 0x9F:
        return byte - 0x10;
    case 0xB3: // ł
        return 0xA3;
    case 0xB9: // ą
        return 0xA5;
    case 0xBA: // ş
        return 0xAA;
    case 0xBE: // ľ
        return 0xBC;
    case 0xBF: // ż
        return 0xAF;
    default:
        break;
    }
    // ŕ..ţ, except the division sign
    return byte >= 0xE0 && byte <= 0xFE && byte != 0xF7 ? byte - 0x20 : byte;
}

constexpr std::array<unsigned char, 256> MakeUpperTable() {
    std::array<unsigned char, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        table[byte] = UpperOf(static_cast<unsigned char>(byte));
    }
    return table;
}

inline constexpr std::array<unsigned char, 256> kUpperTable = MakeUpperTable();

} // namespace detail

// Upper-case form of a letter (ASCII and the Windows-1250 letters); other bytes unchanged. Name lookups call
// it for every byte they compare, hence the table.
inline unsigned char UpperCp1250(unsigned char byte) {
    return detail::kUpperTable[byte];
}
std::string UpperCaseCp1250(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

} // namespace tarvel
