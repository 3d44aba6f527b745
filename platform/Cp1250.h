#pragma once
// Windows-1250, the code page of everything the system stores, mails and writes into HTML.

#include <string>
#include <string_view>

namespace tarvel {

// Every byte has a Unicode form (the five unassigned bytes map to the C1 controls of the same value).
std::string Cp1250ToUtf8(std::string_view bytes);
// Fails for malformed UTF-8 and for characters with no Windows-1250 form; out is then unchanged.
bool Utf8ToCp1250(std::string_view utf8, std::string& out);

// Upper-case form of a letter (ASCII and the Windows-1250 letters); other bytes unchanged.
unsigned char UpperCp1250(unsigned char byte);
std::string UpperCaseCp1250(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

} // namespace tarvel
