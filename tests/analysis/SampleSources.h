#pragma once
// Real C programs for the similarity tests: one program whose identifiers can be renamed at will.

#include <string>
#include <string_view>

namespace tarvel::testing {

// A student's program of about a kilobyte; "@1" to "@5" stand for its identifiers.
inline constexpr std::string_view kProgramTemplate = R"(#include <stdio.h>
#include <stdlib.h>

#define LIMIT 100

struct @1 {
    int value;
    struct @1 *next;
};

/* Adds a value in front of the list. */
struct @1 *@2(struct @1 *head, int value)
{
    struct @1 *item = malloc(sizeof(struct @1));
    if (item == NULL) {
        printf("out of memory\n");
        exit(1);
    }
    item->value = value;
    item->next = head;
    return item;
}

int main(void)
{
    struct @1 *@3 = NULL;
    int @4, @5 = 0;
    for (@4 = 0; @4 < LIMIT; @4++) {
        if (@4 % 3 == 0 || @4 % 7 == 0)
            @3 = @2(@3, @4);
    }
    while (@3 != NULL) {
        @5 += @3->value;
        @3 = @3->next;
    }
    printf("sum: %d\n", @5);
    return 0;
}
)";

// The program with the given identifiers, CR LF line ends as in a merged file.
inline std::string Program(const std::string (&names)[5]) {
    std::string text;
    for (std::size_t i = 0; i < kProgramTemplate.size(); ++i) {
        const char c = kProgramTemplate[i];
        if (c == '@') {
            text += names[kProgramTemplate[++i] - '1'];
        } else {
            if (c == '\n') {
                text.push_back('\r');
            }
            text.push_back(c);
        }
    }
    return text;
}

} // namespace tarvel::testing
