#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// One HTML file being written. Markup goes out as given; text that comes from the input goes out byte for
// byte (NUL bytes included) with "<", ">" and "&" escaped, so that nothing a student wrote becomes markup in
// the teacher's browser.
class HtmlWriter {
public:
    // Creates or truncates the file; isOpen() tells whether that worked. Writes to a file that could not be
    // created are dropped.
    explicit HtmlWriter(const std::string& path);
    ~HtmlWriter();
    HtmlWriter(const HtmlWriter&) = delete;
    HtmlWriter& operator=(const HtmlWriter&) = delete;

    bool isOpen() const { return file_ != nullptr; }

    void markup(std::string_view html);
    // Text content: "<", ">" and "&" become entities.
    void text(std::string_view input);
    // A double-quoted attribute value: as text, and a double quote becomes "&quot;".
    void attribute(std::string_view input);

    // <SPAN CLASS="kind">text</SPAN>
    void token(std::string_view kind, std::string_view input);
    // <SPAN CLASS="kind">text, closed later by closeSpan().
    void openSpan(std::string_view kind, std::string_view input);
    void closeSpan();

private:
    void escaped(std::string_view input, bool inAttribute);
    void put(std::string_view bytes);

    std::FILE* file_;
};
