#pragma once

#include "reportengine/document.h"
#include "reportengine/layout.h"
#include "reportengine/reportdata.h"

#include <functional>

namespace tabel::report {

// A band report: a layout bound to its data. Preparing it lays out, paginates and totals the rows and
// gives finished pages; the data is read once, front to back.
class Report
{
public:
    explicit Report(Layout layout);

    Layout &layout() { return m_layout; }
    const Layout &layout() const { return m_layout; }

    // Replaces a label's text before printing (the title label). False when there is no such label.
    bool setLabel(const QString &itemName, const QString &text);

    // Throws ReportError for a formula that does not parse or a field the data lacks. When given,
    // firstPage gets page 1 as soon as it is finished, before the rest is read (not when the report
    // has one page only): a page count on it reads "…" there.
    using FirstPage = std::function<void(Document)>;
    Document prepare(ReportData &data, const FirstPage &firstPage = {}) const;

private:
    Layout m_layout;
};

} // namespace tabel::report
