#include "data/datamodule.h"
#include "data/sqlparams.h"
#include "refbooks/normswindow.h"
#include "refbooks/operationeditor.h"
#include "refbooks/operationkindlistwindow.h"
#include "refbooks/operationlistwindow.h"
#include "refbooks/productlistwindow.h"
#include "reports/spreadsheet.h"
#include "testsupport/databasetest.h"
#include "testsupport/recordingmessages.h"
#include "testsupport/shop.h"
#include "testsupport/windowfixture.h"
#include "testsupport/xlsxcells.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <functional>
#include <latch>
#include <memory>
#include <thread>

using namespace tabel;

// Operations with their prices and norms: the list in both modes, the editor with its pickers, the
// norms window and the export, on the real database.
class TestOperations : public test::DatabaseTest
{
    Q_OBJECT
    std::unique_ptr<test::WindowFixture> fx;
    OperationListWindow *list = nullptr;
    OperationEditor *editor = nullptr;
    ProductListWindow *products = nullptr;
    OperationKindListWindow *kinds = nullptr;
    NormsWindow *norms = nullptr;
    int profile = 0, bracket = 0, cutting = 0, painting = 0, cutProfile = 0, paintBracket = 0;

    QString operations()
    {
        return db
            ->scalar(QStringLiteral(
                "select string_agg(i.marka || '/' || v.vid || '/' || o.naimen, '|' order by o.id) "
                "from accounts_dep.oper o join accounts_dep.izdel i on i.id = o.i_id "
                "join accounts_dep.vid_oper v on v.id = o.vid"))
            .toString();
    }
    void selectOperation(int id) { QVERIFY(fx->data.oper()->locate(QStringLiteral("id"), id)); }
    void doubleClickCurrent(QDialog *w, QTableView *grid, int row)
    {
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }

    // The operation export started from the list in maintenance (after typing a search, when one is
    // given), read back from the file it opened.
    QJsonObject exportedCells(const QString &search = QString())
    {
        QTemporaryDir dir;
        QStringList opened;
        list->spreadsheet().setFolder(dir.path());
        list->spreadsheet().setOpener([&](const QString &path) {
            opened << path;
            return true;
        });
        fx->whileOpen[list] = [&] {
            if (!search.isEmpty())
                test::type(test::child<QLineEdit>(list, "searchEdit"), search);
            QTest::mouseClick(test::child<QPushButton>(list, "excelButton"), Qt::LeftButton);
            list->reject();
        };
        list->openForMaintenance();
        if (opened.size() != 1) {
            QTest::qFail("the export opened no single file", __FILE__, __LINE__);
            return {};
        }
        return test::xlsxCells(opened.first());
    }

private Q_SLOTS:

    void init()
    {
        db->clear();
        test::Shop shop(*db);
        profile = shop.product(QStringLiteral("ПН-27"));
        bracket = shop.product(QStringLiteral("КР-40"));
        cutting = shop.kind(QStringLiteral("Резка"));
        painting = shop.kind(QStringLiteral("Краска"));
        cutProfile = shop.operation(profile, cutting, 0, {2.5, 1.75});
        paintBracket = shop.operation(bracket, painting, 1, {4});
        db->exec(
            QStringLiteral("update accounts_dep.oper set cena_new = 3.25 where id = %1").arg(cutProfile));
        fx = std::make_unique<test::WindowFixture>(*db);
        list = fx->windows.add(std::make_unique<OperationListWindow>(fx->context));
        editor = fx->windows.add(std::make_unique<OperationEditor>(fx->context));
        products = fx->windows.add(std::make_unique<ProductListWindow>(fx->context));
        kinds = fx->windows.add(std::make_unique<OperationKindListWindow>(fx->context));
        norms = fx->windows.add(std::make_unique<NormsWindow>(fx->context));
    }
    void cleanup() { fx.reset(); }

