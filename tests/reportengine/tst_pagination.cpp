#include "reportengine/formula.h"
#include "reportengine/report.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace tabel::report;

namespace {
const QStringList kFields = {QStringLiteral("fio"),  QStringLiteral("kolvo"), QStringLiteral("summa"),
                             QStringLiteral("vid"),  QStringLiteral("nom"),   QStringLiteral("naimen"),
                             QStringLiteral("color")};

QByteArray layoutJson(const QString &name)
{
    QFile f(QStringLiteral(LAYOUTS "/") + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("no layout %s", qPrintable(name));
    return f.readAll();
}

Layout workersLayout()
{
    return Layout::fromJson(layoutJson(QStringLiteral("workersreport.json")),
                            QStringLiteral("workersreport.json"));
}

QVariantList row(const QString &fio, const QString &nom, double kolvo, double summa,
                 const QString &vid = QStringLiteral("Резка"), int naimen = 0, int color = 0)
{
    return {fio, kolvo, summa, vid, nom, naimen, color};
}

// A time-sheet-like layout: a heading repeated on every page, a detail linked to it, a page footer.
QByteArray sheetJson(int detailHeight, const QString &footerFormula)
{
    return QStringLiteral(R"({"query": "H_Tabel", "page": {"orientation": "landscape"}, "bands": [
      {"kind": "groupHeader", "name": "heading", "height": 6.6, "repeat": true, "frame": {"top": true, "bottom": true},
       "items": [{"kind": "label", "name": "HeadingLabel", "left": 0, "text": "Данные за:", "font": {"bold": true}}]},
      {"kind": "detail", "name": "detail", "height": %1, "linkedTo": "heading",
       "items": [{"kind": "field", "name": "fio", "left": 0, "width": 80.4, "field": "fio"}]},
      {"kind": "pageFooter", "name": "footer", "height": 4.5,
       "items": [{"kind": "expression", "name": "page", "left": 250, "width": 27, "align": "right", "formula": "%2"}]}
    ]})")
        .arg(detailHeight)
        .arg(footerFormula)
        .toUtf8();
}

struct Found
{
    int page;
    float y;
};
std::vector<Found> find(const Document &d, const QString &item)
{
    std::vector<Found> out;
    for (int p = 0; p < d.pageCount(); ++p)
        for (const DrawOp *op : d.opsOf(p, item))
            if (op->kind == DrawOp::Kind::Text)
                out.push_back({p, op->y});
    return out;
}

// Nom headers that are the last thing on their page (nothing of their group below them).
int lonelyHeaders(const Document &d)
{
    int lonely = 0;
    for (const Found &h : find(d, QStringLiteral("nom"))) {
        bool followed = false;
        for (const Found &k : find(d, QStringLiteral("kind")))
            if (k.page == h.page && k.y > h.y)
                followed = true;
        lonely += followed ? 0 : 1;
    }
    return lonely;
}

TableData manyWorkers(int workers)
{
    TableData data(QStringLiteral("t_Report"), kFields);
    for (int w = 0; w < workers; ++w)
        for (int n = 0; n < 2; ++n)
            for (int r = 0; r < 1 + (w + n) % 3; ++r)
                data.append(row(QStringLiteral("Рабочий %1").arg(w, 3, 10, QLatin1Char('0')),
                                QStringLiteral("Изделие %1").arg(n), 1, 0.5));
    return data;
}
} // namespace

