#pragma once

namespace tarvel {

struct LocalDate {
    int day = 0;
    int month = 0;
    int year = 0;
};

LocalDate Today();

} // namespace tarvel
