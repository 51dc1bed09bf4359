#include "reportengine/formula.h"
#include "reportengine/report.h"
#include "reportfixtures.h" // beside this test

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace tabel::report;

// The streams of a PDF (pages, fonts) unpacked, in a fixed order: fonts are written in no fixed order.
static QList<QByteArray> streams(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray pdf = f.readAll();
    QList<QByteArray> out;
    for (qsizetype at = pdf.indexOf("stream\n"); at >= 0; at = pdf.indexOf("stream\n", at)) {
        at += 7;
        const qsizetype end = pdf.indexOf("endstream", at);
        if (end < 0)
            break;
        QByteArray packed = pdf.mid(at, end - at);
        const quint32 guess = quint32(packed.size()) * 8 + 64; // unpacking grows past a short guess
        packed.prepend(char(guess & 0xff))
            .prepend(char((guess >> 8) & 0xff))
            .prepend(char((guess >> 16) & 0xff))
            .prepend(char(guess >> 24));
        const QByteArray unpacked = packed.at(4) == 0x78 ? qUncompress(packed) : QByteArray(); // zlib's mark
        out << (unpacked.isEmpty() ? pdf.mid(at, end - at) : unpacked);
        at = end + 9;
    }
    std::sort(out.begin(), out.end());
    return out;
}

