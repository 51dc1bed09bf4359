// Reports prepared while their rows arrive: the same pages as a report read whole, page 1 before the
// last rows are read, failures and early stops that leave the connection as it was, parameters that
// reach the server as values, and the preview that opens on page 1.

#include "data/dataerror.h"
#include "data/dataset.h"
#include "data/rowcursor.h"
#include "reports/datasetreportdata.h"
#include "reports/previewwindow.h"
#include "reports/streamedreport.h"
#include "testsupport/recordingmessages.h"
#include "testsupport/testdatabase.h"
#include "ui/windowsetup.h"

#include <QFile>
#include <QTest>
#include <QToolButton>

using namespace tabel;

namespace {
// Rows shaped as the report by workers reads them, seven lines per worker.
const QString kRows = QStringLiteral(
    "select 'Работник ' || lpad((n / 7)::text, 5, '0') as fio, (n % 13)::numeric as kolvo, n * 0.125 as summa, "
    "'Покраска' as vid, 'Изделие ' || (n % 7) as nom, n % 2 as naimen, n % 3 as color "
    "from generate_series(1, :count) n order by n");

report::Report workersReport()
{
    QFile f(QStringLiteral(LAYOUTS "/workersreport.json"));
    f.open(QIODevice::ReadOnly);
    report::Report report(report::Layout::fromJson(f.readAll(), QStringLiteral("workersreport.json")));
    report.setLabel(QStringLiteral("TitleLabel"), QStringLiteral("Отчет по рабочим"));
    return report;
}

// The same rows, failing on the server when the given row is made. Without the sort, rows are made
// as they are fetched, so the failure comes after the blocks before it.
QString failingAt(int row)
{
    return QString(kRows)
        .replace(QStringLiteral("n % 3 as color"), QStringLiteral("n / (n - %1) as color").arg(row))
        .remove(QStringLiteral(" order by n"));
}

QList<QStringList> allTexts(const report::Document &d)
{
    QList<QStringList> pages;
    for (int p = 0; p < d.pageCount(); ++p)
        pages << d.texts(p);
    return pages;
}
} // namespace

class TestStreamedReport : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestDatabase> db;

    std::unique_ptr<StreamedReport> stream(int rows, const QString &filter = QString(),
                                           const QString &statement = kRows,
                                           RowCursor::Mode mode = RowCursor::Mode::Cursor)
    {
        auto cursor = std::make_unique<RowCursor>(&db->connection(), statement,
                                                  QHash<QString, QVariant>{{QStringLiteral("count"), rows}},
                                                  filter, mode);
        return std::make_unique<StreamedReport>(workersReport(), std::move(cursor),
                                                QStringLiteral("t_Report"));
    }

    void connectionIsFree()
    {
        QVERIFY(!db->connection().inTransaction());
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from pg_cursors")).toInt(), 0);
        QCOMPARE(db->scalar(QStringLiteral("select 41 + 1")).toInt(), 42);
    }

