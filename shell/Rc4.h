#pragma once
// The RC4 stream cipher, used for the mailbox password in zor.ini and for the teachers' password verifiers.

#include <array>
#include <cstdint>
#include <span>

namespace tarvel {

class Rc4 {
public:
    // Key schedule with key byte i mod key length.
    explicit Rc4(std::span<const std::uint8_t> key);
    // XORs the bytes with the next keystream bytes; the same call enciphers and deciphers.
    void Apply(std::span<std::uint8_t> bytes);

private:
    std::array<std::uint8_t, 256> state_{};
    std::uint8_t i_ = 0;
    std::uint8_t j_ = 0;
};

} // namespace tarvel
