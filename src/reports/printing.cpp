#include "reports/printing.h"

#include "reportengine/document.h"
#include "reportengine/formula.h"

#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace tabel::report {

void printDocument(const Document &document, QPrinter *printer)
{
    printer->setFullPage(true);
    printer->setPageLayout(document.pageLayout());
    QPainter painter;
    if (!painter.begin(printer))
        throw ReportError(QStringLiteral("Принтер недоступен"));
    const int count = document.pageCount();
    const int from = printer->fromPage() > 0 ? printer->fromPage() - 1 : 0;
    const int to = printer->toPage() > 0 ? std::min(printer->toPage(), count) - 1 : count - 1;
    for (int i = from; i <= to; ++i) {
        if (i > from)
            printer->newPage();
        document.paint(painter, i);
    }
    painter.end();
}

} // namespace tabel::report