    void maintenanceOpening()
    {
        fx->whileOpen[list] = [this] {
            QCOMPARE(list->windowTitle(), QStringLiteral("Операции"));
            auto *grid = test::child<QTableView>(list, "grid");
            const QStringList titles{QStringLiteral("Марка"), QStringLiteral("Опреция"),
                                     QStringLiteral("Цена (min)"), QStringLiteral("Вид"),
                                     QStringLiteral("Нормы (шт.)")};
            for (int c = 0; c < titles.size(); ++c)
                QCOMPARE(grid->model()->headerData(c, Qt::Horizontal).toString(), titles.at(c));
            for (int c = 5; c < 8; ++c)
                QVERIFY(grid->isColumnHidden(c));
            // КР-40 sorts before ПН-27; the lowest of the norm prices, the number of norms.
            QCOMPARE(grid->model()->index(1, 0).data().toString(), QStringLiteral("ПН-27"));
            QCOMPARE(grid->model()->index(1, 2).data().toString(), QStringLiteral("1,75"));
            QCOMPARE(grid->model()->index(1, 3).data().toString(), QStringLiteral("Готовая продукция"));
            QCOMPARE(grid->model()->index(1, 4).data().toString(), QStringLiteral("2"));
            QVERIFY(test::child<QPushButton>(list, "addButton")->isDefault());
            QVERIFY(test::child<QLineEdit>(list, "searchEdit")->isVisible()); // until a pick has used it
            list->reject();
        };
        list->openForMaintenance();
        QVERIFY(!fx->data.oper()->isOpen());
    }

