#include "formula.h"
#include "previewwindow.h"
#include "report.h"

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace tabel::report;

namespace {
Document workersDocument(int workers)
{
    QFile f(QStringLiteral(LAYOUTS "/workers.json"));
    f.open(QIODevice::ReadOnly);
    Report report(Layout::fromJson(f.readAll(), QStringLiteral("workers.json")));
    report.setLabel(QStringLiteral("TitleLabel"),
                    QStringLiteral("Отчет по рабочим с 01.02.2024 по 01.03.2024"));
    TableData data(QStringLiteral("t_Report"),
                   {QStringLiteral("fio"), QStringLiteral("kolvo"), QStringLiteral("summa"),
                    QStringLiteral("vid"), QStringLiteral("nom"), QStringLiteral("naimen"),
                    QStringLiteral("color")});
    for (int w = 0; w < workers; ++w)
        for (int n = 0; n < 3; ++n)
            data.append({QStringLiteral("Щербаков Ёжи %1").arg(w), 10 + n, 12.345 * (n + 1),
                         QStringLiteral("Покраска"), QStringLiteral("Профиль направляющий ПН %1").arg(n),
                         n % 2, n == 2 ? 1013 : n});
    return report.prepare(data);
}

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
} // namespace

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
        QFile f(QStringLiteral(LAYOUTS "/timesheet.json"));
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

    void printsTheChosenPages()
    {
        // The printer path, with a PDF file as the printer.
        const Document doc = workersDocument(40);
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("printed.pdf")));
        printer.setFromTo(2, 3);
        doc.print(&printer);
        const QString info = run(QStringLiteral("pdfinfo"), {dir.filePath(QStringLiteral("printed.pdf"))});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))), qPrintable(info));
        const QString text = run(QStringLiteral("pdftotext"),
                                 {dir.filePath(QStringLiteral("printed.pdf")), QStringLiteral("-")});
        QVERIFY(!text.contains(QStringLiteral("Отчет по рабочим с"))); // the heading is on page 1 only
        QVERIFY(text.contains(QStringLiteral("Щербаков Ёжи")));
    }

    void unwritablePdfIsAnError()
    {
        const Document doc = workersDocument(1);
        QVERIFY_THROWS_EXCEPTION(ReportError, doc.writePdf(QStringLiteral("/nonexistent/dir/x.pdf")));
    }

    void previewNavigatesAndZooms()
    {
        PreviewWindow preview(workersDocument(40), PreviewWindow::Zoom::PageWidth, QStringLiteral("Отчет"));
        preview.show();
        QVERIFY(preview.windowState() & Qt::WindowMaximized);
        const int pages = preview.document().pageCount();
        QCOMPARE(preview.pageText(), QStringLiteral("Страница 1 из %1").arg(pages));
        QTest::mouseClick(preview.findChild<QToolButton *>(QStringLiteral("nextButton")), Qt::LeftButton);
        QCOMPARE(preview.currentPage(), 1);
        QTest::mouseClick(preview.findChild<QToolButton *>(QStringLiteral("lastButton")), Qt::LeftButton);
        QCOMPARE(preview.currentPage(), pages - 1);
        QTest::mouseClick(preview.findChild<QToolButton *>(QStringLiteral("nextButton")), Qt::LeftButton);
        QCOMPARE(preview.currentPage(), pages - 1);
        QTest::keyClick(&preview, Qt::Key_PageUp);
        QCOMPARE(preview.currentPage(), pages - 2);
        const double width = preview.scale();
        QTest::mouseClick(preview.findChild<QToolButton *>(QStringLiteral("wholePageButton")),
                          Qt::LeftButton);
        QVERIFY(preview.scale() < width); // a whole A4 portrait page is narrower than the page width view
        const double whole = preview.scale();
        QTest::mouseClick(preview.findChild<QToolButton *>(QStringLiteral("zoomInButton")), Qt::LeftButton);
        QCOMPARE(preview.zoomMode(), PreviewWindow::Zoom::Custom);
        QVERIFY(preview.scale() > whole);
        QTemporaryDir dir;
        QVERIFY(preview.savePdf(dir.filePath(QStringLiteral("saved.pdf"))));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("saved.pdf"))));
        QTest::keyClick(&preview, Qt::Key_Escape);
        QVERIFY(!preview.isVisible());
    }
};

QTEST_MAIN(TestReportOutput)
#include "tst_reportoutput.moc"
