#include "platform/LocalDate.h"

#include <ctime>

namespace tarvel {

LocalDate Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900};
}

} // namespace tarvel
