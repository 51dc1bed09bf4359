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
        auto s = std::make_unique<Spreadsheet>();
        s->setFolder(dir.path());
        s->setOpener([this](const QString &path) {
            opened << path;
            return true;
        });
        return s;
    }
    static QString value(const QString &path, const char *cell)
    {
        return read(path)
            .value(QStringLiteral("cells"))
            .toObject()
            .value(QLatin1String(cell))
            .toObject()
            .value(QStringLiteral("value"))
            .toVariant()
            .toString();
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
        QTest::newRow("number with the locale's comma")
            << QStringLiteral("12,5") << false << QStringLiteral("n") << QStringLiteral("12.5");
        QTest::newRow("whole number")
            << QStringLiteral("3") << false << QStringLiteral("n") << QStringLiteral("3");
        QTest::newRow("a point is no decimal separator here")
            << QStringLiteral("12.5") << false << QStringLiteral("s") << QStringLiteral("12.5");
        QTest::newRow("a mark stays text")
            << QStringLiteral("1-2") << false << QStringLiteral("s") << QStringLiteral("1-2");
        QTest::newRow("no formulas") << QStringLiteral("=1+1") << false << QStringLiteral("s")
                                     << QStringLiteral("=1+1");
        QTest::newRow("no dates") << QStringLiteral("01.03.2024") << false << QStringLiteral("s")
                                  << QStringLiteral("01.03.2024");
        QTest::newRow("text format keeps digits as text")
            << QStringLiteral("007") << true << QStringLiteral("s") << QStringLiteral("007");
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
        Workbook book = s->create(QStringLiteral("Проба"));
        QVERIFY(book.isOpen());
        QVERIFY(book.write(2, 3, text, textFormat ? CellOptions(CellOption::Text) : CellOptions()));
        QVERIFY(!s->deliver(book));
        const QJsonObject cell = read(book.path())
                                     .value(QStringLiteral("cells"))
                                     .toObject()
                                     .value(QStringLiteral("B3"))
                                     .toObject();
        QCOMPARE(cell.value(QStringLiteral("type")).toString(), type);
        QCOMPARE(cell.value(QStringLiteral("value")).toVariant().toString(), value);
        QCOMPARE(cell.value(QStringLiteral("format")).toString(),
                 textFormat ? QStringLiteral("@") : QStringLiteral("General"));
        QVERIFY(messages.boxes.isEmpty());
    }

    void boldFitAndEmpty()
    {
        auto s = sheet();
        Workbook book = s->create(QStringLiteral("Операции"));
        QVERIFY(QFileInfo(book.path()).fileName().startsWith(QStringLiteral("Операции ")));
        book.write(1, 1, QStringLiteral("Марка"), CellOption::FitColumn | CellOption::Bold);
        book.write(1, 2, QStringLiteral("Очень длинная марка изделия"), CellOption::FitColumn);
        book.write(2, 1, QString()); // nothing written
        QVERIFY(!s->deliver(book));
        QCOMPARE(opened, QStringList{book.path()});
        const QJsonObject read = TestSpreadsheet::read(book.path());
        const QJsonObject cells = read.value(QStringLiteral("cells")).toObject();
        QVERIFY(cells.value(QStringLiteral("A1")).toObject().value(QStringLiteral("bold")).toBool());
        QVERIFY(!cells.value(QStringLiteral("A2")).toObject().value(QStringLiteral("bold")).toBool());
        QVERIFY(!cells.contains(QStringLiteral("B1")));
        // The column is as wide as its widest text.
        QVERIFY(read.value(QStringLiteral("widths")).toObject().value(QStringLiteral("A")).toDouble() >= 27);
    }

    void earlierExportsAreKept()
    {
        auto s = sheet();
        Workbook first = s->create(QStringLiteral("Операции"));
        first.write(1, 1, QStringLiteral("первый"));
        s->deliver(first);
        Workbook second = s->create(QStringLiteral("Операции"));
        second.write(1, 1, QStringLiteral("второй"));
        s->deliver(second);
        QVERIFY(second.path() != first.path()); // the same minute: another name
        QCOMPARE(value(first.path(), "A1"), QStringLiteral("первый"));
        QCOMPARE(value(second.path(), "A1"), QStringLiteral("второй"));
    }

    void noProgramForSpreadsheets()
    {
        auto s = sheet();
        s->setOpener([](const QString &) { return false; });
        Workbook book = s->create(QStringLiteral("Операции"));
        book.write(1, 1, QStringLiteral("Марка"));
        const auto told = s->deliver(book);
        QVERIFY(told && told->information);
        QCOMPARE(told->caption, QStringLiteral("Excel"));
        QVERIFY(told->text.contains(book.path()));
        QVERIFY(QFileInfo::exists(book.path())); // written in full all the same
        showSpreadsheetProblem(&messages, *told);
        QCOMPARE(messages.boxes.size(), 1);
    }

    void failures()
    {
        auto s = sheet();
        s->setFolder(QStringLiteral("/proc/no/such/folder"));
        Workbook none = s->create(QStringLiteral("Операции"));
        QVERIFY(!none.isOpen());
        QCOMPARE(none.problem()->caption, QStringLiteral("Ошибка"));
        QCOMPARE(none.problem()->text, QStringLiteral("Ошибка открытия файла Microsoft Excel."));
        QCOMPARE(s->deliver(none)->text, QStringLiteral("Ошибка открытия файла Microsoft Excel."));
        s->setFolder(dir.path());
        Workbook book = s->create(QStringLiteral("Операции"));
        QVERIFY(!book.write(1, 1048577, QStringLiteral("за краем листа")));
        QCOMPARE(book.problem()->caption, QStringLiteral("Ошибка Microsoft Excel"));
        QCOMPARE(book.problem()->text,
                 QStringLiteral("Ошибка при записи: лист 1, столбец 1, строка 1048577"));
        QVERIFY(!book.write(0, 1, QStringLiteral("левее края")));
        QCOMPARE(book.problem()->text,
                 QStringLiteral("Ошибка при записи: лист 1, столбец 1, строка 1048577")); // the first
        QVERIFY(book.write(1, 1, QStringLiteral("дальше"))); // the export goes on
        // Delivered: the problem is told, the rest of the file is there and opened.
        QCOMPARE(s->deliver(book)->caption, QStringLiteral("Ошибка Microsoft Excel"));
        QCOMPARE(opened, QStringList{book.path()});
        QCOMPARE(value(book.path(), "A1"), QStringLiteral("дальше"));
        QVERIFY(messages.boxes.isEmpty()); // the workbook shows nothing itself
    }

    // A workbook that is never delivered (an export that stopped half-way, an exception) leaves no
    // file, and a moved one is removed once.
    void unfinishedWorkbookGoes()
    {
        auto s = sheet();
        QString path;
        {
            Workbook book = s->create(QStringLiteral("Операции"));
            path = book.path();
            book.write(1, 1, QStringLiteral("половина"));
            QVERIFY(QFileInfo::exists(path));
            try {
                Workbook moved(std::move(book));
                QCOMPARE(moved.path(), path);
                throw std::runtime_error("stop");
            } catch (const std::runtime_error &) {
            }
            QVERIFY(!QFileInfo::exists(path));
        }
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(opened.isEmpty());
    }
};

QTEST_MAIN(TestSpreadsheet)
#include "tst_spreadsheet.moc"
