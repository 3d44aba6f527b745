#include "analysis/KeywordTable.h"

#include <string>
#include <unordered_map>

namespace tarvel {

namespace {

constexpr std::array<std::string_view, kKeywordCount> kWords = {
    // Control words.
    "if", "else", "for", "while", "do", "case", "switch", "return", "main", "break", "goto", "label",
    "continue", "exit",
    // Type words.
    "void", "int", "char", "float", "double", "long", "unsigned", "signed", "short", "enum", "FILE", "huge",
    "far", "const", "static", "struct", "union", "typedef",
    // C++ and constant words.
    "NULL", "new", "delete", "class", "public", "private", "protected",
    // Preprocessor words.
    "define", "include", "defined", "pragma", "endif", "undef", "ifndef",
    // Header names: a word token may contain dots.
    "stdio.h", "conio.h", "math.h", "stdlib.h", "malloc.h", "io.h", "string.h",
    // Library functions of the Borland console and C libraries.
    "printf", "scanf", "getch", "kbhit", "getche", "rand", "randomize", "random", "clrscr", "strlen",
    "strcpy", "strcmp", "strcat", "memcmp", "memcpy", "malloc", "alloc", "free", "gets", "sqr", "sqrt", "sin",
    "cos", "exp", "tan", "atan", "asin", "acos", "log", "abs", "min", "max", "cprintf", "EOF", "gotoxy",
    "textcolor", "fflush", "fopen", "fclose", "fread", "fwrite", "fgetc", "fgets", "fput", "fprintf",
    "fscanf"};

const std::unordered_map<std::string_view, int>& PositionIndex() {
    static const std::unordered_map<std::string_view, int> index = [] {
        std::unordered_map<std::string_view, int> built;
        for (int position = kKeywordCount - 1; position >= 0; --position) {
            built[kWords[position]] = position;
        }
        return built;
    }();
    return index;
}

} // namespace

const std::array<std::string_view, kKeywordCount>& KeywordTable() {
    return kWords;
}

int KeywordPosition(std::string_view word) {
    const auto& index = PositionIndex();
    const auto found = index.find(word);
    return found == index.end() ? -1 : found->second;
}

} // namespace tarvel
