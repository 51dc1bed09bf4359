#include "data/datamodule.h"
#include "data/sqlparams.h"
#include "refbooks/operationkindeditor.h"
#include "refbooks/operationkindlistwindow.h"
#include "register/registerwindow.h"
#include "testsupport/databasetest.h"
#include "testsupport/shop.h"
#include "testsupport/windowfixture.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <functional>
#include <memory>

using namespace tabel;

// The operation kinds book: its list in both modes and its editor, on the real database.
class TestOperationKinds : public test::DatabaseTest
{
    Q_OBJECT
    std::unique_ptr<test::WindowFixture> fx;
    OperationKindListWindow *list = nullptr;
    OperationKindEditor *editor = nullptr;

    QStringList kindsInDatabase()
    {
        return db
            ->scalar(QStringLiteral("select string_agg(vid, '|' order by vid) from accounts_dep.vid_oper"))
            .toString()
            .split(QLatin1Char('|'), Qt::SkipEmptyParts);
    }
    QStringList gridNames()
    {
        QStringList out;
        QAbstractItemModel *m = test::child<QTableView>(list, "grid")->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, 0).data().toString();
        return out;
    }
    int kindId(const QString &name)
    {
        return db->scalar(QStringLiteral("select id from accounts_dep.vid_oper where vid = ") + quoted(name))
            .toInt();
    }
    void selectRow(const QString &name)
    {
        Dataset *kinds = fx->data.vidOper();
        QVERIFY(kinds->locate(QStringLiteral("vid"), name));
    }
    // Types the name into the editor and presses "Записать"; answers whether the editor closed.
    void typeAndSave(const QString &name)
    {
        test::child<QLineEdit>(editor, "nameEdit")->clear();
        test::type(test::child<QLineEdit>(editor, "nameEdit"), name);
        QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
        if (editor->isVisible()) // refused: leave it as the user would
            QTest::mouseClick(test::child<QPushButton>(editor, "cancelButton"), Qt::LeftButton);
    }