private Q_SLOTS:
    void initTestCase()
    {
        useShopLocale();
        db = std::make_unique<test::TestDatabase>();
    }
    void cleanupTestCase() { db.reset(); }

    // Whatever the blocks, the pages are those of the same rows read whole and filtered on the client.
    void samePagesAsTheRowsReadWhole_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<RowCursor::Mode>("mode");
        const auto cursor = RowCursor::Mode::Cursor, whole = RowCursor::Mode::Whole;
        QTest::newRow("none") << 0 << QString() << cursor;
        QTest::newRow("one line") << 1 << QString() << cursor;
        QTest::newRow("one page") << 30 << QString() << cursor;
        QTest::newRow("exactly the first block") << StreamedReport::kFirstBlock << QString() << cursor;
        QTest::newRow("many blocks") << 30000 << QString() << cursor;
        QTest::newRow("many blocks, filtered") << 30000 << QStringLiteral("naimen=1") << cursor;
        QTest::newRow("filter passes nothing") << 9000 << QStringLiteral("naimen=5") << cursor;
        QTest::newRow("read whole: none") << 0 << QString() << whole;
        QTest::newRow("read whole: many pages, filtered") << 9000 << QStringLiteral("naimen=0") << whole;
    }

    void samePagesAsTheRowsReadWhole()
    {
        QFETCH(int, rows);
        QFETCH(QString, filter);
        QFETCH(RowCursor::Mode, mode);
        Dataset whole(&db->connection(), QStringLiteral("t_Report"));
        whole.setSql({kRows});
        whole.setParam(QStringLiteral("count"), rows);
        whole.setFilter(filter);
        whole.setFiltered(!filter.isEmpty());
        whole.open();
        DatasetReportData data(&whole);
        const report::Document expected = workersReport().prepare(data);

        const report::Document streamed = stream(rows, filter, kRows, mode)->takeDocument();
        QCOMPARE(streamed.pageCount(), expected.pageCount());
        QCOMPARE(allTexts(streamed), allTexts(expected));
        connectionIsFree();
    }

    // Page 1 is there while most rows are still on the server; it is the whole report's page 1.
    void firstPageBeforeTheLastRows()
    {
        auto s = stream(200000);
        const report::Document first = s->firstPage();
        QVERIFY(!s->done());
        QCOMPARE(first.pageCount(), 1);
        QVERIFY2(s->rowsRead() < 20000, qPrintable(QString::number(s->rowsRead())));
        QVERIFY(db->connection().inTransaction()); // the cursor is still open
        const report::Document whole = s->takeDocument();
        QVERIFY(whole.pageCount() > 1000);
        QCOMPARE(first.texts(0), whole.texts(0));
        QCOMPARE(s->rowsRead(), 200000);
        connectionIsFree();
    }

    // A page count on page 1 reads "…" until the rest is laid out.
    void pageCountUnknownOnTheFirstPage()
    {
        report::Report report = workersReport();
        report::Item *page = report.layout().item(QStringLiteral("page"));
        QVERIFY(page);
        page->kind = report::Item::Kind::Expression;
        page->width = 30;
        page->formula = QStringLiteral("'Страница ' + STR(PAGENUMBER) + ' из ' + STR(TOTALPAGES)");
        auto cursor = std::make_unique<RowCursor>(&db->connection(), kRows,
                                                  QHash<QString, QVariant>{{QStringLiteral("count"), 3000}});
        StreamedReport s(std::move(report), std::move(cursor), QStringLiteral("t_Report"));
        QCOMPARE(s.firstPage().texts(0).last(), QStringLiteral("Страница 1 из …"));
        const report::Document whole = s.takeDocument();
        QCOMPARE(whole.texts(0).last(), QStringLiteral("Страница 1 из %1").arg(whole.pageCount()));
    }

    // A statement that fails after some blocks fails the report with the server's text, and the
    // connection is free again; so does one that fails at once.
    void failureOnTheWay_data()
    {
        QTest::addColumn<int>("failingRow");
        QTest::newRow("first rows") << 3;
        QTest::newRow("after some blocks") << 9000;
    }

    void failureOnTheWay()
    {
        QFETCH(int, failingRow);
        auto s = stream(20000, QString(), failingAt(failingRow));
        if (failingRow > StreamedReport::kFirstBlock)
            QCOMPARE(s->firstPage().pageCount(), 1); // the rows before the failure are laid out
        try {
            s->takeDocument();
            QFAIL("the report was prepared");
        } catch (const DataError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("22012")) ||
                         e.message().contains(QStringLiteral("division")) ||
                         e.message().contains(QStringLiteral("делен")),
                     qPrintable(e.message()));
        }
        s.reset();
        connectionIsFree();
    }

    // Closed before its end (the preview shut on page 1): the cursor and its transaction go, and
    // what another part of the program wrote meanwhile on the connection stays.
    void stoppedEarly()
    {
        {
            auto s = stream(200000);
            QCOMPARE(s->firstPage().pageCount(), 1);
            db->exec(QStringLiteral("delete from accounts_dep.ver"));
            db->exec(QStringLiteral("insert into accounts_dep.ver (d, t) values (20240101, 1)"));
        }
        connectionIsFree();
        QCOMPARE(db->scalar(QStringLiteral("select d from accounts_dep.ver")).toInt(), 20240101);
        QCOMPARE(stream(100)->takeDocument().pageCount(), 7); // and the next one runs
    }

    // Values reach the server as values on either driver, whatever they hold.
    void parametersAreValues_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("apostrophe") << QVariant(QStringLiteral("O'Brien"));
        QTest::newRow("backslash") << QVariant(QStringLiteral("C:\\temp\\'"));
        QTest::newRow("statement") << QVariant(QStringLiteral("'); drop table accounts_dep.smena; --"));
        QTest::newRow("dollars") << QVariant(QStringLiteral("$$ :count ?"));
        QTest::newRow("letters") << QVariant(QStringLiteral("Ёжиков «Щ» №5"));
        QTest::newRow("date") << QVariant(QDate(2024, 2, 29));
        QTest::newRow("number") << QVariant(-12.625);
    }

    void parametersAreValues()
    {
        QFETCH(QVariant, value);
        RowCursor cursor(&db->connection(), QStringLiteral("select :v as v, ':v' as w"),
                         {{QStringLiteral("v"), value}});
        const QVector<RowCursor::Row> rows = cursor.fetch(10);
        QCOMPARE(rows.size(), 1);
        if (value.typeId() == QMetaType::Double)
            QCOMPARE(rows[0][0].toDouble(), value.toDouble());
        else if (value.typeId() == QMetaType::QDate)
            QCOMPARE(rows[0][0].toDate(), value.toDate());
        else
            QCOMPARE(rows[0][0].toString(), value.toString());
        QCOMPARE(rows[0][1].toString(), QStringLiteral(":v"));
        QVERIFY(cursor.atEnd());
        QVERIFY(db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).isValid());
    }

    // The preview opens on page 1 with the count unknown; the next page waits for the whole, and the
    // count is filled in when the rest arrives by itself. A rest that fails is said once, and the
    // preview of an unfinished report closes.
    void previewOpensOnPageOne_data()
    {
        QTest::addColumn<bool>("navigate");
        QTest::addColumn<bool>("fails");
        QTest::newRow("next page") << true << false;
        QTest::newRow("left alone") << false << false;
        QTest::newRow("next page, the rest fails") << true << true;
        QTest::newRow("left alone, the rest fails") << false << true;
    }

    void previewOpensOnPageOne()
    {
        QFETCH(bool, navigate);
        QFETCH(bool, fails);
        auto s = stream(50000, QString(), fails ? failingAt(30000) : kRows);
        report::Document first = s->firstPage();
        test::RecordingMessages messages;
        WindowServices services;
        services.messages = &messages;
        QStringList seen;
        int pages = 0;
        bool closed = false;
        services.showModal = [&](QDialog *d) -> int {
            auto *preview = static_cast<report::PreviewWindow *>(d);
            d->show();
            seen << preview->pageText();
            if (navigate)
                child<QToolButton>(preview, "nextButton")->click();
            else
                QTest::qWaitFor([preview] { return preview->isComplete(); }, 30000);
            QTest::qWait(50); // a closing is queued
            closed = !d->isVisible();
            seen << preview->pageText();
            pages = preview->document().pageCount();
            d->hide();
            return int(QDialog::Accepted);
        };
        report::PreviewWindow preview(services);
        preview.preview(std::move(first), report::PreviewWindow::Zoom::PageWidth, QStringLiteral("Отчет"),
                        s.get());
        if (fails) {
            QCOMPARE(messages.boxes.size(), 1);
            QVERIFY(closed);
            QCOMPARE(pages, 1);
        } else {
            QVERIFY(messages.boxes.isEmpty());
            QVERIFY(!closed);
            QVERIFY(pages > 100);
            QCOMPARE(seen,
                     (QStringList{QStringLiteral("Страница 1 из …"),
                                  QStringLiteral("Страница %1 из %2").arg(navigate ? 2 : 1).arg(pages)}));
        }
        s.reset();
        connectionIsFree();
    }

private:
    template <typename T> static T *child(QObject *parent, const char *name)
    {
        auto *c = parent->findChild<T *>(QString::fromLatin1(name));
        if (!c)
            qFatal("no %s", name);
        return c;
    }
};

QTEST_MAIN(TestStreamedReport)
#include "tst_streamedreport.moc"
