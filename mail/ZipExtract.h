#pragma once
// Unpacking a submitted zip archive. The entries are read one after another from their local headers, so an
// archive whose central directory is damaged or missing (as old DOS zip programs and cut-off mails leave
// them) still unpacks. An archive is a student's input: it may only create plain files and directories below
// the target, and only a bounded amount of them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvel {

struct ZipLimits {
    std::size_t maxEntries = 1000; // entries, and the directories their paths imply besides
    std::size_t maxDepth = 16;     // directories above an entry
    std::size_t maxNameBytes = 1024;
    std::uint64_t maxBytes = 16 * 1024 * 1024; // uncompressed, all entries together
};

// Replaces targetDir with the archive's contents. Names may use "/" or "\" as separators; they are decoded as
// UTF-8 where the entry's flag says so and as CP852 otherwise, and are created as their Windows-1250 bytes.
// Fails, with a short ASCII reason, for an absolute name, a ".." component, a name with no Windows-1250 form,
// a link, a device or other special file, more entries, directories, depth, name length or bytes than the
// limits allow, and for data that does not read as a zip archive. What was written before a failure stays in
// targetDir.
bool ExtractZip(std::string_view archive, const std::string& targetDir, std::string& reason,
                const ZipLimits& limits = {});

} // namespace tarvel
