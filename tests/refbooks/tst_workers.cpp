#include "data/datamodule.h"
#include "data/sqlparams.h"
#include "refbooks/workereditor.h"
#include "refbooks/workerlistwindow.h"
#include "testsupport/databasetest.h"
#include "testsupport/shop.h"
#include "testsupport/windowfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QWheelEvent>

#include <functional>
#include <memory>

using namespace tabel;

// The workers book: its list in both modes and its editor, on the real database.
class TestWorkers : public test::DatabaseTest
{
    Q_OBJECT
    std::unique_ptr<test::WindowFixture> fx;
    WorkerListWindow *list = nullptr;
    WorkerEditor *editor = nullptr;

    QString row(const QString &where)
    {
        return db
            ->scalar(QStringLiteral(
                         "select string_agg(fio || '/' || coalesce(s_staffpos_hl, '-'), '|' order by id) "
                         "from accounts_dep.person where ") +
                     where)
            .toString();
    }
    int workers() { return db->scalar(QStringLiteral("select count(*) from accounts_dep.person")).toInt(); }
    QStringList gridNames()
    {
        QStringList out;
        QAbstractItemModel *m = test::child<QTableView>(list, "grid")->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, 0).data().toString();
        return out;
    }
    void select(const QString &fio) { QVERIFY(fx->data.workers()->locate(QStringLiteral("fio"), fio)); }

