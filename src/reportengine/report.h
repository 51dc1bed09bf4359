#pragma once

#include "reportengine/document.h"
#include "reportengine/layout.h"
#include "reportengine/reportdata.h"

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

    // Throws ReportError for a formula that does not parse or a field the data lacks.
    Document prepare(ReportData &data) const;

private:
    Layout m_layout;
};

} // namespace tabel::report
