// The band-report engine on a synthetic report of the shape of the report by workers: two group
// levels, totals with and without reset, masks. Rows are generated as they are read, so what stays in
// memory is the prepared pages alone.
//
//   bench_report_engine [ROWS [PDF_PATH]]
//   bench_report_engine --linear      (100,000 and 400,000 rows prepared in turn, in one run)

#include "reportengine/formula.h"
#include "reportengine/report.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <sys/resource.h>
#include <vector>

using namespace tabel::report;

namespace {
long peakKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

long currentKb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.value(1).toLong() * 4;
}

// 12 rows per product, 8 products per worker: the report by workers of a large shop.
class Generated : public ReportData
{
public:
    explicit Generated(qint64 rows) : m_rows(rows) {}
    QString name() const override { return QStringLiteral("t_Report"); }
    QStringList fieldNames() const override
    {
        return {QStringLiteral("fio"),  QStringLiteral("kolvo"), QStringLiteral("summa"),
                QStringLiteral("vid"),  QStringLiteral("nom"),   QStringLiteral("naimen"),
                QStringLiteral("color")};
    }
    void first() override { m_row = 0; }
    void next() override { ++m_row; }
    bool eof() const override { return m_row >= m_rows; }
    QVariant value(int field) const override
    {
        const qint64 product = m_row / 12;
        const qint64 worker = product / 8;
        switch (field) {
        case 0:
            return QStringLiteral("Рабочий %1").arg(worker, 6, 10, QLatin1Char('0'));
        case 1:
            return double(10 + m_row % 90);
        case 2:
            return (10 + m_row % 90) * 1.2345;
        case 3:
            return m_kinds[m_row % 4];
        case 4:
            return QStringLiteral("Изделие %1").arg(product % 8);
        case 5:
            return int(m_row % 2);
        default:
            return int(m_row % 3 == 2 ? 1013 : m_row % 3);
        }
    }

private:
    qint64 m_rows;
    qint64 m_row = 0;
    const QString m_kinds[4] = {QStringLiteral("Резка"), QStringLiteral("Гибка"),
                                QStringLiteral("Краска порошковая"), QStringLiteral("Упаковка")};
};
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    if (argc > 1 && QByteArray(argv[1]) == "--linear") {
        // Preparing 100,000 and 400,000 rows in turn, three times each, in this one process.
        Report report(Layout::fromFile(QStringLiteral(WORKERS_LAYOUT)));
        {
            Generated warm(1000);
            report.prepare(warm);
        }
        std::vector<double> small, large;
        for (int i = 0; i < 3; ++i)
            for (const qint64 n : {100000, 400000}) {
                Generated data(n);
                QElapsedTimer t;
                t.start();
                const Document doc = report.prepare(data);
                (n == 100000 ? small : large).push_back(t.nsecsElapsed() / 1e9);
            }
        std::sort(small.begin(), small.end());
        std::sort(large.begin(), large.end());
        std::printf(
            "preparing in one run (medians of 3): 100,000 rows %.3f s, 400,000 rows %.3f s, %.2f times "
            "(goal at most 4.50)\n",
            small[1], large[1], large[1] / small[1]);
        return 0;
    }
    const qint64 rows = argc > 1 ? QByteArray(argv[1]).toLongLong() : 100000;
    QTemporaryDir dir;
    const QString pdf =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(QStringLiteral("bench.pdf"));

    Report report(Layout::fromFile(QStringLiteral(WORKERS_LAYOUT)));
    report.setLabel(QStringLiteral("TitleLabel"), QStringLiteral("Отчет по рабочим"));
    {
        Generated warm(1000); // fonts and metrics loaded once, as in a running program
        report.prepare(warm);
    }
    const long before = currentKb();
    Generated data(rows);
    QElapsedTimer t;
    t.start();
    const Document doc = report.prepare(data);
    const double prepare = t.nsecsElapsed() / 1e9;
    malloc_trim(0); // what the pages keep, not what preparing freed
    const long after = currentKb();
    size_t ops = 0;
    for (const Page &p : doc.pages)
        ops += p.ops.size();

    t.restart();
    doc.writePdf(pdf, QStringLiteral("Отчет по рабочим"));
    const double write = t.nsecsElapsed() / 1e9;

    std::printf("report by workers, %lld detail rows, %d pages, %zu drawing operations\n",
                static_cast<long long>(rows), doc.pageCount(), ops);
    std::printf("  prepare: %.3f s (%.0f rows/s; goal for 100,000 rows: under 1 s)\n", prepare,
                rows / prepare);
    std::printf("  PDF:     %.3f s (%.0f pages/s; goal at least 800), %lld bytes\n", write,
                doc.pageCount() / write, static_cast<long long>(QFile(pdf).size()));
    std::printf(
        "  memory:  %.1f MB kept for the pages (%.1f KB a page, %.0f bytes an operation); peak %.1f MB\n",
        (after - before) / 1024.0, double(after - before) / std::max(1, doc.pageCount()),
        (after - before) * 1024.0 / std::max<size_t>(1, ops), peakKb() / 1024.0);
    return 0;
}