private Q_SLOTS:

    void init()
    {
        db->clear();
        db->exec(QStringLiteral("delete from cmn_department.department; delete from hrms_staffpos.staffpos; "
                                "delete from adm_role.roles"));
        db->exec(QStringLiteral("insert into cmn_department.department (id, s_caption) values (1, 'Цех №1'), "
                                "(2, 'Малярный участок'), (3, 'Склад')"));
        db->exec(QStringLiteral(
            "insert into hrms_staffpos.staffpos (id, s_caption) values (1, 'Маляр'), (2, 'Сварщик')"));
        db->exec(QStringLiteral("insert into adm_role.roles (id, s_caption) values (1, 'Оператор')"));
        test::Shop shop(*db);
        shop.worker(QStringLiteral("Антонов А.А."), QStringLiteral("Склад"));
        shop.worker(QStringLiteral("Борисов Б.Б."), QStringLiteral("Цех №1"));
        shop.worker(QStringLiteral("Васильев В.В."), QStringLiteral("Прежний цех"));
        shop.worker(QStringLiteral("О'Нил Ш."), QStringLiteral("Склад"));
        fx = std::make_unique<test::WindowFixture>(*db);
        editor = fx->windows.add(std::make_unique<WorkerEditor>(fx->context));
        list = fx->windows.add(std::make_unique<WorkerListWindow>(fx->context));
    }
    void cleanup()
    {
        fx.reset();
        list = nullptr;
        editor = nullptr;
    }

    void maintenanceOpening()
    {
        fx->whileOpen[list] = [this] {
            QCOMPARE(list->windowTitle(), QStringLiteral("Список рабочих"));
            auto *grid = test::child<QTableView>(list, "grid");
            QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("ФИО"));
            QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Должность"));
            QCOMPARE(grid->columnWidth(0), grid->columnWidth(1));
            QCOMPARE(gridNames().size(), 4);
            QCOMPARE(gridNames().first(), QStringLiteral("Антонов А.А."));
            QVERIFY(test::child<QPushButton>(list, "addButton")->isDefault());
            QCOMPARE(test::child<QPushButton>(list, "changeButton")->text(), QStringLiteral("Изменить"));
            QVERIFY(test::child<QLineEdit>(list, "searchEdit")->isVisible());
            QCOMPARE(list->minimumSize(), list->maximumSize()); // a fixed dialog frame
            QTest::keyClick(list, Qt::Key_Escape);
        };
        list->openForMaintenance();
        QVERIFY(!fx->data.workers()->isOpen());
    }

    void addWorker_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("department"); // empty: none chosen
        QTest::addColumn<QString>("stored");     // fio/position; empty: refused
        QTest::newRow("with a department")
            << QStringLiteral("  Гусев Г.Г. ") << QStringLiteral("Малярный участок")
            << QStringLiteral("Гусев Г.Г./Малярный участок");
        QTest::newRow("no department")
            << QStringLiteral("Гусев Г.Г.") << QString() << QStringLiteral("Гусев Г.Г./");
        QTest::newRow("a namesake is accepted")
            << QStringLiteral("Антонов А.А.") << QString() << QStringLiteral("Антонов А.А./");
        QTest::newRow("apostrophe") << QStringLiteral("О'Нил Ш.") << QStringLiteral("Цех №1")
                                    << QStringLiteral("О'Нил Ш./Цех №1");
        QTest::newRow("injection") << QStringLiteral("x'); delete from accounts_dep.person; --") << QString()
                                   << QStringLiteral("x'); delete from accounts_dep.person; --/");
        QTest::newRow("blanks only") << QStringLiteral("   ") << QString() << QString();
    }

    void addWorker()
    {
        QFETCH(QString, typed);
        QFETCH(QString, department);
        QFETCH(QString, stored);
        fx->whileOpen[editor] = [&] {
            QCOMPARE(editor->windowTitle(), QStringLiteral("Заведение данных нового работника"));
            QCOMPARE(test::child<QComboBox>(editor, "departmentCombo")->currentIndex(), -1);
            QCOMPARE(test::child<QComboBox>(editor, "departmentCombo")->count(), 3);
            QCOMPARE(test::child<QComboBox>(editor, "departmentCombo")->maxVisibleItems(), 10);
            test::type(test::child<QLineEdit>(editor, "nameEdit"), typed);
            if (!department.isEmpty())
                test::child<QComboBox>(editor, "departmentCombo")->setCurrentText(department);
            QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
            if (editor->isVisible())
                QTest::mouseClick(test::child<QPushButton>(editor, "cancelButton"), Qt::LeftButton);
        };
        fx->whileOpen[list] = [&] {
            fx->data.workers()->setRecNo(3);
            QTest::mouseClick(test::child<QPushButton>(list, "addButton"), Qt::LeftButton);
            QCOMPARE(fx->data.workers()->recNo(), 1); // the list reopens on its first row
            list->reject();
        };
        list->openForMaintenance();
        if (stored.isEmpty()) {
            QCOMPARE(fx->messages.boxes.size(), 1);
            QCOMPARE(fx->messages.boxes.first().caption, QStringLiteral("Ошибка"));
            QCOMPARE(fx->messages.last(), QStringLiteral("ФИО нужно заполнить!"));
            QCOMPARE(workers(), 4);
        } else {
            QVERIFY(fx->messages.boxes.isEmpty());
            QCOMPARE(workers(), 5);
            QCOMPARE(row(QStringLiteral("id > 4")), stored);
        }
    }

    // The look-ups keep their entry: a second new worker starts with the department and position
    // chosen for the first.
    void addKeepsTheLookupsChoice()
    {
        QStringList seen;
        fx->whileOpen[editor] = [&] {
            auto *department = test::child<QComboBox>(editor, "departmentCombo");
            auto *position = test::child<QComboBox>(editor, "positionCombo");
            seen << department->currentText() + QLatin1Char('/') + position->currentText();
            test::child<QLineEdit>(editor, "nameEdit")->setText(QStringLiteral("Гусев Г.Г."));
            department->setCurrentText(QStringLiteral("Склад"));
            position->setCurrentText(QStringLiteral("Сварщик"));
            QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
        };
        QVERIFY(editor->add());
        QVERIFY(editor->add());
        QCOMPARE(seen, (QStringList{QStringLiteral("/"), QStringLiteral("Склад/Сварщик")}));
        QCOMPARE(row(QStringLiteral("id > 4")), QStringLiteral("Гусев Г.Г./Склад|Гусев Г.Г./Склад"));
    }

    void changeWorker_data()
    {
        QTest::addColumn<QString>("worker");
        QTest::addColumn<QString>("startsOn"); // the department the look-up shows at first
        QTest::addColumn<QString>("choose");   // empty: leave the look-up as it is
        QTest::addColumn<QString>("stored");
        QTest::newRow("only the name, department kept")
            << QStringLiteral("Борисов Б.Б.") << QStringLiteral("Цех №1") << QString()
            << QStringLiteral("Борисов-2/Цех №1");
        QTest::newRow("another department")
            << QStringLiteral("Антонов А.А.") << QStringLiteral("Склад") << QStringLiteral("Малярный участок")
            << QStringLiteral("Борисов-2/Малярный участок");
        QTest::newRow("a text no department has is written back")
            << QStringLiteral("Васильев В.В.") << QString() << QString()
            << QStringLiteral("Борисов-2/Прежний цех");
    }

    void changeWorker()
    {
        QFETCH(QString, worker);
        QFETCH(QString, startsOn);
        QFETCH(QString, choose);
        QFETCH(QString, stored);
        const int id =
            db->scalar(QStringLiteral("select id from accounts_dep.person where fio = ") + quoted(worker))
                .toInt();
        int recNoBefore = 0;
        fx->whileOpen[editor] = [&] {
            QCOMPARE(editor->windowTitle(), QStringLiteral("Изменение данных работника"));
            QCOMPARE(test::child<QLineEdit>(editor, "nameEdit")->text(), worker);
            QCOMPARE(test::child<QComboBox>(editor, "departmentCombo")->currentText(), startsOn);
            test::child<QLineEdit>(editor, "nameEdit")->clear();
            test::type(test::child<QLineEdit>(editor, "nameEdit"), QStringLiteral("Борисов-2"));
            if (!choose.isEmpty())
                test::child<QComboBox>(editor, "departmentCombo")->setCurrentText(choose);
            QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
        };
        fx->whileOpen[list] = [&] {
            select(worker);
            recNoBefore = fx->data.workers()->recNo();
            QTest::mouseClick(test::child<QPushButton>(list, "changeButton"), Qt::LeftButton);
            QCOMPARE(fx->data.workers()->recNo(), recNoBefore); // the same row number after reopening
            list->reject();
        };
        list->openForMaintenance();
        QVERIFY(fx->messages.boxes.isEmpty());
        QCOMPARE(row(QStringLiteral("id = %1").arg(id)), stored);
        QCOMPARE(workers(), 4);
    }

    void deleteWorker_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("worker");
        QTest::addColumn<int>("currentAfter");
        QTest::newRow("No") << false << QStringLiteral("Борисов Б.Б.") << 2;
        QTest::newRow("Yes") << true << QStringLiteral("Борисов Б.Б.") << 2;
        QTest::newRow("Yes, the last row") << true << QStringLiteral("О'Нил Ш.") << 3;
    }

    void deleteWorker()
    {
        QFETCH(bool, yes);
        QFETCH(QString, worker);
        QFETCH(int, currentAfter);
        fx->messages.answers = {yes};
        fx->whileOpen[list] = [&] {
            select(worker);
            QTest::mouseClick(test::child<QPushButton>(list, "deleteButton"), Qt::LeftButton);
            QCOMPARE(fx->data.workers()->recNo(), currentAfter);
            list->reject();
        };
        list->openForMaintenance();
        QCOMPARE(fx->messages.boxes.size(), 1);
        QCOMPARE(fx->messages.boxes.first().caption, QStringLiteral("Удаление"));
        QCOMPARE(fx->messages.boxes.first().text, QStringLiteral("Удалить работника?"));
        QCOMPARE(workers(), yes ? 3 : 4);
        // The enterprise person stays, so the history still prints under the name.
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from cmn_contractor.person where s_caption = ") +
                            quoted(worker))
                     .toInt(),
                 1);
    }

    void pickWorker_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("downs");
        QTest::addColumn<QString>("chosen"); // empty: nothing handed back
        QTest::newRow("first") << QString() << 0 << QStringLiteral("Антонов А.А.");
        QTest::newRow("Down") << QString() << 1 << QStringLiteral("Борисов Б.Б.");
        QTest::newRow("search") << QStringLiteral("В") << 0 << QStringLiteral("Васильев В.В.");
        QTest::newRow("search in small letters")
            << QStringLiteral("бор") << 0 << QStringLiteral("Борисов Б.Б.");
        QTest::newRow("search finds nothing") << QStringLiteral("Я'") << 0 << QString();
        QTest::newRow("search with an apostrophe")
            << QStringLiteral("О'Н") << 0 << QStringLiteral("О'Нил Ш.");
    }

    void pickWorker()
    {
        QFETCH(QString, typed);
        QFETCH(int, downs);
        QFETCH(QString, chosen);
        fx->whileOpen[list] = [&] {
            auto *search = test::child<QLineEdit>(list, "searchEdit");
            QCOMPARE(list->focusWidget(), search);
            QVERIFY(test::child<QPushButton>(list, "changeButton")->isDefault());
            QCOMPARE(test::child<QPushButton>(list, "changeButton")->text(), QStringLiteral("Выбрать"));
            QVERIFY(!test::child<QPushButton>(list, "addButton")->isVisible());
            test::type(search, typed);
            for (int i = 0; i < downs; ++i)
                QTest::keyClick(search, Qt::Key_Down);
            QTest::keyClick(search, Qt::Key_Return);
        };
        const auto choice = list->pickWorker();
        QCOMPARE(choice.has_value(), !chosen.isEmpty());
        if (choice) {
            QCOMPARE(choice->name, chosen);
            QCOMPARE(
                choice->id,
                db->scalar(QStringLiteral("select id from accounts_dep.person where fio = ") + quoted(chosen))
                    .toInt());
        }
    }

    // Maintenance keeps the search text (and its filter) from one opening to the next; a pick starts
    // afresh.
    void searchSurvivesMaintenanceOnly()
    {
        fx->whileOpen[list] = [&] {
            test::type(test::child<QLineEdit>(list, "searchEdit"), QStringLiteral("Б"));
            QCOMPARE(gridNames(), QStringList{QStringLiteral("Борисов Б.Б.")});
            list->reject();
        };
        list->openForMaintenance();
        fx->whileOpen[list] = [&] {
            QCOMPARE(test::child<QLineEdit>(list, "searchEdit")->text(), QStringLiteral("Б"));
            QCOMPARE(gridNames(), QStringList{QStringLiteral("Борисов Б.Б.")});
            list->reject();
        };
        list->openForMaintenance();
        fx->whileOpen[list] = [&] {
            QVERIFY(test::child<QLineEdit>(list, "searchEdit")->text().isEmpty());
            QCOMPARE(gridNames().size(), 4);
            list->reject();
        };
        QVERIFY(!list->pickWorker().has_value());
    }

    void emptyListActionsDoNothing()
    {
        fx->whileOpen[list] = [&] {
            test::type(test::child<QLineEdit>(list, "searchEdit"),
                       QStringLiteral("Я")); // filtered to nothing
            QTest::mouseClick(test::child<QPushButton>(list, "changeButton"), Qt::LeftButton);
            QTest::mouseClick(test::child<QPushButton>(list, "deleteButton"), Qt::LeftButton);
            test::child<QLineEdit>(list, "searchEdit")->clear();
            list->reject();
        };
        list->openForMaintenance();
        QCOMPARE(fx->shown, QList<QDialog *>{list}); // no editor
        QVERIFY(fx->messages.boxes.isEmpty());       // no question
        QCOMPARE(workers(), 4);
    }

    void wheelActsOnTheFocusedLookupOnly()
    {
        fx->whileOpen[editor] = [&] {
            auto *department = test::child<QComboBox>(editor, "departmentCombo");
            auto *position = test::child<QComboBox>(editor, "positionCombo");
            department->setCurrentIndex(0);
            position->setCurrentIndex(0);
            auto wheel = [](QWidget *w, int delta) {
                QWheelEvent e(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(w, &e);
            };
            wheel(position, -120); // not focused: nothing
            QCOMPARE(position->currentIndex(), 0);
            department->setFocus();
            if (QApplication::focusWidget() == department) { // only where the platform gives focus
                wheel(department, -120);
                QCOMPARE(department->currentIndex(), 1);
                wheel(department, 120);
                QCOMPARE(department->currentIndex(), 0);
            }
            editor->reject();
        };
        fx->whileOpen[list] = [&] {
            QTest::mouseClick(test::child<QPushButton>(list, "addButton"), Qt::LeftButton);
            list->reject();
        };
        list->openForMaintenance();
        QCOMPARE(workers(), 4);
    }
};

QTEST_MAIN(TestWorkers)
#include "tst_workers.moc"
