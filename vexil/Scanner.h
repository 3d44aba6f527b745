#pragma once

#include "HtmlWriter.h"
#include "SourceReader.h"

// Writes the body of one page: every token of the source wrapped in a span that names its kind. Returns at
// the end of the source; a comment or string still open there stays open. A read failure or memory exhaustion
// ends the program with one of flex's fatal messages on standard error and exit status 2.
void renderSource(SourceReader& source, HtmlWriter& page);
