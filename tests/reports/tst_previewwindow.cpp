#include "reportengine/reportfixtures.h"
#include "reports/previewwindow.h"
#include "reports/printing.h"
#include "testsupport/recordingmessages.h"

#include <QDir>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace tabel;
using namespace tabel::report;

class TestPreviewWindow : public QObject
{
    Q_OBJECT
    static void driveThePreview(PreviewWindow *w)
    {
        PreviewWindow &preview = *w;
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

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void printsTheChosenPages()
    {
        // The printer path, with a PDF file as the printer.
        const Document doc = workersDocument(40);
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("printed.pdf")));
        printer.setFromTo(2, 3);
        printDocument(doc, &printer);
        const QString info = run(QStringLiteral("pdfinfo"), {dir.filePath(QStringLiteral("printed.pdf"))});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))), qPrintable(info));
        const QString text = run(QStringLiteral("pdftotext"),
                                 {dir.filePath(QStringLiteral("printed.pdf")), QStringLiteral("-")});
        QVERIFY(!text.contains(QStringLiteral("Отчет по рабочим с"))); // the heading is on page 1 only
        QVERIFY(text.contains(QStringLiteral("Щербаков Ёжи")));
    }

    void previewNavigatesAndZooms()
    {
        test::RecordingMessages messages;
        WindowServices services;
        services.messages = &messages;
        // The modal call is the test's: the window is driven while it is "open".
        services.showModal = [](QDialog *d) {
            d->show();
            driveThePreview(static_cast<PreviewWindow *>(d));
            return 0;
        };
        PreviewWindow preview(services);
        preview.preview(workersDocument(40), PreviewWindow::Zoom::PageWidth, QStringLiteral("Отчет"));
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(!preview.isVisible());
        QVERIFY(messages.boxes.isEmpty());
    }

    void unwritablePdfIsShownAsAnError()
    {
        test::RecordingMessages messages;
        WindowServices services;
        services.messages = &messages;
        services.showModal = [](QDialog *) { return 0; };
        PreviewWindow preview(services);
        preview.preview(workersDocument(1), PreviewWindow::Zoom::WholePage, QString());
        QVERIFY(!preview.savePdf(QStringLiteral("/nonexistent/dir/x.pdf")));
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes.first().caption, QStringLiteral("Ошибка"));
    }
};

QTEST_MAIN(TestPreviewWindow)
#include "tst_previewwindow.moc"