    // A new operation through the editor and its two pickers; it is listed at once, with its first norm.
    void addThroughThePickers()
    {
        fx->whileOpen[products] = [this] {
            test::type(test::child<QLineEdit>(products, "searchEdit"), QStringLiteral("КР"));
            doubleClickCurrent(products, test::child<QTableView>(products, "grid"), 0);
        };
        fx->whileOpen[kinds] = [this] {
            test::type(test::child<QLineEdit>(kinds, "searchEdit"), QStringLiteral("Ре"));
            QTest::keyClick(test::child<QLineEdit>(kinds, "searchEdit"), Qt::Key_Return);
        };
        fx->whileOpen[editor] = [this] {
            QCOMPARE(editor->windowTitle(), QStringLiteral("Заведение новой цены за операцию"));
            QCOMPARE(editor->focusWidget(), test::child<QPushButton>(editor, "productButton"));
            QCOMPARE(test::child<QComboBox>(editor, "productKindCombo")->currentText(),
                     QStringLiteral("Готовая продукция"));
            QVERIFY(test::child<QLineEdit>(editor, "productEdit")->isReadOnly());
            QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"),
                              Qt::LeftButton); // boxes empty: refused
            QTest::mouseClick(test::child<QPushButton>(editor, "productButton"), Qt::LeftButton);
            QTest::mouseClick(test::child<QPushButton>(editor, "kindButton"), Qt::LeftButton);
            QCOMPARE(test::child<QLineEdit>(editor, "productEdit")->text(), QStringLiteral("КР-40"));
            QCOMPARE(test::child<QLineEdit>(editor, "kindEdit")->text(), QStringLiteral("Резка"));
            QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
        };
        fx->whileOpen[list] = [this] {
            QTest::mouseClick(test::child<QPushButton>(list, "addButton"), Qt::LeftButton);
            QCOMPARE(fx->data.oper()->recordCount(), 3); // listed at once
            list->reject();
        };
        list->openForMaintenance();
        QCOMPARE(fx->messages.boxes.size(), 1);
        QCOMPARE(fx->messages.last(), QStringLiteral("Все поля должны быть заполнены!"));
        QVERIFY(operations().endsWith(QStringLiteral("|КР-40/Резка/0")));
        QCOMPARE(
            db->scalar(
                  QStringLiteral(
                      "select string_agg(n.norma || '/' || coalesce(n.price::text, 'нет цены'), ',') from accounts_dep.norm n "
                      "join accounts_dep.oper o on o.id = n.o_id where o.i_id = %1 and o.vid = %2")
                      .arg(bracket)
                      .arg(cutting))
                .toString(),
            QStringLiteral("0/нет цены"));
    }

    void changeAndDuplicates_data()
    {
        QTest::addColumn<int>("naimen");
        QTest::addColumn<QString>("message");
        QTest::newRow("unchanged passes its own row") << 1 << QString();
        QTest::newRow("another product kind") << 0 << QString();
    }

    void changeAndDuplicates()
    {
        QFETCH(int, naimen);
        QFETCH(QString, message);
        fx->whileOpen[editor] = [&] {
            QCOMPARE(editor->windowTitle(), QStringLiteral("Изменение данных о цене за операцию"));
            QCOMPARE(test::child<QLineEdit>(editor, "productEdit")->text(), QStringLiteral("КР-40"));
            QCOMPARE(test::child<QComboBox>(editor, "productKindCombo")->currentIndex(), 1);
            test::child<QComboBox>(editor, "productKindCombo")->setCurrentIndex(naimen);
            QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
        };
        fx->whileOpen[list] = [&] {
            selectOperation(paintBracket);
            QTest::mouseClick(test::child<QPushButton>(list, "changeButton"), Qt::LeftButton);
            list->reject();
        };
        list->openForMaintenance();
        QCOMPARE(fx->messages.last(), message);
        QCOMPARE(
            db->scalar(QStringLiteral("select naimen from accounts_dep.oper where id = %1").arg(paintBracket))
                .toInt(),
            naimen);
    }

    void duplicateRefused()
    {
        // Give the bracket's painting the profile's cutting parameters.
        fx->whileOpen[kinds] = [this] {
            QVERIFY(fx->data.vidOper()->locate(QStringLiteral("vid"), QStringLiteral("Резка")));
            QTest::keyClick(test::child<QLineEdit>(kinds, "searchEdit"), Qt::Key_Return);
        };
        fx->whileOpen[products] = [this] {
            test::type(test::child<QLineEdit>(products, "searchEdit"), QStringLiteral("ПН"));
            doubleClickCurrent(products, test::child<QTableView>(products, "grid"), 0);
        };
        fx->whileOpen[editor] = [&] {
            QTest::mouseClick(test::child<QPushButton>(editor, "productButton"), Qt::LeftButton);
            QTest::mouseClick(test::child<QPushButton>(editor, "kindButton"), Qt::LeftButton);
            test::child<QComboBox>(editor, "productKindCombo")->setCurrentIndex(0);
            QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
            QVERIFY(editor->isVisible()); // stays open
            editor->reject();
        };
        fx->whileOpen[list] = [&] {
            selectOperation(paintBracket);
            QTest::mouseClick(test::child<QPushButton>(list, "changeButton"), Qt::LeftButton);
            list->reject();
        };
        const QString before = operations();
        list->openForMaintenance();
        QCOMPARE(fx->messages.boxes.size(), 1);
        QCOMPARE(fx->messages.last(), QStringLiteral("Операция с такими параметрами уже заведена!"));
        QCOMPARE(operations(), before);
    }

    void deleteOperation_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("usedByEntries");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("No") << false << false << false;
        QTest::newRow("Yes") << true << false << true;
        QTest::newRow("Yes, entries use it") << true << true << false;
    }

    void deleteOperation()
    {
        QFETCH(bool, yes);
        QFETCH(bool, usedByEntries);
        QFETCH(bool, deleted);
        if (usedByEntries)
            test::Shop(*db).entry(
                {QDate(2024, 3, 1), 1, test::Shop(*db).worker(QStringLiteral("Антонов А.А.")), paintBracket});
        fx->messages.answers = {yes};
        fx->whileOpen[list] = [&] {
            selectOperation(paintBracket);
            QTest::mouseClick(test::child<QPushButton>(list, "deleteButton"), Qt::LeftButton);
            list->reject();
        };
        list->openForMaintenance();
        QCOMPARE(fx->messages.boxes.first().text, QStringLiteral("Удалить операцию?"));
        QCOMPARE(
            db->scalar(
                  QStringLiteral("select count(*) from accounts_dep.oper where id = %1").arg(paintBracket))
                .toInt(),
            deleted ? 0 : 1);
        // Its norms go with it, and stay with an operation that stays.
        const int norms =
            db->scalar(
                  QStringLiteral("select count(*) from accounts_dep.norm where o_id = %1").arg(paintBracket))
                .toInt();
        QVERIFY2(deleted ? norms == 0 : norms > 0, qPrintable(QString::number(norms)));
        if (usedByEntries)
            QVERIFY(fx->messages.last().contains(QStringLiteral("используется в записях (1)")));
    }

    void pickOperation_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("startOn"); // 0: the first row
        QTest::addColumn<QString>("chosen");
        QTest::newRow("first row") << QString() << 0 << QStringLiteral("КР-40");
        QTest::newRow("the entry's own operation") << QString() << 2 << QStringLiteral("ПН-27");
        QTest::newRow("search") << QStringLiteral("пн") << 0 << QStringLiteral("ПН-27");
        QTest::newRow("blanks show everything") << QStringLiteral("   ") << 0 << QStringLiteral("КР-40");
        QTest::newRow("nothing found: nothing handed back") << QStringLiteral("Я") << 0 << QString();
    }

    void pickOperation()
    {
        QFETCH(QString, typed);
        QFETCH(int, startOn);
        QFETCH(QString, chosen);
        fx->whileOpen[list] = [&] {
            QCOMPARE(test::child<QPushButton>(list, "changeButton")->text(), QStringLiteral("Выбрать"));
            QVERIFY(test::child<QPushButton>(list, "changeButton")->isDefault());
            test::type(test::child<QLineEdit>(list, "searchEdit"), typed);
            QTest::keyClick(test::child<QLineEdit>(list, "searchEdit"), Qt::Key_Return);
        };
        const auto row = list->pickOperation(startOn == 2 ? std::optional<int>(cutProfile) : std::nullopt);
        QCOMPARE(row.has_value(), !chosen.isEmpty());
        if (row) {
            QCOMPARE(row->mark, chosen);
            const bool isProfile = chosen == QStringLiteral("ПН-27");
            QCOMPARE(row->id, isProfile ? cutProfile : paintBracket);
            QCOMPARE(row->productId, qint64(isProfile ? profile : bracket));
            QCOMPARE(row->kindId, isProfile ? cutting : painting);
            QCOMPARE(row->naimen, isProfile ? 0 : 1);
            QCOMPARE(row->price, isProfile ? 1.75 : 4.0);
            QCOMPARE(row->norms, qint64(isProfile ? 2 : 1));
        }
        // Maintenance shows no search box after a pick, and every operation.
        fx->whileOpen[list] = [&] {
            QVERIFY(!test::child<QLineEdit>(list, "searchEdit")->isVisible());
            QCOMPARE(fx->data.oper()->recordCount(), 2);
            list->reject();
        };
        list->openForMaintenance();
    }

    void exportWritesEveryOperation()
    {
        db->exec(
            QStringLiteral("delete from accounts_dep.norm where o_id = %1").arg(paintBracket)); // not in Oper
        const QJsonObject cells = exportedCells(QStringLiteral("ПН")); // a search is ignored
        auto cell = [&](const char *at) {
            return cells.value(QLatin1String(at)).toObject().value(QStringLiteral("value")).toVariant();
        };
        QCOMPARE(cell("A1").toString(), QStringLiteral("Марка"));
        QCOMPARE(cell("B1").toString(), QStringLiteral("Операция"));
        QCOMPARE(cell("C1").toString(), QStringLiteral("Цена"));
        QCOMPARE(cell("D1").toString(), QStringLiteral("Вид"));
        QCOMPARE(cell("A2").toString(), QStringLiteral("КР-40"));
        QCOMPARE(cell("D2").toString(), QStringLiteral("Заготовки"));
        QCOMPARE(cell("A3").toString(), QStringLiteral("ПН-27"));
        QCOMPARE(cell("C3").toDouble(), 3.25); // the operation's own price, as a number
        QCOMPARE(cells.value(QStringLiteral("C3")).toObject().value(QStringLiteral("type")).toString(),
                 QStringLiteral("n"));
        QCOMPARE(cell("D3").toString(), QStringLiteral("Готовая продукция"));
        QVERIFY(!cells.contains(QStringLiteral("A4")));
    }

    // Columns that name things are text cells whatever they look like; prices stay numbers.
    void exportKeepsNamesAsText()
    {
        test::Shop shop(*db);
        shop.operation(shop.product(QStringLiteral("0012")),
                       shop.kind(QStringLiteral("12345678901234567890")), 0, {5});
        const QJsonObject cells = exportedCells();
        auto cell = [&](const char *at) { return cells.value(QLatin1String(at)).toObject(); };
        QCOMPARE(cell("A2").value(QStringLiteral("value")).toString(), QStringLiteral("0012"));
        QCOMPARE(cell("A2").value(QStringLiteral("type")).toString(), QStringLiteral("s"));
        QCOMPARE(cell("B2").value(QStringLiteral("value")).toString(),
                 QStringLiteral("12345678901234567890"));
        QCOMPARE(cell("B2").value(QStringLiteral("type")).toString(), QStringLiteral("s"));
        QCOMPARE(cell("D2").value(QStringLiteral("type")).toString(), QStringLiteral("s"));
    }

    void pricesOpensTheNorms()
    {
        fx->whileOpen[norms] = [this] {
            QCOMPARE(norms->windowTitle(), QStringLiteral("Норматив"));
            QCOMPARE(norms->model()->operation(), cutProfile);
            QCOMPARE(norms->model()->savedRows(), 2);
            auto *grid = test::child<QTableView>(norms, "grid");
            QTest::keyClick(grid, Qt::Key_Insert); // a new norm starts on the grid's last row
            QCOMPARE(grid->currentIndex().row(), norms->model()->rowCount() - 1);
            QCOMPARE(grid->model()->headerData(2, Qt::Vertical).toString(), QStringLiteral("*"));
            norms->reject();
        };
        fx->whileOpen[list] = [&] {
            test::child<QCheckBox>(list, "pricesCheck")->setChecked(true);
            selectOperation(cutProfile);
            doubleClickCurrent(list, test::child<QTableView>(list, "grid"), fx->data.oper()->recNo() - 1);
            list->reject();
        };
        list->openForMaintenance();
        QCOMPARE(fx->shown, (QList<QDialog *>{list, norms}));
        QVERIFY(test::child<QCheckBox>(list, "pricesCheck")->isChecked()); // kept between openings
    }

    // In selection mode a double-click chooses, "Цены" ticked or not.
    void doubleClickInSelectionChooses()
    {
        fx->whileOpen[list] = [&] {
            test::child<QCheckBox>(list, "pricesCheck")->setChecked(true);
            doubleClickCurrent(list, test::child<QTableView>(list, "grid"), 0);
        };
        const auto row = list->pickOperation();
        QVERIFY(row.has_value());
        QCOMPARE(row->id, paintBracket); // КР-40 sorts first
        QVERIFY(!fx->shown.contains(norms));
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
        QCOMPARE(fx->shown, QList<QDialog *>{list});
        QVERIFY(fx->messages.boxes.isEmpty());
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.oper")).toInt(), 2);
    }

    void normsAreWrittenCellByCell()
    {
        NormsModel *model = norms->model();
        fx->whileOpen[norms] = [&] {
            QCOMPARE(model->rowCount(), 3); // two norms and the row for a new one
            QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("2,50"));
            QCOMPARE(model->index(1, 1).data().toString(), QStringLiteral("1,75"));
            // A price changed: written at once, rows sorted by norm again.
            QVERIFY(model->setData(model->index(0, 1), QStringLiteral("12,5"), Qt::EditRole));
            QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("12,50"));
            // A new row: its operation's key.
            QVERIFY(model->setData(model->index(2, 0), QStringLiteral("50"), Qt::EditRole));
            QCOMPARE(model->savedRows(), 3);
            QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("50")); // sorted by norm
            QVERIFY(model->setData(model->index(0, 1), QStringLiteral("0,125"), Qt::EditRole));
            QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("0,125"));
            // A value that does not fit the column: a message, nothing written.
            QVERIFY(!model->setData(model->index(0, 0), QStringLiteral("1,5"), Qt::EditRole));
            QVERIFY(!model->setData(model->index(0, 2), QStringLiteral("99999999999"), Qt::EditRole));
            QCOMPARE(fx->messages.boxes.size(), 2);
            QCOMPARE(fx->messages.boxes.first().caption, QStringLiteral("Ошибка"));
            QTest::mouseClick(test::child<QPushButton>(norms, "saveButton"), Qt::LeftButton);
        };
        fx->whileOpen[list] = [&] {
            test::child<QCheckBox>(list, "pricesCheck")->setChecked(true);
            selectOperation(cutProfile);
            const int recNo = fx->data.oper()->recNo();
            doubleClickCurrent(list, test::child<QTableView>(list, "grid"), recNo - 1);
            // After "Сохранить" the list shows the new count and lowest price on the same row.
            QCOMPARE(fx->data.oper()->recNo(), recNo);
            QCOMPARE(fx->data.oper()->asInt(QStringLiteral("norma")), 3);
            QCOMPARE(fx->data.oper()->asDouble(QStringLiteral("cena")), 0.125);
            list->reject();
        };
        list->openForMaintenance();
        QCOMPARE(
            db->scalar(QStringLiteral("select string_agg(norma || '=' || price, ',' order by norma) from "
                                      "accounts_dep.norm where o_id = %1")
                           .arg(cutProfile))
                .toString(),
            QStringLiteral("50=0.125,100=12.5,200=1.75"));
    }

    // A new norm with only its figure typed leaves its price empty: the lowest price stays as it was.
    void newNormWithoutAPrice()
    {
        NormsModel *model = norms->model();
        fx->whileOpen[norms] = [&] {
            QVERIFY(
                model->setData(model->index(model->rowCount() - 1, 0), QStringLiteral("300"), Qt::EditRole));
            QCOMPARE(model->savedRows(), 3);
            QCOMPARE(model->index(2, 1).data().toString(), QString());
            QTest::mouseClick(test::child<QPushButton>(norms, "saveButton"), Qt::LeftButton);
        };
        fx->data.oper()->open();
        selectOperation(cutProfile);
        norms->openForOperation(cutProfile);
        QCOMPARE(fx->data.oper()->asInt(QStringLiteral("norma")), 3);
        QCOMPARE(fx->data.oper()->asDouble(QStringLiteral("cena")), 1.75);
        fx->data.oper()->close();
    }

    // Another client deleted the operation while its norms were open: a new norm is refused, and no
    // norm is left without its operation.
    void newNormOfADeletedOperation()
    {
        NormsModel *model = norms->model();
        fx->whileOpen[norms] = [&] {
            db->exec(QStringLiteral("delete from accounts_dep.norm where o_id = %1; "
                                    "delete from accounts_dep.oper where id = %1")
                         .arg(cutProfile));
            QVERIFY(
                !model->setData(model->index(model->rowCount() - 1, 0), QStringLiteral("300"), Qt::EditRole));
            QVERIFY(model->lastWriteFailed());
            QCOMPARE(fx->messages.boxes.size(), 1);
            QCOMPARE(fx->messages.last(),
                     QStringLiteral("Операция удалена другим пользователем: норматив не записан."));
            norms->reject();
        };
        norms->openForOperation(cutProfile);
        QCOMPARE(
            db->scalar(
                  QStringLiteral("select count(*) from accounts_dep.norm where o_id = %1").arg(cutProfile))
                .toInt(),
            0);
    }

    // A value typed into the grid that does not fit: a message, and the cell stays in editing with it.
    void refusedCellStaysInEditing()
    {
        fx->whileOpen[norms] = [&] {
            auto *grid = test::child<QTableView>(norms, "grid");
            QVERIFY(QTest::qWaitForWindowExposed(norms));
            const QModelIndex cell = grid->model()->index(0, 0);
            grid->setCurrentIndex(cell);
            grid->edit(cell);
            auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
            if (!editor) // offscreen, the focus may not have moved: find the cell's editor
                editor = grid->viewport()->findChild<QLineEdit *>();
            QVERIFY(editor);
            editor->setText(QStringLiteral("1,5"));
            QTest::keyClick(editor, Qt::Key_Tab); // leaves the column
            QCOMPARE(fx->messages.boxes.size(), 1);
            QVERIFY(fx->messages.last().contains(QStringLiteral("целое число")));
            // An editor open again on the cell, the typed text in it (the one left is hidden and goes).
            auto openEditor = [grid]() -> QLineEdit * {
                for (QLineEdit *e : grid->viewport()->findChildren<QLineEdit *>())
                    if (e->isVisible())
                        return e;
                return nullptr;
            };
            QTRY_COMPARE(grid->currentIndex(), QModelIndex(cell));
            QTRY_VERIFY(openEditor() && openEditor()->text() == QStringLiteral("1,5"));
            norms->reject();
        };
        norms->openForOperation(cutProfile);
        QCOMPARE(db->scalar(QStringLiteral(
                                "select string_agg(norma::text, ',' order by norma) from accounts_dep.norm "
                                "where o_id = %1")
                                .arg(cutProfile))
                     .toString(),
                 QStringLiteral("100,200"));
    }

    void lastNormStays()
    {
        NormsModel *model = norms->model();
        fx->whileOpen[norms] = [&] {
            QVERIFY(model->removeRow(0));
            QCOMPARE(model->savedRows(), 1);
            QVERIFY(!model->removeRow(0)); // the last one stays
            QVERIFY(!model->removeRow(1)); // the new row is nothing to delete
            QCOMPARE(model->savedRows(), 1);
            norms->reject();
        };
        norms->openForOperation(cutProfile);
        QCOMPARE(
            db->scalar(
                  QStringLiteral("select count(*) from accounts_dep.norm where o_id = %1").arg(cutProfile))
                .toInt(),
            1);
    }

    // "Сохранить" is pressed by Enter and Esc only where the grid has no cell editor open: in the
    // editor, Enter writes the cell and Esc takes the typing back, and the window stays; the next
    // key, on the grid, presses "Сохранить".
    void enterAndEscapeWithACellEditor_data()
    {
        QTest::addColumn<int>("inEditor");
        QTest::addColumn<int>("onGrid"); // 0: none
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("prices");
        QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << false << QStringLiteral("7,1.75");
        QTest::newRow("Esc") << int(Qt::Key_Escape) << 0 << false << QStringLiteral("2.5,1.75");
        QTest::newRow("Enter, Enter")
            << int(Qt::Key_Return) << int(Qt::Key_Return) << true << QStringLiteral("7,1.75");
        QTest::newRow("Enter, Esc") << int(Qt::Key_Enter) << int(Qt::Key_Escape) << true
                                    << QStringLiteral("7,1.75");
        QTest::newRow("Esc, Enter") << int(Qt::Key_Escape) << int(Qt::Key_Return) << true
                                    << QStringLiteral("2.5,1.75");
        QTest::newRow("Esc, Esc") << int(Qt::Key_Escape) << int(Qt::Key_Escape) << true
                                  << QStringLiteral("2.5,1.75");
    }

    void enterAndEscapeWithACellEditor()
    {
        QFETCH(int, inEditor);
        QFETCH(int, onGrid);
        QFETCH(bool, closes);
        QFETCH(QString, prices);
        bool stayed = false;
        fx->whileOpen[norms] = [&] {
            auto *grid = test::child<QTableView>(norms, "grid");
            QVERIFY(QTest::qWaitForWindowExposed(norms));
            const QModelIndex cell = grid->model()->index(0, 1);
            grid->setCurrentIndex(cell);
            grid->edit(cell);
            QLineEdit *editor = nullptr;
            for (QLineEdit *e : grid->viewport()->findChildren<QLineEdit *>())
                if (e->isVisible())
                    editor = e;
            QVERIFY(editor);
            editor->setText(QStringLiteral("7"));
            QTest::keyClick(editor, Qt::Key(inEditor));
            QCoreApplication::processEvents(); // the grid commits on Enter a moment later
            QVERIFY(norms->isVisible());
            for (QLineEdit *e : grid->viewport()->findChildren<QLineEdit *>())
                QVERIFY(!e->isVisible()); // closed, with nothing left behind
            if (onGrid)
                QTest::keyClick(grid, Qt::Key(onGrid));
            stayed = norms->isVisible();
            if (stayed)
                norms->reject();
        };
        fx->data.oper()->open();
        selectOperation(cutProfile);
        norms->openForOperation(cutProfile);
        fx->data.oper()->close();
        QCOMPARE(stayed, !closes);
        QCOMPARE(fx->messages.boxes.size(), 0);
        QCOMPARE(db->scalar(QStringLiteral(
                                "select string_agg(price::text, ',' order by norma) from accounts_dep.norm "
                                "where o_id = %1")
                                .arg(cutProfile))
                     .toString(),
                 prices);
    }
};

QTEST_MAIN(TestOperations)
#include "tst_operations.moc"