private Q_SLOTS:

    void init()
    {
        db->clear();
        test::Shop shop(*db);
        for (const char *name : {"Резка", "Гибка", "ЁЛКА покраска", "О'Нил"})
            shop.kind(QString::fromUtf8(name));
        fx = std::make_unique<test::WindowFixture>(*db);
        list = fx->windows.add(std::make_unique<OperationKindListWindow>(fx->context));
        editor = fx->windows.add(std::make_unique<OperationKindEditor>(fx->context));
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
            QCOMPARE(list->windowTitle(), QStringLiteral("Виды операций"));
            auto *grid = test::child<QTableView>(list, "grid");
            QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Операции"));
            // In the database's order of names.
            QCOMPARE(gridNames(),
                     db->scalar(QStringLiteral(
                                    "select string_agg(vid, '|' order by vid) from accounts_dep.vid_oper"))
                         .toString()
                         .split(QLatin1Char('|')));
            QCOMPARE(test::child<QPushButton>(list, "changeButton")->text(), QStringLiteral("Изменить"));
            QVERIFY(test::child<QPushButton>(list, "addButton")->isDefault());
            QVERIFY(!test::child<QPushButton>(list, "changeButton")->isDefault());
            QVERIFY(test::child<QPushButton>(list, "addButton")->isVisible());
            QVERIFY(test::child<QPushButton>(list, "deleteButton")->isVisible());
            QVERIFY(!test::child<QLineEdit>(list, "searchEdit")->isVisible());
            QTest::keyClick(list, Qt::Key_Escape);
        };
        list->openForMaintenance();
        QCOMPARE(fx->shown, QList<QDialog *>{list});
        QVERIFY(!fx->data.vidOper()->isOpen()); // closed when the list returns
    }

    void addKind_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message"); // empty: saved
        QTest::addColumn<QString>("stored");
        QTest::newRow("new") << QStringLiteral("Сварка") << QString() << QStringLiteral("Сварка");
        QTest::newRow("blanks trimmed")
            << QStringLiteral("  Сварка  ") << QString() << QStringLiteral("Сварка");
        QTest::newRow("letter case") << QStringLiteral("резка")
                                     << QStringLiteral("Такая операция уже заведена!") << QString();
        QTest::newRow("Cyrillic ё") << QStringLiteral("ёлка Покраска")
                                    << QStringLiteral("Такая операция уже заведена!") << QString();
        QTest::newRow("apostrophe, same name")
            << QStringLiteral("о'нил") << QStringLiteral("Такая операция уже заведена!") << QString();
        QTest::newRow("apostrophe, new")
            << QStringLiteral("Д'Артаньян") << QString() << QStringLiteral("Д'Артаньян");
        QTest::newRow("injection") << QStringLiteral("marka'; drop table accounts_dep.oper; --") << QString()
                                   << QStringLiteral("marka'; drop table accounts_dep.oper; --");
        QTest::newRow("empty") << QString() << QStringLiteral("Все поля должны быть заполнены!") << QString();
        QTest::newRow("blanks only") << QStringLiteral("   ")
                                     << QStringLiteral("Все поля должны быть заполнены!") << QString();
    }

    void addKind()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, stored);
        const QStringList before = kindsInDatabase();
        bool editorOpened = false;
        fx->whileOpen[editor] = [&] {
            editorOpened = true;
            QCOMPARE(editor->windowTitle(), QStringLiteral("Заведение нового вида операций"));
            QVERIFY(test::child<QLineEdit>(editor, "nameEdit")->text().isEmpty());
            QCOMPARE(editor->focusWidget(),
                     test::child<QLineEdit>(editor, "nameEdit")); // the focus once it is active
            QVERIFY(test::child<QPushButton>(editor, "saveButton")->isDefault());
            typeAndSave(typed);
        };
        fx->whileOpen[list] = [&] {
            QTest::mouseClick(test::child<QPushButton>(list, "addButton"), Qt::LeftButton);
            if (stored.isEmpty())
                return;
            // The list was read again and shows the new kind.
            QVERIFY(gridNames().contains(stored));
        };
        list->openForMaintenance();
        QVERIFY(editorOpened);
        if (message.isEmpty()) {
            QVERIFY(fx->messages.boxes.isEmpty());
            QCOMPARE(kindsInDatabase().size(), before.size() + 1);
            QVERIFY(kindsInDatabase().contains(stored));
        } else {
            QCOMPARE(fx->messages.boxes.size(), 1);
            QCOMPARE(fx->messages.boxes.first().caption, QStringLiteral("Ошибка"));
            QCOMPARE(fx->messages.boxes.first().text, message);
            QCOMPARE(fx->messages.boxes.first().icon, MessageService::Icon::Error);
            QCOMPARE(kindsInDatabase(), before);
        }
        QVERIFY(db->scalar(QStringLiteral("select to_regclass('accounts_dep.oper') is not null")).toBool());
    }

    void changeKind_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("own name in capitals")
            << QStringLiteral("Резка") << QStringLiteral("РЕЗКА") << QString();
        QTest::newRow("another's name") << QStringLiteral("Резка") << QStringLiteral("гибка")
                                        << QStringLiteral("Такая операция уже заведена!");
        QTest::newRow("apostrophe kept") << QStringLiteral("О'Нил") << QStringLiteral("О'Нил-2") << QString();
    }

    void changeKind()
    {
        QFETCH(QString, row);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        const int id = kindId(row);
        fx->whileOpen[editor] = [&] {
            QCOMPARE(editor->windowTitle(), QStringLiteral("Изменение данных вида операции"));
            QCOMPARE(test::child<QLineEdit>(editor, "nameEdit")->text(), row);
            typeAndSave(typed);
        };
        fx->whileOpen[list] = [&] {
            selectRow(row);
            QTest::mouseClick(test::child<QPushButton>(list, "changeButton"), Qt::LeftButton);
        };
        list->openForMaintenance();
        const QString now =
            db->scalar(QStringLiteral("select vid from accounts_dep.vid_oper where id = %1").arg(id))
                .toString();
        QCOMPARE(now, message.isEmpty() ? typed : row);
        QCOMPARE(fx->messages.last(), message);
        QCOMPARE(kindsInDatabase().size(), 4);
    }

    void deleteKind_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("usedByAnOperation");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("No") << false << false << false;
        QTest::newRow("Yes") << true << false << true;
        QTest::newRow("Yes, but an operation uses it") << true << true << false;
    }

    void deleteKind()
    {
        QFETCH(bool, yes);
        QFETCH(bool, usedByAnOperation);
        QFETCH(bool, deleted);
        const int id = kindId(QStringLiteral("Гибка"));
        if (usedByAnOperation)
            test::Shop(*db).operation(test::Shop(*db).product(QStringLiteral("ПН-27")), id, 0, {1.5});
        fx->messages.answers = {yes};
        fx->whileOpen[list] = [&] {
            selectRow(QStringLiteral("Гибка"));
            QTest::mouseClick(test::child<QPushButton>(list, "deleteButton"), Qt::LeftButton);
            QCOMPARE(gridNames().contains(QStringLiteral("Гибка")), !deleted);
        };
        list->openForMaintenance();
        QCOMPARE(fx->messages.boxes.first().caption, QStringLiteral("Удаление"));
        QCOMPARE(fx->messages.boxes.first().text, QStringLiteral("Удалить вид операции?"));
        QCOMPARE(fx->messages.boxes.first().icon, MessageService::Icon::Question);
        QCOMPARE(kindsInDatabase().contains(QStringLiteral("Гибка")), !deleted);
        QCOMPARE(kindsInDatabase().size(), deleted ? 3 : 4);
        if (usedByAnOperation) {
            QCOMPARE(fx->messages.boxes.size(), 2);
            QCOMPARE(fx->messages.boxes.last().caption, QStringLiteral("Ошибка"));
            QVERIFY(fx->messages.last().contains(QStringLiteral("используется в операциях (1)")));
        }
    }

    void emptyListActionsDoNothing()
    {
        db->exec(QStringLiteral("delete from accounts_dep.vid_oper"));
        fx->whileOpen[list] = [&] {
            QTest::mouseClick(test::child<QPushButton>(list, "changeButton"), Qt::LeftButton);
            QTest::mouseClick(test::child<QPushButton>(list, "deleteButton"), Qt::LeftButton);
        };
        list->openForMaintenance();
        QCOMPARE(fx->shown, QList<QDialog *>{list}); // no editor
        QVERIFY(fx->messages.boxes.isEmpty());       // no question
    }

    void pickKind_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("downs");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("first row") << QString() << 0 << QString();  // whichever sorts first
        QTest::newRow("Down twice") << QString() << 2 << QString(); // the third
        QTest::newRow("search") << QStringLiteral("Ре") << 0 << QStringLiteral("Резка");
        QTest::newRow("search ignores case") << QStringLiteral("ёл") << 0 << QStringLiteral("ЁЛКА покраска");
        QTest::newRow("search with an apostrophe") << QStringLiteral("О'Н") << 0 << QStringLiteral("О'Нил");
        QTest::newRow("search finds nothing") << QStringLiteral("Я") << 0 << QString();
    }

    void pickKind()
    {
        QFETCH(QString, typed);
        QFETCH(int, downs);
        QFETCH(QString, chosen);
        fx->whileOpen[list] = [&] {
            auto *search = test::child<QLineEdit>(list, "searchEdit");
            QVERIFY(search->isVisible());
            QCOMPARE(list->focusWidget(), search);
            QCOMPARE(test::child<QPushButton>(list, "changeButton")->text(), QStringLiteral("Выбрать"));
            QVERIFY(test::child<QPushButton>(list, "changeButton")->isDefault());
            QVERIFY(!test::child<QPushButton>(list, "addButton")->isVisible());
            QVERIFY(!test::child<QPushButton>(list, "deleteButton")->isVisible());
            test::type(search, typed);
            for (int i = 0; i < downs; ++i)
                QTest::keyClick(search, Qt::Key_Down);
            QCOMPARE(search->text(), typed);         // the arrows moved the row, not the text
            QTest::keyClick(search, Qt::Key_Return); // "Выбрать"
        };
        const std::optional<OperationKindListWindow::Choice> choice = list->pickKind();
        QVERIFY(choice.has_value());
        if (typed.isEmpty())
            chosen = kindsInDatabase().at(downs); // in the database's order
        QCOMPARE(choice->name, chosen);
        QCOMPARE(choice->id, chosen.isEmpty() ? 0 : kindId(chosen));
        // The next maintenance opening shows every kind, with no search box.
        fx->whileOpen[list] = [&] {
            QVERIFY(!test::child<QLineEdit>(list, "searchEdit")->isVisible());
            QCOMPARE(gridNames().size(), 4);
            list->reject();
        };
        list->openForMaintenance();
    }

    void pickLeftWithoutAChoice()
    {
        fx->whileOpen[list] = [&] { QTest::keyClick(list, Qt::Key_Escape); };
        QVERIFY(!list->pickKind().has_value());
        fx->whileOpen[list] = [&] {
            QTest::mouseClick(test::child<QPushButton>(list, "exitButton"), Qt::LeftButton);
        };
        QVERIFY(!list->pickKind().has_value());
    }

    void searchBoxKeys()
    {
        fx->whileOpen[list] = [&] {
            auto *search = test::child<QLineEdit>(list, "searchEdit");
            test::type(search, QStringLiteral("Гиб"));
            QTest::keyClick(search, Qt::Key_Left);
            QTest::keyClick(search, Qt::Key_Home);
            QTest::keyClick(search, Qt::Key_Delete);
            QCOMPARE(search->text(), QStringLiteral("Гиб"));
            QCOMPARE(search->cursorPosition(), 3);
            QTest::keyClick(search, Qt::Key_Backspace);
            QCOMPARE(search->text(), QStringLiteral("Ги"));
            QCOMPARE(gridNames(), QStringList{QStringLiteral("Гибка")});
            list->reject();
        };
        list->pickKind();
    }

    void registerMenuOpensTheList()
    {
        auto *reg = fx->windows.add(std::make_unique<RegisterWindow>(fx->context));
        reg->setClock(fx->clock());
        fx->session.shiftViews().setAcceptanceFilter(QStringLiteral("ta"));
        fx->whileOpen[list] = [&] { list->reject(); };
        reg->findChild<QAction *>(QStringLiteral("operationsAction"))->trigger();
        QCOMPARE(fx->shown, QList<QDialog *>{list});
        QVERIFY(fx->messages.boxes.isEmpty());
        QCOMPARE(fx->session.shiftViews().date(), fx->today); // the register was activated again
    }
};

QTEST_MAIN(TestOperationKinds)
#include "tst_operationkinds.moc"
