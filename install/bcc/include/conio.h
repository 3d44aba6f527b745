/* conio.h: the console functions of Borland C on plain standard input and output, so that programs written
   for the Borland compiler build and run with their input and output redirected. Screen and colour control
   have no meaning on a redirected stream and do nothing. */
#ifndef TARVEL_CONIO_H
#define TARVEL_CONIO_H

#include <poll.h>
#include <stdarg.h>
#include <stdio.h>

enum COLORS {
    BLACK,
    BLUE,
    GREEN,
    CYAN,
    RED,
    MAGENTA,
    BROWN,
    LIGHTGRAY,
    DARKGRAY,
    LIGHTBLUE,
    LIGHTGREEN,
    LIGHTCYAN,
    LIGHTRED,
    LIGHTMAGENTA,
    YELLOW,
    WHITE
};
#define BLINK 128

/* Reads one character without echo; EOF at the end of the input. */
static inline int getch(void) {
    fflush(stdout);
    return getchar();
}

/* Reads one character and echoes it. */
static inline int getche(void) {
    int c = getch();
    if (c != EOF) {
        putchar(c);
    }
    return c;
}

/* Non-zero when a character (or the end of the input) can be read without waiting. */
static inline int kbhit(void) {
    struct pollfd input = {0, POLLIN, 0};
    fflush(stdout);
    return poll(&input, 1, 0) > 0;
}

static inline int putch(int c) {
    return putchar(c);
}

static inline int cputs(const char* text) {
    return fputs(text, stdout);
}

static inline int cprintf(const char* format, ...) {
    va_list arguments;
    int count;
    va_start(arguments, format);
    count = vprintf(format, arguments);
    va_end(arguments);
    return count;
}

static inline void clrscr(void) {}
static inline void clreol(void) {}
static inline void gotoxy(int x, int y) {
    (void)x;
    (void)y;
}
static inline int wherex(void) {
    return 1;
}
static inline int wherey(void) {
    return 1;
}
static inline void textcolor(int color) {
    (void)color;
}
static inline void textbackground(int color) {
    (void)color;
}

#endif
