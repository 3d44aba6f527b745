#include "runner/PatternCompare.h"

#include "runner/RunResult.h"

#include <clocale>

#include <locale.h>

namespace tarvel {
namespace {

// fscanf reads numbers with the thread's locale; a pattern's decimal point is always ".".
class CLocaleScope {
public:
    CLocaleScope() : locale_(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr))) {
        if (locale_ != static_cast<locale_t>(nullptr)) {
            previous_ = uselocale(locale_);
        }
    }
    ~CLocaleScope() {
        if (locale_ != static_cast<locale_t>(nullptr)) {
            uselocale(previous_);
            freelocale(locale_);
        }
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t locale_;
    locale_t previous_ = static_cast<locale_t>(nullptr);
};

bool IsWhiteSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int AsciiUpper(int c) {
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

// Compares the text of a %C or %c directive. Returns the byte that ended the text ("%" or EOF) through
// `next`.
bool CompareText(std::FILE* pattern, std::FILE* output, bool ignoreCase, int& next) {
    for (;;) {
        int expected = std::getc(pattern);
        if (expected == '\\') {
            expected = std::getc(pattern);
            if (expected == EOF) {
                next = EOF;
                return true;
            }
        } else if (expected == '%' || expected == EOF) {
            next = expected;
            return true;
        }
        int actual = std::getc(output);
        if (actual == EOF) {
            return false;
        }
        if (ignoreCase ? AsciiUpper(actual) != AsciiUpper(expected) : actual != expected) {
            return false;
        }
    }
}

} // namespace

int ComparePattern(std::FILE* pattern, std::FILE* output) {
    CLocaleScope numbersInCLocale;
    int c = std::getc(pattern);
    for (;;) {
        while (IsWhiteSpace(c)) {
            c = std::getc(pattern);
        }
        if (c == EOF) {
            return kRunPassed;
        }
        if (c != '%') {
            return kRunPatternBroken;
        }
        int letter = std::getc(pattern);
        if (letter == 'f') {
            double expected = 0;
            double actual = 0;
            if (std::fscanf(pattern, "%lf", &expected) != 1) {
                return kRunPatternBroken;
            }
            if (std::fscanf(output, "%lf", &actual) != 1 || actual != expected) {
                return kRunOutputMismatch;
            }
            c = std::getc(pattern);
        } else if (letter == 'C' || letter == 'c') {
            if (!CompareText(pattern, output, letter == 'c', c)) {
                return kRunOutputMismatch;
            }
        } else {
            return kRunPatternBroken;
        }
    }
}

} // namespace tarvel
