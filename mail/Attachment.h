#pragma once
// The zip archive a submission mail carries, decoded in-process. Students send it in one of three ways: a
// uuencoded block ("begin <mode> <name>" ... "end"), a "begin-base64" block ending in "====", or a MIME
// attachment in base64. Every part of a MIME message is looked at in order, text parts for the two block
// forms (after undoing their quoted-printable or base64 encoding), other parts as attachments; the first
// archive found is the submission.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvel {

// The decoded archive of the message (header lines, an empty line, the body; LF or CR LF line ends). False
// when there is none or it does not decode; `reason` then says why in a few ASCII words.
bool FindZipAttachment(std::string_view message, std::string& archive, std::string& reason);

// The header fields of a message or MIME part (LF line ends) in their order: lower-case names, values
// unfolded (a continuation line joins with one blank) and trimmed. They end at the first empty line or at the
// first line that is no header line. Encoded words are left as they are.
std::vector<std::pair<std::string, std::string>> HeaderFields(std::string_view text);

// Base64 as MIME writes it: line ends and other bytes outside the alphabet are skipped, "=" ends the data.
// False when the characters do not make whole bytes.
bool DecodeBase64(std::string_view text, std::string& out);
// Base64 of the bytes on one line, padded with "=".
std::string EncodeBase64(std::string_view bytes);

// The bytes of a uuencoded block: the lines after its "begin" line up to the line of length zero or the "end"
// line. A line shorter than its length byte says counts its missing characters as blanks, as mail transports
// strip trailing blanks. False for a character outside the uuencode range or a block that never ends.
bool DecodeUuencodedLines(std::string_view lines, std::string& out);

} // namespace tarvel
