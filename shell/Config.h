#pragma once
// zor.ini, the per-machine configuration: the only way any part of the system touches it. Every function
// takes the file's path; only the program's main decides where it lives (DefaultConfigPath).

#include <string>

namespace tarvel {

// $XDG_CONFIG_HOME/zor.ini, else $HOME/.config/zor.ini.
std::string DefaultConfigPath();

// Plain: the value (at most 999 bytes) or the default when the key is missing. Enciphered: the deciphered
// text of the 21-byte block up to its first zero byte, or the default when the block does not read.
std::string ReadConfig(const std::string& configPath, const std::string& section, const std::string& key,
                       const std::string& defaultValue, bool enciphered = false);

// Plain: writes the value unchanged. Enciphered: writes the first 21 bytes (zero-padded) as an RC4 block.
// Returns the success of the write; a refused value (line breaks) leaves the file untouched.
bool WriteConfig(const std::string& configPath, const std::string& section, const std::string& key,
                 const std::string& value, bool enciphered = false);

} // namespace tarvel