class TestReportOutput : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void pdfCarriesTheTextAndThePages()
    {
        const Document doc = workersDocument(40);
        QVERIFY(doc.pageCount() >= 2);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("workers.pdf"));
        doc.writePdf(path, QStringLiteral("Отчет по рабочим"));
        if (!qEnvironmentVariableIsEmpty("TABEL_KEEP_PDF")) // to look at it
            QFile::copy(path, qEnvironmentVariable("TABEL_KEEP_PDF"));
        const QString info = run(QStringLiteral("pdfinfo"), {path});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(doc.pageCount()))),
                 qPrintable(info));
        QVERIFY(info.contains(QStringLiteral("Page size:      595.276 x 841.89 pts (A4)")) ||
                info.contains(QStringLiteral("(A4)")));
        const QString text =
            run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        QVERIFY2(text.contains(QStringLiteral("Отчет по рабочим с 01.02.2024 по 01.03.2024")),
                 qPrintable(text.left(400)));
        QVERIFY(text.contains(QStringLiteral("Щербаков Ёжи 0")));
        QVERIFY(text.contains(QStringLiteral("Готовая продукция")));
        QVERIFY(text.contains(QStringLiteral("(RAL: 1013)")));
        QVERIFY(text.contains(QStringLiteral("12,345"))); // the locale's separator, three decimals
        QVERIFY(text.contains(QStringLiteral("Итого:")));
        // Fonts are embedded.
        const QString fonts = run(QStringLiteral("pdffonts"), {path});
        QVERIFY2(fonts.contains(QStringLiteral("LiberationSans")), qPrintable(fonts));
        QVERIFY(!fonts.contains(QRegularExpression(QStringLiteral("Identity-H\\s+no"))));
        // A page as a picture: the first page has ink in the heading and the footer.
        QVERIFY(QProcess::execute(QStringLiteral("pdftoppm"),
                                  {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("50"),
                                   QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                   QStringLiteral("1"), path, dir.filePath(QStringLiteral("page"))}) == 0);
        const QDir out(dir.path());
        const QStringList pngs = out.entryList({QStringLiteral("page*.png")});
        QCOMPARE(pngs.size(), 1);
        const QImage png(out.filePath(pngs.first()));
        QVERIFY(!png.isNull());
    }

    void landscapeTimesheetPdf()
    {
        QFile f(QStringLiteral(TIMESHEET_LAYOUT)); // the program's own layout
        QVERIFY(f.open(QIODevice::ReadOnly));
        Report report(Layout::fromJson(f.readAll(), QStringLiteral("timesheet.json")));
        report.setLabel(QStringLiteral("HeadingLabel"), QStringLiteral("Март 2024 г."));
        QStringList fields{QStringLiteral("fio")};
        for (int d = 1; d <= 31; ++d)
            fields << QStringLiteral("sd%1").arg(d);
        TableData data(QStringLiteral("H_Tabel"), fields);
        for (int w = 0; w < 40; ++w) {
            QVariantList r{QStringLiteral("Васильева Наталья Тимофеевна %1").arg(w)};
            for (int d = 1; d <= 31; ++d)
                r << (d % 7 == 2 || d % 7 == 3 ? 0 : 8 + (w + d) % 5);
            data.append(r);
        }
        const Document doc = report.prepare(data);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("timesheet.pdf"));
        doc.writePdf(path);
        if (!qEnvironmentVariableIsEmpty("TABEL_KEEP_PDF"))
            QFile::copy(path, qEnvironmentVariable("TABEL_KEEP_PDF") + QStringLiteral(".timesheet.pdf"));
        const QString info = run(QStringLiteral("pdfinfo"), {path});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+842 x 595"))),
                 qPrintable(info));
        const QString text =
            run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        QCOMPARE(text.count(QStringLiteral("Март 2024 г.")), doc.pageCount());
        QVERIFY(text.contains(QStringLiteral("Васильева Наталья Тимофеевна 39")));
    }

    void samePaintingOnImage()
    {
        const Document doc = workersDocument(2);
        const QImage image = doc.render(0, 96);
        QCOMPARE(image.size(), QSize(qRound(210 / 25.4 * 96), qRound(297 / 25.4 * 96)));
        // The heading background (244, 244, 244), right of the title.
        QCOMPARE(image.pixelColor(qRound(195 / 25.4 * 96), qRound(12 / 25.4 * 96)), QColor(244, 244, 244));
        // Outside the margins nothing is drawn.
        QCOMPARE(image.pixelColor(5, 5), QColor(Qt::white));
    }

    // The pages as recorded once: every text of every page, and the first and last page drawn pixel by
    // pixel. A change in how pages are kept must not change what they show. TABEL_RECORD=1 records.
    void sameOutputAsRecorded()
    {
        const Document doc = workersDocument(40);
        QStringList texts;
        for (int p = 0; p < doc.pageCount(); ++p)
            texts << QStringLiteral("— %1 —").arg(p + 1) << doc.texts(p);
        const QString textFile = QStringLiteral(RECORDED "/workers40.txt");
        const QList<int> drawn = {0, doc.pageCount() - 1};
        if (qEnvironmentVariableIsSet("TABEL_RECORD")) {
            QDir().mkpath(QStringLiteral(RECORDED));
            QFile f(textFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(texts.join(u'\n').toUtf8() + '\n');
            for (int p : drawn)
                QVERIFY(doc.render(p, 72).save(QStringLiteral(RECORDED "/workers40-page%1.png").arg(p + 1)));
            QSKIP("recorded");
        }
        QFile f(textFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(texts, QString::fromUtf8(f.readAll()).chopped(1).split(u'\n'));
        for (int p : drawn) {
            const QImage recorded(QStringLiteral(RECORDED "/workers40-page%1.png").arg(p + 1));
            QVERIFY(!recorded.isNull());
            QCOMPARE(doc.render(p, 72).convertToFormat(QImage::Format_RGB32),
                     recorded.convertToFormat(QImage::Format_RGB32));
        }
    }

    // What repeats on every page (the headings, the workers' names, the kinds) is kept once: the pages
    // of a long report stay small.
    void repeatedTextsKeptOnce()
    {
        const Document doc = workersDocument(400);
        QVERIFY(doc.pageCount() > 20);
        QHash<QString, int> kept;
        for (const QString &s : doc.strings)
            ++kept[s];
        for (const QString &repeated :
             {QStringLiteral("Покраска"), QStringLiteral("Профиль направляющий ПН 1"),
              QStringLiteral("Щербаков Ёжи 7")})
            QCOMPARE(kept.value(repeated), 1);
        QVERIFY2(doc.strings.size() < 4000, qPrintable(QString::number(doc.strings.size())));
    }

    // A PDF written with texts shaped once carries exactly what the painter draws text by text: the
    // same pages, the same glyphs at the same places, clipped where the painter clips.
    void pdfSameAsThePainterDrawsIt_data()
    {
        QTest::addColumn<Document>("doc");
        QTest::newRow("report by workers") << workersDocument(40);
        Document odd;
        odd.fonts = {FontSpec{QStringLiteral("Arial"), 10, false, false},
                     FontSpec{QStringLiteral("Arial"), 14, true, true},
                     FontSpec{QStringLiteral("Courier New"), 8, false, false}};
        odd.strings = {QStringLiteral("Щербаков Ёжи"),
                       QStringLiteral("Текст шире своей клетки, обрезается по её краю"),
                       QStringLiteral("табуляция\tвнутри"),
                       QStringLiteral("две\nстроки"),
                       QStringLiteral("  пробелы по краям  "),
                       QStringLiteral("Latin, кириллица, 12 345,678 ₽ №5"),
                       QStringLiteral("עברית и العربية"),
                       QStringLiteral("漢字 и 😀"),
                       QStringLiteral("e\u0301 и й"),
                       QString(),
                       QStringLiteral("'); drop table t; --"),
                       QStringLiteral("Текст шире своей клетки, обрезается по её краю"),
                       QStringLiteral("Иванов & Сыновья"),
                       QStringLiteral("ниже своей клетки")};
        Page page;
        const quint8 aligns[] = {quint8(Qt::AlignLeft), quint8(Qt::AlignRight), quint8(Qt::AlignHCenter)};
        float y = 10;
        for (int round = 0; round < 4; ++round) // each text in the same box, each time elsewhere
            for (qint32 t = 0; t < qint32(odd.strings.size()); ++t) {
                DrawOp op;
                op.kind = DrawOp::Kind::Text;
                op.text = t;
                op.font = qint16(t % 3);
                op.align = aligns[(t / 3) % 3];
                op.x = 10.3f + 7.1f * float(round);
                op.y = y;
                op.w = t == 1 ? 30 : 120.7f;
                op.h = t == qint32(odd.strings.size()) - 1 ? 1.5f : 6.35f; // the last: cut top and bottom
                page.ops.push_back(op);
                y += 7.13f;
                if (y > 280) {
                    odd.pages.push_back(std::move(page));
                    page = Page();
                    y = 10;
                }
            }
        odd.pages.push_back(std::move(page));
        QTest::newRow("odd texts") << odd;
    }

    void pdfSameAsThePainterDrawsIt()
    {
        QFETCH(Document, doc);
        QTemporaryDir dir;
        const QString written = dir.filePath(QStringLiteral("written.pdf"));
        doc.writePdf(written, QStringLiteral("t"));
        const QString drawn = dir.filePath(QStringLiteral("drawn.pdf"));
        {
            QPdfWriter writer(drawn);
            writer.setPageLayout(doc.pageLayout());
            writer.setResolution(600);
            writer.setCreator(QStringLiteral("Табель"));
            writer.setTitle(QStringLiteral("t"));
            QPainter painter(&writer);
            for (int i = 0; i < doc.pageCount(); ++i) {
                if (i > 0)
                    writer.newPage();
                doc.paint(painter, i);
            }
        }
        const QList<QByteArray> a = streams(written), b = streams(drawn);
        QVERIFY(a.size() > doc.pageCount());
        QCOMPARE(a.size(), b.size());
        for (qsizetype i = 0; i < a.size(); ++i)
            QCOMPARE(a[i], b[i]);
    }

    void unwritablePdfIsAnError()
    {
        const Document doc = workersDocument(1);
        QVERIFY_THROWS_EXCEPTION(ReportError, doc.writePdf(QStringLiteral("/nonexistent/dir/x.pdf")));
    }

    // A file replaced by a report is the new one whole, readable by others like any file written; no
    // temporary file stays beside it.
    void pdfReplacesAFileWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.pdf"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old report");
        old.close();
        workersDocument(3).writePdf(path);
        QFile pdf(path);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.readAll().startsWith("%PDF"));
        QVERIFY(pdf.permissions() & QFileDevice::ReadOther);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("report.pdf")});
    }

    // Documents put one after the other: every page as it was, fonts and item names shared.
    void appendedDocumentsKeepTheirPages()
    {
        Document first = workersDocument(2);
        const Document second = workersDocument(40);
        Document copy = second;
        copy.fonts.insert(copy.fonts.begin(), FontSpec{QStringLiteral("Courier"), 30, true, true});
        copy.itemNames.insert(copy.itemNames.begin(), QStringLiteral("unused"));
        for (Page &p : copy.pages)
            for (DrawOp &op : p.ops) {
                op.font = op.font >= 0 ? qint16(op.font + 1) : op.font;
                op.item = op.item >= 0 ? qint16(op.item + 1) : op.item;
            }
        const int firstPages = first.pageCount();
        const size_t fonts = first.fonts.size();
        first.append(std::move(copy));
        QCOMPARE(first.pageCount(), firstPages + second.pageCount());
        QCOMPARE(first.fonts.size(), fonts + 1); // only the new one added
        for (int p = 0; p < second.pageCount(); ++p) {
            QCOMPARE(first.texts(firstPages + p), second.texts(p));
            QCOMPARE(first.render(firstPages + p, 40), second.render(p, 40));
            for (const QString &item : second.itemNames)
                QCOMPARE(first.opsOf(firstPages + p, item).size(), second.opsOf(p, item).size());
        }
    }
};

QTEST_MAIN(TestReportOutput)
#include "tst_reportoutput.moc"
