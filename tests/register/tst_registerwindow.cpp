#include "register/acceptancedelegate.h"
#include "register/registerwindow.h"
#include "testsupport/shop.h"
#include "testsupport/windowfixture.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLayout>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <memory>

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
    std::unique_ptr<test::TestDatabase> db;
    std::unique_ptr<test::WindowFixture> fx;
    RegisterWindow *window = nullptr;
    int worker1 = 0, worker2 = 0, operation = 0;

    QAbstractItemModel *gridModel() { return test::child<QTableView>(window, "grid")->model(); }
    QStringList column(int c)
    {
        QStringList out;
        for (int r = 0; r < gridModel()->rowCount(); ++r)
            out << gridModel()->index(r, c).data().toString();
        return out;
    }
    int addEntry(const QDate &date, int shift, const QString &ok, int worker = 0, int quantity = 12)
    {
        return test::Shop(*db).entry(
            {date, shift, worker ? worker : worker1, operation, quantity, 2, 1.5, 8, ok});
    }
    // The register as the login leaves it, shown.
    void showWindow()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }

private Q_SLOTS:
    void initTestCase()
    {
        db = std::make_unique<test::TestDatabase>();
        test::Shop shop(*db);
        worker1 = shop.worker(QStringLiteral("Антонов А.А."));
        worker2 = shop.worker(QStringLiteral("Борисов Б.Б."));
        operation = shop.operation(shop.product(QStringLiteral("ПН-27"), 0.5),
                                   shop.kind(QStringLiteral("Резка")), 0, {1.5});
        addEntry(kSaturday, 1, QStringLiteral("no"));
        addEntry(kSaturday, 1, QStringLiteral("ok"), worker2, 883); // (883 - 2) * 1.5 = 1321.5
        addEntry(kSaturday, 1, QStringLiteral("ta"), worker2);
        addEntry(kMonday, 1, QStringLiteral("да"));
        addEntry(kMonday, 1, QStringLiteral("OK"), worker2);
        addEntry(kMonday, 4, QStringLiteral("no"), worker2);
        const int blank = addEntry(kMonday.addDays(1), 1, QStringLiteral("no"));
        db->exec(QStringLiteral("update accounts_dep.smena set ok = '' where id = %1").arg(blank));
    }
    void cleanupTestCase() { db.reset(); }

    // A fresh register for every test: nothing carries over from one to the next.
    void init()
    {
        fx = std::make_unique<test::WindowFixture>(*db, kSaturday);
        fx->session.shiftViews().setAcceptanceFilter(QStringLiteral("ta"));
        window = fx->windows.add(std::make_unique<RegisterWindow>(fx->context));
        window->setClock(fx->clock());
    }
    void cleanup()
    {
        window = nullptr;
        fx.reset();
    }

    void showingOnSaturdayTicksDayOff()
    {
        showWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("Табель"));
        QCOMPARE(test::child<QDateEdit>(window, "datePicker")->date(), kSaturday);
        auto *dayOff = test::child<QCheckBox>(window, "dayOffCheck");
        QVERIFY(dayOff->isChecked());
        QVERIFY(window->isDayOff());
        QVERIFY(dayOff->font().bold());
        QCOMPARE(dayOff->grab().toImage().pixelColor(1, 1), kRed); // what the user sees
        QCOMPARE(dayOff->text(), QStringLiteral("Выходной"));
        // Shift 1 of Saturday, by name; the "ta" entry is not listed.
        QCOMPARE(column(0), (QStringList{QStringLiteral("Антонов А.А."), QStringLiteral("Борисов Б.Б.")}));
        QCOMPARE(column(10), (QStringList{QStringLiteral("no"), QStringLiteral("ok")}));
        // Money with exactly two decimals, the locale's separator.
        QCOMPARE(column(8), (QStringList{QStringLiteral("15,00"), QStringLiteral("1321,50")}));
        QVERIFY(fx->messages.boxes.isEmpty());
    }

    void fixedFrameSizedToItsContents()
    {
        showWindow();
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QCOMPARE(window->size(), window->layout()->sizeHint());
        QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
    }

    void gridColumns()
    {
        showWindow();
        auto *grid = test::child<QTableView>(window, "grid");
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

    void draggedColumnWidthsStay()
    {
        showWindow();
        auto *grid = test::child<QTableView>(window, "grid");
        grid->horizontalHeader()->resizeSection(0, 333); // as a drag does
        grid->horizontalHeader()->resizeSection(7, 44);
        // Date change, "Обновить", return from another window, another shift view and back.
        test::child<QDateEdit>(window, "datePicker")->setDate(kMonday);
        QTest::keyClick(test::child<QDateEdit>(window, "datePicker"), Qt::Key_Return);
        QTest::mouseClick(test::child<QPushButton>(window, "refreshButton"), Qt::LeftButton);
        QDialog other;
        window->runWindow(&other);
        QTest::mouseClick(test::child<QPushButton>(window, "shift4Button"), Qt::LeftButton);
        QCOMPARE(grid->columnWidth(0), 333);
        QTest::mouseClick(test::child<QPushButton>(window, "shift1Button"), Qt::LeftButton);
        QCOMPARE(grid->columnWidth(0), 333);
        QCOMPARE(grid->columnWidth(7), 44);
        QVERIFY(grid->isColumnHidden(9));
    }

    void dateConfirmedWithEnter()
    {
        showWindow();
        auto *picker = test::child<QDateEdit>(window, "datePicker");
        picker->setDate(kMonday);
        // Typed but not confirmed: nothing else changes.
        QVERIFY(window->isDayOff());
        QCOMPARE(fx->session.shiftViews().date(), kSaturday);
        QTest::keyClick(picker, Qt::Key_Return);
        QVERIFY(!window->isDayOff());
        QVERIFY(!test::child<QCheckBox>(window, "dayOffCheck")->font().bold());
        QVERIFY(test::child<QCheckBox>(window, "dayOffCheck")->grab().toImage().pixelColor(1, 1) != kRed);
        QCOMPARE(fx->session.shiftViews().date(), kMonday);
        QCOMPARE(column(10), (QStringList{QStringLiteral("да"), QStringLiteral("OK")}));
        QVERIFY(window->isVisible()); // Enter in the picker does not close the window
    }

    void anyClosingOfTheCalendarAppliesTheDate_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("a click on a day") << 0;
        QTest::newRow("Enter in the calendar") << 1;
        QTest::newRow("Esc, no choice") << 2;
    }

    void anyClosingOfTheCalendarAppliesTheDate()
    {
        QFETCH(int, how);
        showWindow();
        auto *picker = test::child<QDateEdit>(window, "datePicker");
        QCalendarWidget *calendar = picker->calendarWidget();
        QWidget *popup = calendar->window();
        picker->setDate(kMonday); // as typed, not yet confirmed
        QCOMPARE(fx->session.shiftViews().date(), kSaturday);
        popup->show();
        QVERIFY(QTest::qWaitForWindowExposed(popup));
        if (how == 0) {
            calendar->setSelectedDate(kMonday);
            Q_EMIT calendar->clicked(kMonday);
            popup->hide();
        } else if (how == 1) {
            calendar->setSelectedDate(kMonday);
            QTest::keyClick(calendar->focusWidget() ? calendar->focusWidget() : calendar, Qt::Key_Return);
            popup->hide();
        } else {
            QTest::keyClick(popup, Qt::Key_Escape);
            popup->hide();
        }
        QTRY_COMPARE(fx->session.shiftViews().date(), kMonday);
        QVERIFY(!window->isDayOff());
    }

    void acceptanceMarksColoured_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QDate>(
            "day"); // where the fixture has a shift 1 row with this mark; none: no such row
        QTest::newRow("ok") << QStringLiteral("ok") << kGreen << kSaturday;
        QTest::newRow("да") << QStringLiteral("да") << kGreen << kMonday;
        QTest::newRow("no") << QStringLiteral("no") << kRed << kSaturday;
        QTest::newRow("OK in capitals") << QStringLiteral("OK") << kRed << kMonday;
        QTest::newRow("ok with a blank")
            << QStringLiteral("ok ") << kRed << QDate(); // longer than the column
        QTest::newRow("empty") << QString() << kRed << kMonday.addDays(1);
    }

    void acceptanceMarksColoured()
    {
        QFETCH(QString, mark);
        QFETCH(QColor, colour);
        QFETCH(QDate, day);
        showWindow();
        test::child<QDateEdit>(window, "datePicker")->setDate(day.isValid() ? day : kMonday);
        QTest::keyClick(test::child<QDateEdit>(window, "datePicker"), Qt::Key_Return);
        auto *delegate = qobject_cast<AcceptanceDelegate *>(
            test::child<QTableView>(window, "grid")->itemDelegateForColumn(10));
        QVERIFY(delegate);
        QAbstractItemModel *model = gridModel();
        int found = 0;
        for (int r = 0; r < model->rowCount(); ++r) {
            const QModelIndex idx = model->index(r, 10);
            if (idx.data().toString() == mark) {
                ++found;
                QStyleOptionViewItem option;
                delegate->initStyleOption(&option, idx);
                QVERIFY(option.font.bold());
                QCOMPARE(option.palette.color(QPalette::Text), colour);
            }
        }
        QCOMPARE(found > 0, day.isValid()); // the colour was looked at, not skipped for want of a row
        QCOMPARE(isAcceptedMark(mark), colour == kGreen);
    }

    void shiftButtonsSwitchTheView()
    {
        showWindow();
        test::child<QDateEdit>(window, "datePicker")->setDate(kMonday);
        QTest::keyClick(test::child<QDateEdit>(window, "datePicker"), Qt::Key_Return);
        auto *b1 = test::child<QPushButton>(window, "shift1Button");
        auto *b4 = test::child<QPushButton>(window, "shift4Button");
        QCOMPARE(b4->text(), QStringLiteral("Переработка"));
        QTest::mouseClick(b4, Qt::LeftButton);
        QCOMPARE(fx->session.shiftView(), 4);
        QCOMPARE(fx->session.currentQuery(), fx->data.smena(4));
        QCOMPARE(gridModel()->objectName(), QStringLiteral("DataSource4"));
        QCOMPARE(column(0), QStringList{QStringLiteral("Борисов Б.Б.")});
        QVERIFY(b4->font().bold());
        const QImage face = b4->grab().toImage();
        QCOMPARE(face.pixelColor(face.width() / 2, 3), kGreen);
        QVERIFY(!b1->font().bold());
        QVERIFY(b1->grab().toImage().pixelColor(b1->width() / 2, 3) != kGreen);
        QTest::mouseClick(test::child<QPushButton>(window, "shift2Button"), Qt::LeftButton);
        QCOMPARE(fx->session.shiftView(), 2);
        QCOMPARE(gridModel()->rowCount(), 0);
        QTest::mouseClick(b1, Qt::LeftButton);
        QCOMPARE(fx->session.shiftView(), 1);
        QVERIFY(b1->font().bold());
    }

    void refreshRereadsWithSameDate()
    {
        showWindow();
        const int before = gridModel()->rowCount();
        const int added1 = addEntry(kSaturday, 1, QStringLiteral("no"));
        QTest::mouseClick(test::child<QPushButton>(window, "refreshButton"), Qt::LeftButton);
        QCOMPARE(gridModel()->rowCount(), before + 1);
        // F5 does the same.
        const int added2 = addEntry(kSaturday, 1, QStringLiteral("ok"));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_F5);
        QTRY_COMPARE(gridModel()->rowCount(), before + 2); // a button's shortcut clicks it a moment later
        db->exec(
            QStringLiteral("delete from accounts_dep.smena where id in (%1, %2)").arg(added1).arg(added2));
    }

    void returningFromAnotherWindowResetsToToday()
    {
        showWindow();
        test::child<QDateEdit>(window, "datePicker")->setDate(kMonday);
        QTest::keyClick(test::child<QDateEdit>(window, "datePicker"), Qt::Key_Return);
        QTest::mouseClick(test::child<QPushButton>(window, "shift3Button"), Qt::LeftButton);
        QDialog other;
        window->runWindow(&other);
        QCOMPARE(test::child<QDateEdit>(window, "datePicker")->date(), kSaturday);
        QCOMPARE(fx->session.shiftViews().date(), kSaturday);
        QCOMPARE(fx->session.shiftView(), 3); // the view stays
        // A weekday "today" leaves the box as it was.
        fx->today = kMonday;
        window->runWindow(&other);
        QVERIFY(window->isDayOff());
    }

    void failedOpeningShowsStandardError()
    {
        showWindow();
        db->exec(QStringLiteral("alter table accounts_dep.vid_oper rename to vid_oper_away"));
        QTest::mouseClick(test::child<QPushButton>(window, "refreshButton"), Qt::LeftButton);
        db->exec(QStringLiteral("alter table accounts_dep.vid_oper_away rename to vid_oper"));
        QCOMPARE(fx->messages.boxes.size(), 1);
        QVERIFY(fx->messages.boxes.first().standard);
        QVERIFY(fx->messages.boxes.first().text.contains(QStringLiteral("vid_oper")));
        QVERIFY(window->isVisible());
        QVERIFY(!QApplication::overrideCursor()); // the wait cursor went with the failure
        QTest::mouseClick(test::child<QPushButton>(window, "refreshButton"), Qt::LeftButton);
        QCOMPARE(fx->messages.boxes.size(), 1);
        QVERIFY(gridModel()->rowCount() > 0);
    }

    void summaryReportsPresetThePreviousMonth()
    {
        QSignalSpy spy(window, &RegisterWindow::summaryReportsRequested);
        fx->today = QDate(2024, 1, 15);
        test::child<QAction>(window, "summaryReportsAction")->trigger();
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
    }

    void escapeClosesTheWindow()
    {
        showWindow();
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }
};

QTEST_MAIN(TestRegisterWindow)
#include "tst_registerwindow.moc"
