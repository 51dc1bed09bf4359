#include "acceptancedelegate.h"
#include "datamodule.h"
#include "recordingmessages.h"
#include "registerwindow.h"
#include "testdatabase.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace tabel;

namespace {
const QDate kSaturday(2023, 3, 18);
const QDate kMonday(2023, 3, 20);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);
} // namespace

class TestRegisterWindow : public QObject
{
    Q_OBJECT
    test::TestDatabase *db = nullptr;
    test::RecordingMessages messages;
    DataModule *dm = nullptr;
    RegisterWindow *window = nullptr;
    QDate today = kSaturday;

    template <typename T> T *child(const char *name) { return window->findChild<T *>(QLatin1String(name)); }
    QAbstractItemModel *gridModel() { return child<QTableView>("grid")->model(); }
    QStringList column(int c)
    {
        QStringList out;
        for (int r = 0; r < gridModel()->rowCount(); ++r)
            out << gridModel()->index(r, c).data().toString();
        return out;
    }
    void addEntry(const QDate &date, int shift, const QString &ok, int worker = 1)
    {
        db->exec(QStringLiteral(
                     "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, kol_vo, brak, cena, "
                     "color, time, ok, vvod) values ('%1', %2, %3, 10, 100, 12, 2, 1.5, 0, 8, '%4', '%1')")
                     .arg(date.toString(QStringLiteral("dd.MM.yyyy")))
                     .arg(shift)
                     .arg(worker)
                     .arg(ok));
    }

private Q_SLOTS:
    void initTestCase()
    {
        db = new test::TestDatabase;
        db->exec(QStringLiteral(
            "insert into accounts_dep.person (id, fio) values (1, 'Антонов А.А.'), (2, 'Борисов Б.Б.')"));
        db->exec(QStringLiteral(
            "insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa) values (10, 'ПН-27', 0.5)"));
        db->exec(QStringLiteral("insert into accounts_dep.vid_oper (id, vid) values (1, 'Резка')"));
        db->exec(
            QStringLiteral("insert into accounts_dep.oper (id, vid, naimen, i_id) values (100, 1, 0, 10)"));
        addEntry(kSaturday, 1, QStringLiteral("no"));
        addEntry(kSaturday, 1, QStringLiteral("ok"), 2);
        addEntry(kSaturday, 1, QStringLiteral("ta"), 2);
        addEntry(kMonday, 1, QStringLiteral("да"));
        addEntry(kMonday, 1, QStringLiteral("OK"), 2);
        addEntry(kMonday, 4, QStringLiteral("no"), 2);
        dm = new DataModule(&messages);
        dm->connection().setDriver(db->driver());
        dm->connection().setConnectionString(db->connection().connectionString());
        dm->connection().open();
        for (int s = 1; s <= 4; ++s)
            dm->smena(s)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
        WindowServices services;
        services.messages = &messages;
        services.showModal = [](QDialog *d) {
            d->show();
            d->hide();
            return 0;
        };
        window = new RegisterWindow(dm, services);
        window->setClock([this] { return today; });
    }
    void cleanupTestCase()
    {
        delete window;
        delete dm;
        delete db;
    }

