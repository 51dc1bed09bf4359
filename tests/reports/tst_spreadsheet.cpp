#include "reports/spreadsheet.h"
#include "testsupport/recordingmessages.h"
#include "ui/windowsetup.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace tabel;

// The spreadsheet output writes real .xlsx files; they are read back with openpyxl.
class TestSpreadsheet : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    test::RecordingMessages messages;
    QStringList opened;

    static QJsonObject read(const QString &path)
    {
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(TESTS "/reports/readxlsx.py"), path});
        p.waitForFinished(60000);
        return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    }
    std::unique_ptr<Spreadsheet> sheet()
    {
        auto s = std::make_unique<Spreadsheet>(&messages);
        s->setFolder(dir.path());
        s->setOpener([this](const QString &path) {
            opened << path;
            return true;
        });
        return s;
    }

private Q_SLOTS:
    void initTestCase() { useShopLocale(); }
    void init()
    {
        messages.clear();
        opened.clear();
    }

    void cellsAsTheyWereWritten_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("textFormat");
        QTest::addColumn<QString>("type"); // openpyxl: n number, s string
        QTest::addColumn<QString>("value");
        QTest::newRow("number with the locale's comma") << QStringLiteral("12,5") << false << QStringLiteral("n")
                                                        << QStringLiteral("12.5");
        QTest::newRow("whole number") << QStringLiteral("3") << false << QStringLiteral("n") << QStringLiteral("3");
        QTest::newRow("a point is no decimal separator here") << QStringLiteral("12.5") << false << QStringLiteral("s")
                                                              << QStringLiteral("12.5");
        QTest::newRow("a mark stays text") << QStringLiteral("1-2") << false << QStringLiteral("s") << QStringLiteral("1-2");
        QTest::newRow("no formulas") << QStringLiteral("=1+1") << false << QStringLiteral("s") << QStringLiteral("=1+1");
        QTest::newRow("no dates") << QStringLiteral("01.03.2024") << false << QStringLiteral("s")
                                  << QStringLiteral("01.03.2024");
        QTest::newRow("text format keeps digits as text") << QStringLiteral("007") << true << QStringLiteral("s")
                                                          << QStringLiteral("007");
        QTest::newRow("Cyrillic") << QStringLiteral("Готовая продукция") << false << QStringLiteral("s")
                                  << QStringLiteral("Готовая продукция");
    }

    void cellsAsTheyWereWritten()
    {
        QFETCH(QString, text);
        QFETCH(bool, textFormat);
        QFETCH(QString, type);
        QFETCH(QString, value);
        auto s = sheet();
        QCOMPARE(s->openWorkbook(QStringLiteral("Проба")), 1);
        QCOMPARE(s->writeCell(1, 2, 3, text, textFormat, false, false), 1);
        QCOMPARE(s->setVisible(true), 1);
        const QJsonObject cell = read(s->filePath()).value(QStringLiteral("cells")).toObject().value(QStringLiteral("B3")).toObject();
        QCOMPARE(cell.value(QStringLiteral("type")).toString(), type);
        QCOMPARE(cell.value(QStringLiteral("value")).toVariant().toString(), value);
        QCOMPARE(cell.value(QStringLiteral("format")).toString(), textFormat ? QStringLiteral("@") : QStringLiteral("General"));
        QVERIFY(messages.boxes.isEmpty());
    }

    void boldFitAndEmpty()
    {
        auto s = sheet();
        QCOMPARE(s->openWorkbook(QStringLiteral("Операции")), 1);
        QVERIFY(QFileInfo(s->filePath()).fileName().startsWith(QStringLiteral("Операции ")));
        s->writeCell(1, 1, 1, QStringLiteral("Марка"), false, true, true);
        s->writeCell(1, 1, 2, QStringLiteral("Очень длинная марка изделия"), false, true, false);
        s->writeCell(1, 2, 1, QString()); // nothing written
        s->setVisible(true);
        QCOMPARE(opened, QStringList{s->filePath()});
        const QJsonObject book = read(s->filePath());
        const QJsonObject cells = book.value(QStringLiteral("cells")).toObject();
        QVERIFY(cells.value(QStringLiteral("A1")).toObject().value(QStringLiteral("bold")).toBool());
        QVERIFY(!cells.value(QStringLiteral("A2")).toObject().value(QStringLiteral("bold")).toBool());
        QVERIFY(!cells.contains(QStringLiteral("B1")));
        // The column is as wide as its widest text.
        QVERIFY(book.value(QStringLiteral("widths")).toObject().value(QStringLiteral("A")).toDouble() >= 27);
    }

    void earlierExportsAreKept()
    {
        auto s = sheet();
        s->openWorkbook(QStringLiteral("Операции"));
        s->writeCell(1, 1, 1, QStringLiteral("первый"));
        s->setVisible(true);
        const QString first = s->filePath();
        s->openWorkbook(QStringLiteral("Операции"));
        s->writeCell(1, 1, 1, QStringLiteral("второй"));
        s->setVisible(true);
        QVERIFY(s->filePath() != first); // the same minute: another name
        QCOMPARE(read(first).value(QStringLiteral("cells")).toObject().value(QStringLiteral("A1")).toObject().value(QStringLiteral("value")).toString(),
                 QStringLiteral("первый"));
    }

    void noProgramForSpreadsheets()
    {
        auto s = sheet();
        s->setOpener([](const QString &) { return false; });
        s->openWorkbook(QStringLiteral("Операции"));
        s->writeCell(1, 1, 1, QStringLiteral("Марка"));
        s->setVisible(true);
        QCOMPARE(messages.boxes.size(), 1);
        QVERIFY(messages.last().contains(s->filePath()));
        QVERIFY(QFileInfo::exists(s->filePath())); // written in full all the same
    }

    void failures()
    {
        auto s = sheet();
        s->setFolder(QStringLiteral("/proc/no/such/folder"));
        QCOMPARE(s->openWorkbook(QStringLiteral("Операции")), -1);
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes.first().caption, QStringLiteral("Ошибка"));
        QCOMPARE(messages.last(), QStringLiteral("Ошибка открытия файла Microsoft Excel."));
        s->setFolder(dir.path());
        QCOMPARE(s->openWorkbook(QStringLiteral("Операции")), 1);
        QCOMPARE(s->writeCell(2, 1, 1, QStringLiteral("x")), -1);
        QCOMPARE(messages.boxes.last().caption, QStringLiteral("Ошибочный номер листа Microsoft Excel"));
        QCOMPARE(messages.last(), QStringLiteral("Ошибка при записи: лист 2, столбец 1, строка 1"));
        QCOMPARE(s->writeCell(1, 1, 1048577, QStringLiteral("за краем листа")), -1);
        QCOMPARE(messages.boxes.last().caption, QStringLiteral("Ошибка Microsoft Excel"));
        QCOMPARE(messages.last(), QStringLiteral("Ошибка при записи: лист 1, столбец 1, строка 1048577"));
        QCOMPARE(s->writeCell(1, 1, 1, QStringLiteral("дальше")), 1); // the export goes on
    }
};

QTEST_MAIN(TestSpreadsheet)
#include "tst_spreadsheet.moc"
