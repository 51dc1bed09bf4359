#pragma once

class QPrinter;

namespace tabel::report {

class Document;

// Prints the pages the printer's range selects (all of them when none is set), each page's layout
// as the report's. Throws ReportError when the printer cannot be opened.
void printDocument(const Document &document, QPrinter *printer);

} // namespace tabel::report
