#include "shell/Config.h"

#include "platform/Profile.h"
#include "shell/Rc4.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace tarvel {
namespace {

constexpr std::size_t kMaxValueBytes = 999;
constexpr std::size_t kEncipheredBytes = 21;
// The built-in key of the mailbox password; its zero bytes are part of the key.
constexpr std::array<std::uint8_t, 10> kConfigKey = {0x5A, 0x4F, 0x52, 0x00, 0x7E,
                                                     0x13, 0xC4, 0x61, 0x00, 0x9B};

void Encipher(std::span<std::uint8_t> block) {
    Rc4 cipher(kConfigKey);
    cipher.Apply(block);
}

std::string LockPathOf(const std::string& configPath) {
    return configPath + ".lock";
}

} // namespace

std::string DefaultConfigPath() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) {
        return std::string(config) + "/zor.ini";
    }
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/.config/zor.ini";
}

std::string ReadConfig(const std::string& configPath, const std::string& section, const std::string& key,
                       const std::string& defaultValue, bool enciphered) {
    const auto value = ReadProfileValue(configPath, section, key);
    if (!enciphered) {
        return value ? value->substr(0, kMaxValueBytes) : defaultValue;
    }
    std::array<std::uint8_t, kEncipheredBytes> block{};
    if (!value || !DecodeByteBlock(*value, block)) {
        return defaultValue;
    }
    Encipher(block);
    const auto* text = reinterpret_cast<const char*>(block.data());
    return std::string(text, strnlen(text, block.size()));
}

bool WriteConfig(const std::string& configPath, const std::string& section, const std::string& key,
                 const std::string& value, bool enciphered) {
    if (!enciphered) {
        return WriteProfileValue(configPath, LockPathOf(configPath), section, key, value);
    }
    std::array<std::uint8_t, kEncipheredBytes> block{};
    std::memcpy(block.data(), value.data(), std::min(value.size(), block.size()));
    Encipher(block);
    return WriteProfileValue(configPath, LockPathOf(configPath), section, key, EncodeByteBlock(block));
}

} // namespace tarvel
