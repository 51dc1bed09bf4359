#include "data/datamodule.h"
#include "data/sqlparams.h"
#include "refbooks/producteditor.h"
#include "refbooks/productlistwindow.h"
#include "testsupport/databasetest.h"
#include "testsupport/shop.h"
#include "testsupport/windowfixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <functional>
#include <memory>

using namespace tabel;

// The products book: its list in both modes and its editor, on the real database.
class TestProducts : public test::DatabaseTest
{
    Q_OBJECT
    std::unique_ptr<test::WindowFixture> fx;
    ProductListWindow *list = nullptr;
    ProductEditor *editor = nullptr;

    QString products()
    {
        return db
            ->scalar(QStringLiteral(
                "select string_agg(marka || '=' || massa, '|' order by marka) from accounts_dep.izdel"))
            .toString();
    }
    QStringList gridMarks()
    {
        QStringList out;
        QAbstractItemModel *m = test::child<QTableView>(list, "grid")->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, 0).data().toString();
        return out;
    }
    // Double-clicks the grid's row of this mark, as the user would.
    void doubleClickMark(const QString &mark)
    {
        auto *grid = test::child<QTableView>(list, "grid");
        QVERIFY(fx->data.izdel()->locate(QStringLiteral("marka"), mark));
        QVERIFY(QTest::qWaitForWindowExposed(list));
        const QRect cell = grid->visualRect(grid->model()->index(fx->data.izdel()->recNo() - 1, 0));
        QVERIFY2(cell.isValid(), "the row is on screen");
        // A first click, then the second that makes it a double-click.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
    void fill(const QString &mark, const QString &number)
    {
        test::child<QLineEdit>(editor, "markEdit")->clear();
        test::child<QLineEdit>(editor, "numberEdit")->clear();
        test::type(test::child<QLineEdit>(editor, "markEdit"), mark);
        test::type(test::child<QLineEdit>(editor, "numberEdit"), number);
        QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
        if (editor->isVisible())
            QTest::mouseClick(test::child<QPushButton>(editor, "cancelButton"), Qt::LeftButton);
    }

private Q_SLOTS:

    void init()
    {
        db->clear();
        test::Shop shop(*db);
        shop.product(QStringLiteral("ПН-27"), 0.5);
        shop.product(QStringLiteral("ЁЛКА-1"), 2);
        shop.product(QStringLiteral("КР-40"), 1);
        shop.product(QStringLiteral("яблоко-3"), 1); // the database's upper() on Cyrillic is what compares
        fx = std::make_unique<test::WindowFixture>(*db);
        list = fx->windows.add(std::make_unique<ProductListWindow>(fx->context));
        editor = fx->windows.add(std::make_unique<ProductEditor>(fx->context));
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
            QCOMPARE(list->windowTitle(), QStringLiteral("Изделия"));
            auto *grid = test::child<QTableView>(list, "grid");
            QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(),
                     QStringLiteral("Марка изделия"));
            QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Коробки"));
            QVERIFY(grid->columnWidth(0) > grid->columnWidth(1));
            QCOMPARE(grid->model()->index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                         Qt::AlignLeft,
                     Qt::AlignLeft);
            QVERIFY(!test::child<QLineEdit>(list, "searchEdit")->isVisible());
            QVERIFY(!list->findChild<QPushButton *>(QStringLiteral("changeButton"))); // double-click only
            QVERIFY(test::child<QPushButton>(list, "addButton")->isDefault());
            QTest::keyClick(list, Qt::Key_Escape);
        };
        list->openForMaintenance();
    }

    void addProduct_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("typed");   // keys typed into the number box
        QTest::addColumn<QString>("message"); // empty: saved
        QTest::addColumn<QString>("stored");  // the new product as mark=number
        QTest::newRow("point typed becomes a comma")
            << QStringLiteral("ХМ-12") << QStringLiteral("2.5") << QString() << QStringLiteral("ХМ-12=2.5");
        QTest::newRow("letters dropped")
            << QStringLiteral("ХМ-12") << QStringLiteral("a1b2") << QString() << QStringLiteral("ХМ-12=12");
        QTest::newRow("two separators")
            << QStringLiteral("ХМ-12") << QStringLiteral("2,5.1")
            << QStringLiteral("Расценка «2,5,1» не является числом.") << QString();
        QTest::newRow("letter case") << QStringLiteral("пн-27") << QStringLiteral("1")
                                     << QStringLiteral("Такая марка изделия уже заведена!") << QString();
        QTest::newRow("Cyrillic ё") << QStringLiteral("ёлка-1") << QStringLiteral("1")
                                    << QStringLiteral("Такая марка изделия уже заведена!") << QString();
        QTest::newRow("Cyrillic stored in small letters")
            << QStringLiteral("ЯБЛОКО-3") << QStringLiteral("1")
            << QStringLiteral("Такая марка изделия уже заведена!") << QString();
        QTest::newRow("apostrophe") << QStringLiteral("Д'Артаньян") << QStringLiteral("3") << QString()
                                    << QStringLiteral("Д'Артаньян=3");
        QTest::newRow("injection") << QStringLiteral("marka'; drop table x; --") << QStringLiteral("1")
                                   << QString() << QStringLiteral("marka'; drop table x; --=1");
        QTest::newRow("no number") << QStringLiteral("ХМ-12") << QString()
                                   << QStringLiteral("Все поля должны быть заполнены!") << QString();
        QTest::newRow("no mark") << QStringLiteral("  ") << QStringLiteral("1")
                                 << QStringLiteral("Все поля должны быть заполнены!") << QString();
    }

    void addProduct()
    {
        QFETCH(QString, mark);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, stored);
        const QString before = products();
        fx->whileOpen[editor] = [&] {
            QCOMPARE(editor->windowTitle(), QStringLiteral("Заведение нового изделия"));
            QCOMPARE(editor->focusWidget(), test::child<QLineEdit>(editor, "markEdit"));
            fill(mark, typed);
        };
        fx->whileOpen[list] = [&] {
            fx->data.izdel()->setRecNo(2);
            QTest::mouseClick(test::child<QPushButton>(list, "addButton"), Qt::LeftButton);
            QCOMPARE(fx->data.izdel()->recNo(), 2); // back on the row it remembered
            list->reject();
        };
        list->openForMaintenance();
        if (message.isEmpty()) {
            QVERIFY(fx->messages.boxes.isEmpty());
            QVERIFY2(products().split(QLatin1Char('|')).contains(stored), qPrintable(products()));
            QCOMPARE(db->scalar(QStringLiteral("select s_description || '/' || id_msm_bs from "
                                               "cmn_gds_and_srv.gds_and_srv where s_caption = ") +
                                quoted(mark))
                         .toString(),
                     QStringLiteral("/6"));
        } else {
            QCOMPARE(fx->messages.boxes.size(), 1);
            QCOMPARE(fx->messages.boxes.first().caption, QStringLiteral("Ошибка"));
            QCOMPARE(fx->messages.last(), message);
            QCOMPARE(products(), before);
        }
    }

    void numberBoxKeys()
    {
        fx->whileOpen[editor] = [&] {
            auto *number = test::child<QLineEdit>(editor, "numberEdit");
            test::type(number, QStringLiteral("a1.2x"));
            QCOMPARE(number->text(), QStringLiteral("1,2"));
            QTest::keyClick(number, Qt::Key_Backspace);
            QCOMPARE(number->text(), QStringLiteral("1,"));
            test::type(number, QStringLiteral("5"));
            QCOMPARE(number->text(), QStringLiteral("1,5"));
            editor->reject();
        };
        editor->add();
    }

    void changeProduct_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("shown"); // the number box as it opens
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("message");
        QTest::newRow("only the number") << QStringLiteral("ПН-27") << QStringLiteral("0,5")
                                         << QStringLiteral("ПН-27") << QStringLiteral("0,75") << QString();
        QTest::newRow("own mark in small letters")
            << QStringLiteral("КР-40") << QStringLiteral("1") << QStringLiteral("кр-40")
            << QStringLiteral("1") << QString();
        QTest::newRow("another's mark")
            << QStringLiteral("КР-40") << QStringLiteral("1") << QStringLiteral("пн-27")
            << QStringLiteral("1") << QStringLiteral("Такая марка изделия уже заведена!");
    }

    void changeProduct()
    {
        QFETCH(QString, row);
        QFETCH(QString, shown);
        QFETCH(QString, mark);
        QFETCH(QString, number);
        QFETCH(QString, message);
        const QString id =
            db->scalar(QStringLiteral("select id from accounts_dep.izdel where marka = ") + quoted(row))
                .toString();
        fx->whileOpen[editor] = [&] {
            QCOMPARE(editor->windowTitle(), QStringLiteral("Изменение данных изделия"));
            QCOMPARE(test::child<QLineEdit>(editor, "markEdit")->text(), row);
            QCOMPARE(test::child<QLineEdit>(editor, "numberEdit")->text(), shown);
            fill(mark, number);
        };
        fx->whileOpen[list] = [&] {
            doubleClickMark(row);
            list->reject();
        };
        list->openForMaintenance();
        QCOMPARE(fx->messages.last(), message);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.izdel")).toInt(), 4);
        const QString now =
            db->scalar(QStringLiteral("select marka || '=' || massa from accounts_dep.izdel where id = ") +
                       id)
                .toString();
        if (message.isEmpty())
            QCOMPARE(now, mark + QLatin1Char('=') + QString::number(typedNumber(number).value()));
        else
            QVERIFY(now.startsWith(row + QLatin1Char('=')));
    }

    void deleteProduct_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("use"); // 0 none, 1 an operation, 2 an entry too
        QTest::addColumn<bool>("deleted");
        QTest::newRow("No") << false << 0 << false;
        QTest::newRow("Yes") << true << 0 << true;
        QTest::newRow("Yes, an operation uses it") << true << 1 << false;
        QTest::newRow("Yes, entries use it") << true << 2 << false;
    }

    void deleteProduct()
    {
        QFETCH(bool, yes);
        QFETCH(int, use);
        QFETCH(bool, deleted);
        const int id =
            db->scalar(QStringLiteral("select id from accounts_dep.izdel where marka = 'КР-40'")).toInt();
        if (use > 0) {
            test::Shop shop(*db);
            const int op = shop.operation(id, shop.kind(QStringLiteral("Резка")), 0, {1});
            if (use > 1)
                shop.entry({QDate(2024, 3, 1), 1, shop.worker(QStringLiteral("Антонов А.А.")), op});
        }
        fx->messages.answers = {yes};
        fx->whileOpen[list] = [&] {
            QVERIFY(fx->data.izdel()->locate(QStringLiteral("marka"), QStringLiteral("КР-40")));
            QTest::mouseClick(test::child<QPushButton>(list, "deleteButton"), Qt::LeftButton);
            QCOMPARE(gridMarks().contains(QStringLiteral("КР-40")), !deleted);
            list->reject();
        };
        list->openForMaintenance();
        QCOMPARE(fx->messages.boxes.first().caption, QStringLiteral("Удаление"));
        QCOMPARE(fx->messages.boxes.first().text, QStringLiteral("Удалить изделие?"));
        QCOMPARE(
            db->scalar(
                  QStringLiteral("select count(*) from cmn_gds_and_srv.gds_and_srv where id = %1").arg(id))
                .toInt(),
            deleted ? 0 : 1);
        if (use > 0)
            QVERIFY(fx->messages.last().startsWith(
                QStringLiteral("Изделие используется (операций: 1, записей: %1)").arg(use > 1 ? 1 : 0)));
    }

    void pickProduct_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("downs");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("search") << QStringLiteral("пн") << 0 << QStringLiteral("ПН-27");
        QTest::newRow("no search, Down once") << QString() << 1 << QString();
        QTest::newRow("no search, Down twice") << QString() << 2 << QString();
    }

    void pickProduct()
    {
        QFETCH(QString, typed);
        QFETCH(int, downs);
        QFETCH(QString, chosen);
        fx->whileOpen[list] = [&] {
            auto *search = test::child<QLineEdit>(list, "searchEdit");
            QVERIFY(search->isVisible());
            QCOMPARE(list->focusWidget(), search);
            QVERIFY(!test::child<QPushButton>(list, "addButton")->isVisible());
            test::type(search, typed);
            if (!typed.isEmpty()) {
                QTest::keyClick(search, Qt::Key_Left); // an ordinary key here
                QCOMPARE(search->cursorPosition(), typed.size() - 1);
            }
            for (int i = 0; i < downs; ++i)
                QTest::keyClick(search, Qt::Key_Down);
            // The current row, where the search and the arrows left it.
            auto *grid = test::child<QTableView>(list, "grid");
            QVERIFY(QTest::qWaitForWindowExposed(list));
            const QRect cell = grid->visualRect(grid->model()->index(fx->data.izdel()->recNo() - 1, 0));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        };
        if (chosen.isEmpty()) // in the database's order of marks
            chosen = db->scalar(QStringLiteral(
                                    "select marka from accounts_dep.izdel order by marka offset %1 limit 1")
                                    .arg(downs))
                         .toString();
        const auto choice = list->pickProduct();
        QVERIFY(choice.has_value());
        QCOMPARE(choice->mark, chosen);
        QCOMPARE(choice->id, db->scalar(QStringLiteral("select id from accounts_dep.izdel where marka = ") +
                                        quoted(chosen))
                                 .toLongLong());
        // The filter is off for the next maintenance opening.
        fx->whileOpen[list] = [&] {
            QCOMPARE(gridMarks().size(), 4);
            list->reject();
        };
        list->openForMaintenance();
    }

    void leftWithoutAChoice()
    {
        fx->whileOpen[list] = [&] { QTest::keyClick(list, Qt::Key_Escape); };
        QVERIFY(!list->pickProduct().has_value());
    }
};

QTEST_MAIN(TestProducts)
#include "tst_products.moc"
