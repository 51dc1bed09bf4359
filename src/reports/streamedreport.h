#pragma once

#include "data/rowcursor.h"
#include "reportengine/report.h"

#include <QObject>

#include <memory>

namespace tabel {

// A report prepared while its rows arrive: the rows are fetched a block at a time on the caller's
// thread (from its event loop, or inside the waits below) and laid out beside it, so that the first
// page can be shown before the last rows are read. No more than a few blocks are held at once.
class StreamedReport : public QObject
{
    Q_OBJECT
public:
    // dataName: the query's name, as the layout's formulas qualify its fields.
    StreamedReport(report::Report report, std::unique_ptr<RowCursor> rows, const QString &dataName,
                   QObject *parent = nullptr);
    ~StreamedReport() override; // stops the preparing and ends the cursor's transaction

    // Waits for page 1 and gives it; a report that ends on its first page is given whole, and done()
    // is then true. Throws the failure (DataError, ReportError).
    report::Document firstPage();
    // Waits for the whole report and gives it. Throws the failure.
    report::Document takeDocument();
    bool isFinished() const; // prepared or failed: takeDocument() will not wait
    bool done() const { return m_taken; }
    // Rows laid out so far, for progress.
    qint64 rowsRead() const;

    static constexpr int kFirstBlock = 200;
    static constexpr int kBlock = 4000;
    static constexpr int kBlocksAhead = 4;

Q_SIGNALS:
    void firstPageReady();
    void finished(); // prepared or failed

private:
    struct Shared;
    class Rows;
    void pump();
    bool fetchBlock(); // false when nothing could be fetched now
    template <typename Pred> void waitFor(Pred ready);

    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<RowCursor> m_rows;
    bool m_taken = false;
    bool m_pumpQueued = false;
};

} // namespace tabel