    void showingOnSaturdayTicksDayOff()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(child<QDateEdit>("datePicker")->date(), kSaturday);
        auto *dayOff = child<QCheckBox>("dayOffCheck");
        QVERIFY(dayOff->isChecked());
        QVERIFY(window->isDayOff());
        QVERIFY(dayOff->font().bold());
        QCOMPARE(dayOff->grab().toImage().pixelColor(1, 1), kRed); // what the user sees
        QCOMPARE(dayOff->text(), QStringLiteral("Выходной"));
        // Shift 1 of Saturday, by name; the "ta" entry is not listed.
        QCOMPARE(column(0), (QStringList{QStringLiteral("Антонов А.А."), QStringLiteral("Борисов Б.Б.")}));
        QCOMPARE(column(10), (QStringList{QStringLiteral("no"), QStringLiteral("ok")}));
        QCOMPARE(column(8), (QStringList{QStringLiteral("15"), QStringLiteral("15")})); // (12 - 2) * 1.5
        QVERIFY(messages.boxes.isEmpty());
    }

    void gridColumns()
    {
        auto *grid = child<QTableView>("grid");
        const QStringList titles = {QStringLiteral("Фамилия И.О."), QStringLiteral("Марка изделия"),
                                    QStringLiteral("Операция"),     QStringLiteral("Вид"),
                                    QStringLiteral("Цвет"),         QStringLiteral("Часы"),
                                    QStringLiteral("Кол-во"),       QStringLiteral("Брак"),
                                    QStringLiteral("Итого (р.)"),   QStringLiteral("Премия (%)"),
                                    QStringLiteral("OK"),           QStringLiteral("Заведен")};
        for (int c = 0; c < titles.size(); ++c)
            QCOMPARE(gridModel()->headerData(c, Qt::Horizontal).toString(), titles.at(c));
        QVERIFY(grid->isColumnHidden(9));
        QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    }

    void dateConfirmedWithEnter()
    {
        auto *picker = child<QDateEdit>("datePicker");
        picker->setDate(kMonday);
        // Typed but not confirmed: nothing else changes.
        QVERIFY(window->isDayOff());
        QCOMPARE(dm->smena(1)->param(QStringLiteral("data")).toDate(), kSaturday);
        QTest::keyClick(picker, Qt::Key_Return);
        QVERIFY(!window->isDayOff());
        QVERIFY(!child<QCheckBox>("dayOffCheck")->font().bold());
        QVERIFY(child<QCheckBox>("dayOffCheck")->grab().toImage().pixelColor(1, 1) != kRed);
        QCOMPARE(dm->smena(1)->param(QStringLiteral("data")).toDate(), kMonday);
        QCOMPARE(column(10), (QStringList{QStringLiteral("да"), QStringLiteral("OK")}));
        QVERIFY(window->isVisible()); // Enter in the picker does not close the window
    }

    void acceptanceMarksColoured_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("ok") << QStringLiteral("ok") << kGreen;
        QTest::newRow("да") << QStringLiteral("да") << kGreen;
        QTest::newRow("no") << QStringLiteral("no") << kRed;
        QTest::newRow("OK in capitals") << QStringLiteral("OK") << kRed;
        QTest::newRow("ok with a blank") << QStringLiteral("ok ") << kRed;
        QTest::newRow("empty") << QString() << kRed;
    }

    void acceptanceMarksColoured()
    {
        QFETCH(QString, mark);
        QFETCH(QColor, colour);
        auto *delegate =
            qobject_cast<AcceptanceDelegate *>(child<QTableView>("grid")->itemDelegateForColumn(10));
        QVERIFY(delegate);
        QAbstractItemModel *model = gridModel();
        // Find a row of the grid with this mark, or check the rule directly.
        QStyleOptionViewItem option;
        bool found = false;
        for (int r = 0; r < model->rowCount(); ++r) {
            const QModelIndex idx = model->index(r, 10);
            if (idx.data().toString() == mark) {
                delegate->initStyleOption(&option, idx);
                found = true;
            }
        }
        if (found) {
            QVERIFY(option.font.bold());
            QCOMPARE(option.palette.color(QPalette::Text), colour);
        }
        QCOMPARE(isAcceptedMark(mark), colour == kGreen);
    }

    void shiftButtonsSwitchTheView()
    {
        auto *b1 = child<QPushButton>("shift1Button");
        auto *b4 = child<QPushButton>("shift4Button");
        QCOMPARE(b4->text(), QStringLiteral("Переработка"));
        QTest::mouseClick(b4, Qt::LeftButton);
        QCOMPARE(window->shiftView(), 4);
        QCOMPARE(window->currentQuery(), dm->smena(4));
        QCOMPARE(gridModel()->objectName(), QStringLiteral("DataSource4"));
        QCOMPARE(column(0), QStringList{QStringLiteral("Борисов Б.Б.")});
        QVERIFY(b4->font().bold());
        const QImage face = b4->grab().toImage();
        QCOMPARE(face.pixelColor(face.width() / 2, 3), kGreen);
        QVERIFY(!b1->font().bold());
        QVERIFY(b1->grab().toImage().pixelColor(b1->width() / 2, 3) != kGreen);
        QTest::mouseClick(child<QPushButton>("shift2Button"), Qt::LeftButton);
        QCOMPARE(window->shiftView(), 2);
        QCOMPARE(gridModel()->rowCount(), 0);
        QTest::mouseClick(b1, Qt::LeftButton);
        QCOMPARE(window->shiftView(), 1);
        QVERIFY(b1->font().bold());
    }

    void refreshRereadsWithSameDate()
    {
        const int before = gridModel()->rowCount();
        addEntry(kMonday, 1, QStringLiteral("no"));
        QTest::mouseClick(child<QPushButton>("refreshButton"), Qt::LeftButton);
        QCOMPARE(gridModel()->rowCount(), before + 1);
        QCOMPARE(child<QDateEdit>("datePicker")->date(), kMonday);
        // F5 does the same.
        addEntry(kMonday, 1, QStringLiteral("ok"));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_F5);
        QTRY_COMPARE(gridModel()->rowCount(), before + 2); // a button's shortcut clicks it a moment later
    }

    void returningFromAnotherWindowResetsToToday()
    {
        QCOMPARE(child<QDateEdit>("datePicker")->date(), kMonday);
        QDialog other;
        window->runWindow(&other);
        QCOMPARE(child<QDateEdit>("datePicker")->date(), kSaturday);
        QCOMPARE(dm->smena(1)->param(QStringLiteral("data")).toDate(), kSaturday);
        QCOMPARE(window->shiftView(), 1); // the view stays
        // A weekday "today" leaves the box as it was.
        today = kMonday;
        window->runWindow(&other);
        QVERIFY(window->isDayOff());
        today = kSaturday;
    }

    void failedOpeningShowsStandardError()
    {
        db->exec(QStringLiteral("alter table accounts_dep.vid_oper rename to vid_oper_away"));
        messages.clear();
        QTest::mouseClick(child<QPushButton>("refreshButton"), Qt::LeftButton);
        db->exec(QStringLiteral("alter table accounts_dep.vid_oper_away rename to vid_oper"));
        QCOMPARE(messages.boxes.size(), 1);
        QVERIFY(messages.boxes.first().standard);
        QVERIFY(messages.boxes.first().text.contains(QStringLiteral("vid_oper")));
        QVERIFY(window->isVisible());
        QTest::mouseClick(child<QPushButton>("refreshButton"), Qt::LeftButton);
        QCOMPARE(messages.boxes.size(), 1);
        QVERIFY(gridModel()->rowCount() > 0);
    }

    void summaryReportsPresetThePreviousMonth()
    {
        QSignalSpy spy(window, &RegisterWindow::summaryReportsRequested);
        today = QDate(2024, 1, 15);
        child<QAction>("summaryReportsAction")->trigger();
        today = kSaturday;
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().at(0).toDate(), QDate(2023, 12, 1));
        QCOMPARE(spy.first().at(1).toDate(), QDate(2024, 1, 1));
    }

    void versionTimer()
    {
        auto *timer = window->findChild<QTimer *>(QStringLiteral("versionTimer"));
        QVERIFY(timer);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 30000);
        QSignalSpy spy(window, &RegisterWindow::versionCheckDue);
        timer->start(1);
        QTRY_VERIFY(spy.count() > 0);
        timer->start(30000);
    }

    void escapeClosesTheWindow()
    {
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }
};

QTEST_MAIN(TestRegisterWindow)
#include "tst_registerwindow.moc"
