// vexil: renders the C sources named on the command line as coloured HTML pages in the current directory,
// with a shared stylesheet c.css and an index.html that links to every page.

#include "HtmlWriter.h"
#include "Scanner.h"
#include "SourceReader.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace {

// The lone CRs belong to the sheet as browsers have always received it.
constexpr std::string_view stylesheet =
    "BODY {\rcolor: white;\rbackground: black;\r}\r\n\rPRE {\rcolor: white;\rbackground: black;\r}\r\n\r"
    "SPAN.op {\rcolor: cyan;\r}\r\n\rSPAN.res {\rcolor: yellow;\r}\r\nSPAN.str {\rcolor: red;\r}\r\n\r"
    "SPAN.dir {\rcolor: magenta;\r}\r\n\rA.dir {\rcolor: magenta;\r}\r\r\nSPAN.kom {\rcolor: gray;\r}\r\n"
    "SPAN.sym {\rcolor: white;\r}\r\r\nSPAN.num {\rcolor: lightgreen;\r}\r\nSPAN.chr {color: red;\r}\n";

constexpr std::string_view credit = "Rendered by vexil\n";

void writeHead(HtmlWriter& html, std::string_view title) {
    html.markup("<HTML><HEAD>\n<LINK HREF=\"c.css\" rel=\"stylesheet\" type=\"text/css\">\n<TITLE>");
    html.text(title);
    html.markup("</TITLE>\n</HEAD><BODY>\n");
}

void writeFoot(HtmlWriter& html) {
    html.markup("<HR>");
    html.markup(credit);
    html.markup("</BODY></HTML>\n");
}

// Renders one source into NAME.html and lists the page in the index. False when the source cannot be read or
// the page cannot be created; the page file may then be left empty.
bool renderFile(const std::string& name, HtmlWriter& index) {
    std::printf("Opening file %s\n", name.c_str());
    const std::string pageName = name + ".html";
    SourceReader source(name);
    HtmlWriter page(pageName);
    if (!source.isOpen() || !page.isOpen()) {
        return false;
    }
    writeHead(page, name);
    page.markup("<PRE>");
    if (index.isOpen()) {
        index.markup("<A HREF=\"");
        index.attribute(pageName);
        index.markup("\" CLASS=\"dir\">");
        index.text(pageName);
        index.markup("</A><BR>\n");
    }
    renderSource(source, page);
    page.markup("</PRE>");
    writeFoot(page);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    HtmlWriter("c.css").markup(stylesheet);

    HtmlWriter index("index.html");
    if (index.isOpen()) {
        writeHead(index, "Project index");
    }
    // The first file that cannot be rendered ends the run.
    if (argc < 2 || !renderFile(argv[1], index)) {
        std::fputs("Nothing to do\n", stdout);
    } else {
        int next = 2;
        while (next < argc && renderFile(argv[next], index)) {
            ++next;
        }
    }
    if (index.isOpen()) {
        writeFoot(index);
    }
    return 0;
}
