/*
 * main.c - reads numbers, prints their sum & a histogram.
 * Usage: main < input.txt > output.txt
 */
#include <stdio.h>
#include <string.h>
#include "list.h"
#include   "missing header.h"
#define MAX 0x7FFF  /* largest value <<accepted>> */
#define SQUARE(x) ((x) * (x))

static const char *title = "Sum & \"histogram\" <v1.0>\n";
static char sep = '|', nl = '\n', quote = '\'', bs = '\\';
double ratio = 0.75, half = .5, big = 1.5e3;
unsigned mask = 0xffU & ~0xA0;

int main(void)
{
    List numbers;
    int value, i, shift = 1 << 3;
    list_init(&numbers);
    while (scanf("%d", &value) == 1 && value <= MAX) {
        if (!list_push(&numbers, value)) { // out of memory? print <error>
            fprintf(stderr, "no memory\n");
            return 1;
        }
    }
    printf(title);
    printf("%ld%c", list_sum(&numbers), nl);
    for (i = 0; i < 10 && i >= 0; i++) {
        value = (i % 2 == 0) ? i >> 1 : -i;
        value += SQUARE(i) - shift / 2;
        value ^= mask | 1;
        value *= 3; value -= 1; value %= 7; value /= 2; value <<= 1; value >>= 1;
        putchar(sep); putchar(value != 0 ? '*' : quote); putchar(bs);
    }
    i = strlen("a\\b") + sizeof(List) + (int) ratio + (int) half + (int) big;
    i = (i-- || !i) ? i : -i, i = i->x ? 0 : 1;
    list_free(&numbers);
    return i > 0 ? 0 : 1;
}