class TestPagination : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void groupsPrintInOrderWithTheirTotals()
    {
        Report report(workersLayout());
        QVERIFY(report.setLabel(QStringLiteral("TitleLabel"), QStringLiteral("Отчет по рабочим за март")));
        TableData data(
            QStringLiteral("t_Report"), kFields,
            {row(QStringLiteral("Антонов"), QStringLiteral("Профиль"), 10, 25.5),
             row(QStringLiteral("Антонов"), QStringLiteral("Профиль"), 5, 4.25, QStringLiteral("Покраска"), 1,
                 1013),
             row(QStringLiteral("Антонов"), QStringLiteral("Скоба"), 3, 1.5, QStringLiteral("Гибка"), 0, 1),
             row(QStringLiteral("Борисов"), QStringLiteral("Профиль"), 7, 10)});
        const Document doc = report.prepare(data);
        QCOMPARE(doc.pageCount(), 1);
        const QStringList expected = {QStringLiteral("Отчет по рабочим за март"),
                                      QStringLiteral("Антонов"),
                                      QStringLiteral("Профиль"),
                                      QStringLiteral("Готовая продукция"),
                                      QStringLiteral("Резка"),
                                      QStringLiteral(" "),
                                      QStringLiteral("10"),
                                      QStringLiteral("25.500"),
                                      QStringLiteral("Заготовки"),
                                      QStringLiteral("Покраска"),
                                      QStringLiteral(" (RAL: 1013)"),
                                      QStringLiteral("5"),
                                      QStringLiteral("4.250"),
                                      QStringLiteral("15"),
                                      QStringLiteral("29.750"),
                                      QStringLiteral("Скоба"),
                                      QStringLiteral("Готовая продукция"),
                                      QStringLiteral("Гибка"),
                                      QStringLiteral(" (грунт)"),
                                      QStringLiteral("3"),
                                      QStringLiteral("1.500"),
                                      QStringLiteral("3"),
                                      QStringLiteral("1.500"),
                                      QStringLiteral("31.25"),
                                      QStringLiteral("Борисов"),
                                      QStringLiteral("Профиль"),
                                      QStringLiteral("Готовая продукция"),
                                      QStringLiteral("Резка"),
                                      QStringLiteral(" "),
                                      QStringLiteral("7"),
                                      QStringLiteral("10.000"),
                                      QStringLiteral("7"),
                                      QStringLiteral("10.000"),
                                      QStringLiteral("10.00"),
                                      QStringLiteral("Итого:"),
                                      QStringLiteral("41.25"),
                                      QStringLiteral("1")};
        QCOMPARE(doc.texts(0), expected);
        // The grand total band has its frame and background; the page number sits at 176.2 mm.
        const auto page = doc.opsOf(0, QStringLiteral("page"));
        QCOMPARE(page.size(), size_t(1));
        QCOMPARE(page.front()->x, 186.2f);
        QVERIFY(page.front()->y > 280);
    }

    void emptyDataGivesHeadingGrandTotalAndFooter()
    {
        Report report(workersLayout());
        TableData data(QStringLiteral("t_Report"), kFields);
        const Document doc = report.prepare(data);
        QCOMPARE(doc.pageCount(), 1);
        QCOMPARE(doc.texts(0), (QStringList{QStringLiteral("Отчет"), QStringLiteral("Итого:"),
                                            QStringLiteral("0.00"), QStringLiteral("1")}));
    }

    void linkedHeaderIsNeverAloneAtTheBottom()
    {
        TableData data = manyWorkers(60);
        const Document linked = Report(workersLayout()).prepare(data);
        QVERIFY(linked.pageCount() >= 3);
        QCOMPARE(lonelyHeaders(linked), 0);
        // The same data without the link does leave a header alone, so the check above means something.
        Layout unlinked = workersLayout();
        unlinked.band(QStringLiteral("nomHeader"))->linkedTo.clear();
        const Document loose = Report(unlinked).prepare(data);
        QVERIFY(lonelyHeaders(loose) > 0);
    }

    void totalsSurvivePageBreaks()
    {
        TableData data = manyWorkers(60);
        const Document doc = Report(workersLayout()).prepare(data);
        // Each worker: products with (1 + (w + n) % 3) rows of 0.5.
        double grand = 0;
        std::vector<QString> fioTotals;
        for (int w = 0; w < 60; ++w) {
            double t = 0;
            for (int n = 0; n < 2; ++n)
                t += (1 + (w + n) % 3) * 0.5;
            grand += t;
            fioTotals.push_back(QString::number(t, 'f', 2));
        }
        std::vector<QString> printed;
        for (int p = 0; p < doc.pageCount(); ++p)
            for (const DrawOp *op : doc.opsOf(p, QStringLiteral("fioSumma")))
                printed.push_back(doc.text(*op));
        QCOMPARE(printed, fioTotals);
        const auto total = doc.opsOf(doc.pageCount() - 1, QStringLiteral("totalSumma"));
        QCOMPARE(total.size(), size_t(1));
        QCOMPARE(doc.text(*total.front()), QString::number(grand, 'f', 2));
    }

    void headingRepeatsAndFooterOnEveryPage()
    {
        const Layout layout =
            Layout::fromJson(sheetJson(6, QStringLiteral("PAGENUMBER")), QStringLiteral("sheet"));
        TableData data(QStringLiteral("H_Tabel"), {QStringLiteral("fio")});
        for (int i = 0; i < 100; ++i)
            data.append({QStringLiteral("Рабочий %1").arg(i)});
        Report report(layout);
        report.setLabel(QStringLiteral("HeadingLabel"), QStringLiteral("Март 2024 г."));
        const Document doc = report.prepare(data);
        QVERIFY(doc.pageCount() >= 3);
        int lines = 0;
        for (int p = 0; p < doc.pageCount(); ++p) {
            const QStringList texts = doc.texts(p);
            QCOMPARE(texts.first(), QStringLiteral("Март 2024 г."));
            QCOMPARE(texts.count(QStringLiteral("Март 2024 г.")), 1);
            QCOMPARE(texts.last(), QString::number(p + 1));
            lines += texts.size() - 2;
            // Nothing runs into the page footer.
            for (const DrawOp *op : doc.opsOf(p, QStringLiteral("fio")))
                QVERIFY(op->y + op->h <= 210 - 10 - 4.5 + 0.01);
        }
        QCOMPARE(lines, 100);
    }

    void pageXofY()
    {
        const Layout layout = Layout::fromJson(
            sheetJson(20, QStringLiteral("'Страница '+STR(PAGENUMBER)+' из '+STR(TOTALPAGES)")),
            QStringLiteral("sheet"));
        TableData data(QStringLiteral("H_Tabel"), {QStringLiteral("fio")});
        for (int i = 0; i < 25; ++i)
            data.append({QStringLiteral("Рабочий %1").arg(i)});
        const Document doc = Report(layout).prepare(data);
        const int n = doc.pageCount();
        QVERIFY(n >= 3);
        for (int p = 0; p < n; ++p)
            QCOMPARE(doc.texts(p).last(), QStringLiteral("Страница %1 из %2").arg(p + 1).arg(n));
    }

    void childPrintsEachTimeItsParentPrints()
    {
        QJsonObject root = QJsonDocument::fromJson(layoutJson(QStringLiteral("workersreport.json"))).object();
        QJsonArray bands = root.value(QLatin1String("bands")).toArray();
        bands.append(QJsonObject{{QStringLiteral("kind"), QStringLiteral("child")},
                                 {QStringLiteral("name"), QStringLiteral("underFio")},
                                 {QStringLiteral("parent"), QStringLiteral("fioHeader")},
                                 {QStringLiteral("height"), 3},
                                 {QStringLiteral("items"),
                                  QJsonArray{QJsonObject{{QStringLiteral("kind"), QStringLiteral("label")},
                                                         {QStringLiteral("name"), QStringLiteral("mark")},
                                                         {QStringLiteral("text"), QStringLiteral("~")}}}}});
        root.insert(QStringLiteral("bands"), bands);
        const Layout layout = Layout::fromJson(QJsonDocument(root).toJson(), QStringLiteral("child"));
        TableData data = manyWorkers(5);
        const Document doc = Report(layout).prepare(data);
        const QStringList texts = doc.texts(0);
        QCOMPARE(texts.count(QStringLiteral("~")), 5);
        for (int i = 0; i < texts.size(); ++i)
            if (texts.at(i).startsWith(QStringLiteral("Рабочий")))
                QCOMPARE(texts.value(i + 1), QStringLiteral("~"));
    }

    void monthlyTimesheetLayout()
    {
        Report report(Layout::fromFile(QStringLiteral(TIMESHEET_LAYOUT)));
        report.setLabel(QStringLiteral("HeadingLabel"), QStringLiteral("Ноябрь 2024 г."));
        QStringList fields{QStringLiteral("fio")};
        for (int d = 1; d <= 31; ++d)
            fields << QStringLiteral("sd%1").arg(d);
        TableData data(QStringLiteral("H_Tabel"), fields);
        for (int w = 0; w < 70; ++w) {
            QVariantList r{QStringLiteral("Рабочий %1").arg(w, 2, 10, QLatin1Char('0'))};
            for (int d = 1; d <= 31; ++d)
                r << (d == 31 ? QVariant(0) : QVariant(d % 7 == 0 ? 0 : 8 + w % 3)); // a 30-day month
            data.append(r);
        }
        const Document doc = report.prepare(data);
        QVERIFY(doc.pageCount() >= 3);
        QCOMPARE(doc.page.width, 297.0);
        int lines = 0;
        for (int p = 0; p < doc.pageCount(); ++p) {
            const QStringList texts = doc.texts(p);
            QCOMPARE(texts.first(), QStringLiteral("Ноябрь 2024 г."));
            QCOMPARE(texts.at(31), QStringLiteral("31"));
            QCOMPARE(texts.at(32), QStringLiteral("Итого"));
            QCOMPARE(texts.last(), QString::number(p + 1));
            const auto totals = doc.opsOf(p, QStringLiteral("total"));
            for (size_t i = 0; i < totals.size(); ++i) {
                const DrawOp *op = totals[i];
                const int w = int(i) + lines;
                int expected = 0;
                for (int d = 1; d <= 30; ++d)
                    expected += d % 7 == 0 ? 0 : 8 + w % 3;
                QCOMPARE(doc.text(*op), QString::number(expected));
            }
            for (const DrawOp *op : doc.opsOf(p, QStringLiteral("day31")))
                QCOMPARE(doc.text(*op), QStringLiteral("0"));
            lines += int(totals.size());
            // The page number ends at the right margin.
            const auto number = doc.opsOf(p, QStringLiteral("page"));
            QCOMPARE(number.front()->x + number.front()->w, 287.0f);
        }
        QCOMPARE(lines, 70);
        const auto first = doc.opsOf(0, QStringLiteral("dayLabel1"));
        const auto last = doc.opsOf(0, QStringLiteral("dayLabel31"));
        QCOMPARE(first.front()->x, 91.2f);
        QVERIFY(std::abs(last.front()->x - 264.3f) < 0.11f);
    }

    void missingFieldIsRejectedWhenPrepared()
    {
        Report report(workersLayout());
        TableData data(QStringLiteral("t_Report"),
                       {QStringLiteral("fio"), QStringLiteral("kolvo"), QStringLiteral("summa")});
        try {
            report.prepare(data);
            QFAIL("prepared");
        } catch (const ReportError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("nom")), qPrintable(e.message()));
        }
    }
};

QTEST_MAIN(TestPagination)
#include "tst_pagination.moc"
