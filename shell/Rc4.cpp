#include "shell/Rc4.h"

#include <utility>

namespace tarvel {

Rc4::Rc4(std::span<const std::uint8_t> key) {
    for (unsigned i = 0; i < 256; ++i) {
        state_[i] = static_cast<std::uint8_t>(i);
    }
    // An empty key would divide by zero; it schedules as a single zero byte.
    static constexpr std::uint8_t kZero = 0;
    if (key.empty()) {
        key = std::span<const std::uint8_t>(&kZero, 1);
    }
    std::uint8_t j = 0;
    for (unsigned i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + state_[i] + key[i % key.size()]);
        std::swap(state_[i], state_[j]);
    }
}

void Rc4::Apply(std::span<std::uint8_t> bytes) {
    for (std::uint8_t& byte : bytes) {
        ++i_;
        j_ = static_cast<std::uint8_t>(j_ + state_[i_]);
        std::swap(state_[i_], state_[j_]);
        byte ^= state_[static_cast<std::uint8_t>(state_[i_] + state_[j_])];
    }
}

} // namespace tarvel
