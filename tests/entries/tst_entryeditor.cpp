#include "entries/entryeditor.h"
#include "refbooks/operationlistwindow.h"
#include "refbooks/workerlistwindow.h"
#include "register/registerwindow.h"
#include "reports/reportdialog.h"
#include "testsupport/databasetest.h"
#include "testsupport/shop.h"
#include "testsupport/windowfixture.h"
#include "timesheet/timesheetwindow.h"
#include "ui/boxmessageservice.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateEdit>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <memory>
#include <utility>

using namespace tabel;

// The entry editor over the register, with the worker and operation lists as its pickers, and the
// register's row actions, on the real database.
class TestEntryEditor : public test::DatabaseTest
{
    Q_OBJECT
    std::unique_ptr<test::WindowFixture> fx;
    RegisterWindow *reg = nullptr;
    EntryEditor *editor = nullptr;
    WorkerListWindow *workers = nullptr;
    OperationListWindow *operations = nullptr;
    int ivanov = 0, petrov = 0, profile = 0, cutting = 0, painting = 0;
    const QDate kMonday{2023, 3, 13};

    QLineEdit *box(const char *name) { return test::child<QLineEdit>(editor, name); }
    // What the pickers do while their list is open: choose the current row, or leave.
    void chooseWorker(const QString &search = QString())
    {
        fx->whileOpen[workers] = [this, search] {
            if (!search.isEmpty())
                test::type(test::child<QLineEdit>(workers, "searchEdit"), search);
            QTest::mouseClick(test::child<QPushButton>(workers, "changeButton"), Qt::LeftButton);
        };
    }
    void chooseOperation(const QString &search = QString())
    {
        fx->whileOpen[operations] = [this, search] {
            if (!search.isEmpty())
                test::type(test::child<QLineEdit>(operations, "searchEdit"), search);
            QTest::mouseClick(test::child<QPushButton>(operations, "changeButton"), Qt::LeftButton);
        };
    }
    // Fills the editor for a cutting entry of Petrov: 3 pieces, 8 hours.
    void fillCutting()
    {
        chooseWorker(QStringLiteral("Пет"));
        QTest::mouseClick(test::child<QPushButton>(editor, "workerButton"), Qt::LeftButton);
        chooseOperation(QStringLiteral("ПН"));
        QTest::mouseClick(test::child<QPushButton>(editor, "operationButton"), Qt::LeftButton);
        box("quantityEdit")->setText(QStringLiteral("3"));
        box("hoursEdit")->setText(QStringLiteral("8"));
    }
    int hours(int worker, int shift, const QDate &date)
    {
        const QVariant v =
            db->scalar(QStringLiteral("select d%1 from accounts_dep.h_tabel where w_id=%2 and smena=%3 "
                                      "and month=%4 and year=%5")
                           .arg(date.day())
                           .arg(worker)
                           .arg(shift)
                           .arg(date.month())
                           .arg(date.year()));
        return v.isNull() ? -1 : v.toInt();
    }

private Q_SLOTS:

    void init()
    {
        db->clear();
        test::Shop shop(*db);
        ivanov = shop.worker(QStringLiteral("Иванов И.И."));
        petrov = shop.worker(QStringLiteral("Петров П.П."));
        profile = shop.product(QStringLiteral("ПН-27"));
        const int bracket = shop.product(QStringLiteral("КР-40"));
        cutting = shop.operation(profile, shop.kind(QStringLiteral("Резка")), 0, {10});
        painting = shop.operation(bracket, shop.kind(QStringLiteral("Покраска порошковая")), 1, {12.5});
        fx = std::make_unique<test::WindowFixture>(*db, kMonday);
        fx->session.shiftViews().setAcceptanceFilter(QStringLiteral("ta"));
        reg = fx->windows.add(std::make_unique<RegisterWindow>(fx->context));
        reg->setClock(fx->clock());
        editor = fx->windows.add(std::make_unique<EntryEditor>(fx->context));
        editor->setClock(fx->clock());
        workers = fx->windows.add(std::make_unique<WorkerListWindow>(fx->context));
        operations = fx->windows.add(std::make_unique<OperationListWindow>(fx->context));
        reg->activate();
    }
    void cleanup() { fx.reset(); }

    void controls()
    {
        QCOMPARE(test::child<QGroupBox>(editor, "entryGroup")->title(), QStringLiteral("Закрыто мастером"));
        const QList<QPair<const char *, QString>> labels = {
            {"workerLabel", QStringLiteral("ФИО")},           {"operationLabel", QStringLiteral("Операция")},
            {"quantityLabel", QStringLiteral("Кол-во")},      {"hoursLabel", QStringLiteral("Время")},
            {"colourLabel", QStringLiteral("Цвет")},          {"dateLabel", QStringLiteral("Дата")},
            {"rejectsLabel", QStringLiteral("Брак")},         {"basePriceLabel", QStringLiteral("Цена база")},
            {"finalPriceLabel", QStringLiteral("Цена итог")}, {"sumLabel", QStringLiteral("Сумма")}};
        for (const auto &[name, text] : labels)
            QCOMPARE(test::child<QLabel>(editor, name)->text(), text);
        for (const char *name :
             {"workerEdit", "operationEdit", "basePriceEdit", "finalPriceEdit", "sumEdit"}) {
            QVERIFY(box(name)->isReadOnly());
            QCOMPARE(box(name)->focusPolicy(), Qt::NoFocus);
        }
        QVERIFY(test::child<QPushButton>(editor, "saveButton")->isDefault());
        QCOMPARE(test::child<QPushButton>(editor, "saveButton")->text(), QStringLiteral("Запись"));
        QCOMPARE(test::child<QPushButton>(editor, "cancelButton")->text(), QStringLiteral("Отмена"));
        // Tab order over the fields that take the focus.
        QWidget *w = test::child<QPushButton>(editor, "workerButton");
        QStringList order;
        for (int i = 0; i < 9; ++i, w = w->nextInFocusChain()) {
            while (!(w->focusPolicy() & Qt::TabFocus) ||
                   w->parentWidget()->objectName() == QLatin1String("datePicker"))
                w = w->nextInFocusChain();
            order << w->objectName();
        }
        QCOMPARE(order.join(QLatin1Char(' ')),
                 QStringLiteral(
                     "workerButton operationButton quantityEdit hoursEdit colourEdit datePicker rejectsEdit "
                     "saveButton cancelButton"));
    }

    // A new entry empties worker, operation, quantity and colour, sets rejects and hours to 0, takes
    // the register's date, and keeps the price fields of the last opening.
    void newEntryOpening()
    {
        box("workerEdit")->setText(QStringLiteral("старое"));
        box("colourEdit")->setText(QStringLiteral("4"));
        box("hoursEdit")->setText(QStringLiteral("7"));
        box("finalPriceEdit")->setText(QStringLiteral("9,5"));
        box("sumEdit")->setText(QStringLiteral("19"));
        fx->whileOpen[editor] = [this] {
            QCOMPARE(editor->windowTitle(), QStringLiteral("Заведение новой позиции"));
            QCOMPARE(editor->mode(), EntryEditor::Mode::New);
            QCOMPARE(test::child<QDateEdit>(editor, "datePicker")->date(), QDate(2023, 3, 10));
            for (const char *name : {"workerEdit", "operationEdit", "quantityEdit", "colourEdit"})
                QCOMPARE(box(name)->text(), QString());
            QCOMPARE(box("rejectsEdit")->text(), QStringLiteral("0"));
            QCOMPARE(box("hoursEdit")->text(), QStringLiteral("0"));
            QCOMPARE(box("finalPriceEdit")->text(), QStringLiteral("9,5"));
            QCOMPARE(box("sumEdit")->text(), QStringLiteral("19"));
            QTest::keyClick(editor, Qt::Key_Escape); // "Отмена": nothing cleared
        };
        QVERIFY(!editor->addEntry(QDate(2023, 3, 10), false));
        QVERIFY(fx->shown.contains(editor));
        QCOMPARE(box("hoursEdit")->text(), QStringLiteral("0"));
    }

    void pickAndPriceRules_data()
    {
        QTest::addColumn<bool>("dayOff");
        QTest::addColumn<int>("shift");
        QTest::addColumn<QString>("search"); // the operation list's search
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("final");
        QTest::addColumn<QString>("sum"); // of 3 pieces
        QTest::addColumn<bool>("paint");
        QTest::newRow("shift 1") << false << 1 << QString()
                                 << QStringLiteral("КР-40; Покраска порошковая; Заготовки")
                                 << QStringLiteral("12,5") << QStringLiteral("12,5") << QStringLiteral("37,5")
                                 << true;
        QTest::newRow("shift 3: 10 gives 12")
            << false << 3 << QStringLiteral("ПН") << QStringLiteral("ПН-27; Резка; Готовая продукция")
            << QStringLiteral("10") << QStringLiteral("12") << QStringLiteral("36") << false;
        QTest::newRow("day off in overtime: three times")
            << true << 4 << QStringLiteral("пн") << QStringLiteral("ПН-27; Резка; Готовая продукция")
            << QStringLiteral("10") << QStringLiteral("30") << QStringLiteral("90") << false;
    }

    void pickAndPriceRules()
    {
        QFETCH(bool, dayOff);
        QFETCH(int, shift);
        QFETCH(QString, search);
        QFETCH(QString, operation);
        QFETCH(QString, base);
        QFETCH(QString, final);
        QFETCH(QString, sum);
        QFETCH(bool, paint);
        fx->session.setShiftView(shift);
        fx->whileOpen[editor] = [&] {
            box("colourEdit")->setText(QStringLiteral("5")); // a colour typed before the pick
            chooseWorker();
            QTest::mouseClick(test::child<QPushButton>(editor, "workerButton"), Qt::LeftButton);
            QCOMPARE(box("workerEdit")->text(), QStringLiteral("Иванов И.И."));
            QCOMPARE(editor->workerId(), ivanov);
            box("quantityEdit")->setText(QStringLiteral("3"));
            chooseOperation(search);
            QTest::mouseClick(test::child<QPushButton>(editor, "operationButton"), Qt::LeftButton);
            QCOMPARE(box("operationEdit")->text(), operation);
            QCOMPARE(box("basePriceEdit")->text(), base); // the picked row's, also after a search
            QCOMPARE(box("finalPriceEdit")->text(), final);
            QCOMPARE(box("sumEdit")->text(), sum);
            QCOMPARE(box("colourEdit")->isEnabled(), paint);
            QCOMPARE(test::child<QLabel>(editor, "colourLabel")->isEnabled(), paint);
            QCOMPARE(box("colourEdit")->text(), paint ? QStringLiteral("5") : QString());
            editor->reject();
        };
        editor->addEntry(kMonday, dayOff);
    }

    // An operation list with nothing to choose hands back nothing; a worker list likewise.
    void emptyListsHandBackNothing()
    {
        fx->whileOpen[editor] = [&] {
            chooseWorker(QStringLiteral("Я"));
            QTest::mouseClick(test::child<QPushButton>(editor, "workerButton"), Qt::LeftButton);
            chooseOperation(QStringLiteral("Я"));
            QTest::mouseClick(test::child<QPushButton>(editor, "operationButton"), Qt::LeftButton);
            QCOMPARE(box("workerEdit")->text(), QString());
            QCOMPARE(box("operationEdit")->text(), QString());
            QCOMPARE(editor->operationId(), 0);
            editor->reject();
        };
        editor->addEntry(kMonday, false);
    }

    // The four digit boxes take digits only, typed, pasted or composed.
    void digitBoxes()
    {
        for (const char *name : {"quantityEdit", "rejectsEdit", "colourEdit", "hoursEdit"}) {
            QLineEdit *b = box(name);
            b->setEnabled(true);
            b->clear();
            QTest::keyClicks(b, QStringLiteral("1a-2,.3 "));
            QCOMPARE(b->text(), QStringLiteral("123"));
            QTest::keyClick(b, Qt::Key_Backspace);
            QCOMPARE(b->text(), QStringLiteral("12"));
            QApplication::clipboard()->setText(QStringLiteral("4x"));
            b->paste();
            QCOMPARE(b->text(), QStringLiteral("12"));
            QApplication::clipboard()->setText(QStringLiteral("45"));
            b->paste();
            QCOMPARE(b->text(), QStringLiteral("1245"));
            QInputMethodEvent composed;
            composed.setCommitString(QStringLiteral("٣z"));
            QApplication::sendEvent(b, &composed);
            QCOMPARE(b->text(), QStringLiteral("1245"));
        }
    }

    // "Запись": the entry written, the view read again with it, the hours posted, the fields emptied.
    void saveNewEntry()
    {
        fx->whileOpen[editor] = [&] {
            fillCutting();
            QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
        };
        QVERIFY(editor->addEntry(kMonday, false));
        QVERIFY(fx->messages.boxes.isEmpty());
        QCOMPARE(db->scalar(QStringLiteral(
                                "select concat_ws('|', w_id=%1, o_id=%2, kol_vo, time, cena, smena, ok) "
                                "from accounts_dep.smena")
                                .arg(petrov)
                                .arg(cutting))
                     .toString(),
                 QStringLiteral("t|t|3|8|10|1|no"));
        QCOMPARE(hours(petrov, 1, kMonday), 8);
        QCOMPARE(fx->data.smena(1)->recordCount(), 1);
        QCOMPARE(fx->data.smena(1)->asString(QStringLiteral("fio")), QStringLiteral("Петров П.П."));
        for (const char *name : {"workerEdit", "operationEdit", "quantityEdit", "rejectsEdit", "colourEdit",
                                 "hoursEdit", "basePriceEdit", "finalPriceEdit", "sumEdit"})
            QCOMPARE(box(name)->text(), QString());
    }

    void refusalsKeepTheEditorOpen_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("message");
        QTest::newRow("no quantity") << "quantity" << QStringLiteral("Все поля должны быть заполнены!");
        QTest::newRow("paint without a colour")
            << "paint" << QStringLiteral("Все поля должны быть заполнены!");
        QTest::newRow("hours beyond a day cell")
            << "hours" << QStringLiteral("Число в поле «Время» слишком велико: не больше 32767.");
        QTest::newRow("a repeat") << "repeat" << QStringLiteral("Позиция с такими параметрами уже заведена!");
        QTest::newRow("rejects pasted beyond smallint")
            << "paste" << QStringLiteral("Число в поле «Брак» слишком велико: не больше 32767.");
    }

    void refusalsKeepTheEditorOpen()
    {
        QFETCH(QString, what);
        QFETCH(QString, message);
        if (what == QLatin1String("repeat")) {
            fx->whileOpen[editor] = [&] {
                fillCutting();
                editor->save();
            };
            QVERIFY(editor->addEntry(kMonday, false));
        }
        bool stayed = false;
        fx->whileOpen[editor] = [&] {
            fillCutting();
            if (what == QLatin1String("quantity"))
                box("quantityEdit")->clear();
            if (what == QLatin1String("hours"))
                box("hoursEdit")->setText(QStringLiteral("40000"));
            if (what == QLatin1String("paste")) { // all of it, not cut short to a smaller number
                box("rejectsEdit")->clear();
                QApplication::clipboard()->setText(QStringLiteral("100000"));
                box("rejectsEdit")->paste();
                QCOMPARE(box("rejectsEdit")->text(), QStringLiteral("100000"));
            }
            if (what == QLatin1String("paint")) {
                chooseOperation(QStringLiteral("КР"));
                QTest::mouseClick(test::child<QPushButton>(editor, "operationButton"), Qt::LeftButton);
            }
            QTest::keyClick(test::child<QPushButton>(editor, "saveButton"), Qt::Key_Return);
            stayed = editor->isVisible() && !box("workerEdit")->text().isEmpty();
            editor->reject();
        };
        QVERIFY(!editor->addEntry(kMonday, false));
        QVERIFY(stayed);
        QCOMPARE(fx->messages.boxes.size(), 1);
        QCOMPARE(fx->messages.boxes.first().caption, QStringLiteral("Ошибка"));
        QCOMPARE(fx->messages.boxes.first().icon, MessageService::Icon::Error);
        QCOMPARE(fx->messages.last(), message);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(),
                 what == QLatin1String("repeat") ? 1 : 0);
    }

    // Leaving an emptied "Время" fills in 0; Enter while it still has the focus meets the message.
    void emptiedHours()
    {
        fx->whileOpen[editor] = [&] {
            QVERIFY(QTest::qWaitForWindowActive(editor));
            fillCutting();
            QLineEdit *hoursBox = box("hoursEdit");
            hoursBox->setFocus();
            hoursBox->clear();
            QTest::keyClick(hoursBox, Qt::Key_Return);
            QCOMPARE(fx->messages.last(), QStringLiteral("Все поля должны быть заполнены!"));
            QTest::keyClick(hoursBox, Qt::Key_Tab); // leaves it
            QCOMPARE(hoursBox->text(), QStringLiteral("0"));
            QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
        };
        QVERIFY(editor->addEntry(kMonday, false));
        QCOMPARE(hours(petrov, 1, kMonday), 0);
    }

    // A save refused for its hours (more than 24 in the worker's day and shift), after the warning
    // about the day's hours was answered Yes: the box names the worker, the day and the total,
    // nothing is written, the editor stays open with its fields, and "Запись" again saves once the
    // hours are mended.
    void refusedSaveKeepsTheEditor()
    {
        test::Shop shop(*db);
        shop.entry({kMonday, 1, petrov, cutting, 4, 1, 12.5, 20, QStringLiteral("no"), 9});
        fx->whileOpen[editor] = [&] {
            fillCutting();
            box("hoursEdit")->setText(QStringLiteral("5"));
            QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
            QCOMPARE(fx->messages.boxes.size(), 2);
            QCOMPARE(fx->messages.boxes.first().caption, QStringLiteral("Проверьте"));
            QCOMPARE(fx->messages.boxes.last().caption, QStringLiteral("Ошибка"));
            QCOMPARE(fx->messages.last(),
                     QStringLiteral("У работника Петров П.П. за %1 в смене 1 получается 25 ч, а больше "
                                    "24 ч быть не может. Проверьте время.")
                         .arg(kMonday.toString(QStringLiteral("dd.MM.yyyy"))));
            QVERIFY(editor->isVisible());
            QCOMPARE(box("workerEdit")->text(), QStringLiteral("Петров П.П."));
            QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(), 1);
            box("hoursEdit")->setText(QStringLiteral("4"));
            QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
        };
        QVERIFY(editor->addEntry(kMonday, false));
        QCOMPARE(hours(petrov, 1, kMonday), 24);
    }

    // Enter presses the focused button ("Отмена", "..."), and "Запись" from the boxes; Esc leaves an
    // emptied box as it is.
    void keys()
    {
        bool pickerOpened = false;
        fx->whileOpen[workers] = [&] {
            pickerOpened = true;
            workers->reject();
        };
        fx->whileOpen[editor] = [&] {
            QVERIFY(QTest::qWaitForWindowActive(editor));
            QCOMPARE(QApplication::focusWidget(), test::child<QPushButton>(editor, "workerButton"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QVERIFY(pickerOpened);
            QVERIFY(fx->messages.boxes.isEmpty()); // not "Запись"
            fillCutting();
            box("quantityEdit")->setFocus();
            box("quantityEdit")->clear();
            QTest::keyClick(box("quantityEdit"), Qt::Key_Escape);
        };
        QVERIFY(!editor->addEntry(kMonday, false));
        QCOMPARE(box("quantityEdit")->text(), QString()); // as it was left
        fx->whileOpen[editor] = [&] {
            QVERIFY(QTest::qWaitForWindowActive(editor));
            fillCutting();
            test::child<QPushButton>(editor, "cancelButton")->setFocus();
            QTest::keyClick(test::child<QPushButton>(editor, "cancelButton"), Qt::Key_Return);
        };
        QVERIFY(!editor->addEntry(kMonday, false));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(), 0);
        // Enter in a box saves; afterwards every field is empty.
        fx->whileOpen[editor] = [&] {
            QVERIFY(QTest::qWaitForWindowActive(editor));
            fillCutting();
            box("quantityEdit")->setFocus();
            QTest::keyClick(box("quantityEdit"), Qt::Key_Return);
        };
        QVERIFY(editor->addEntry(kMonday, false));
        for (const char *name : {"quantityEdit", "hoursEdit", "basePriceEdit", "finalPriceEdit", "sumEdit"})
            QCOMPARE(box(name)->text(), QString());
    }

    // An implausible entry asks once, every reason listed: No goes back to the first field concerned
    // (in the focus order) with nothing written; Yes saves, the warnings kept in the history.
    void warningQuestion_data()
    {
        QTest::addColumn<QString>("rejects");
        QTest::addColumn<QString>("hours");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("focused");
        const QString rejects = QStringLiteral("— брак (4) больше количества (3)");
        const QString hours = QStringLiteral("— время 13 ч на одной позиции больше 12 ч");
        QTest::newRow("rejects, No") << "4"
                                     << "8" << false << rejects + u'.' << "rejectsEdit";
        QTest::newRow("hours and rejects, No")
            << "4"
            << "13" << false << rejects + u';' + u'\n' + hours + u'.' << "hoursEdit";
        QTest::newRow("rejects, Yes") << "4"
                                      << "8" << true << rejects + u'.' << "";
    }
    void warningQuestion()
    {
        QFETCH(QString, rejects);
        QFETCH(QString, hours);
        QFETCH(bool, answer);
        QFETCH(QString, question);
        QFETCH(QString, focused);
        fx->messages.answers = {answer};
        fx->whileOpen[editor] = [&] {
            QVERIFY(QTest::qWaitForWindowActive(editor));
            fillCutting();
            box("rejectsEdit")->setText(rejects);
            box("hoursEdit")->setText(hours);
            QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
            QCOMPARE(fx->messages.boxes.size(), 1);
            QCOMPARE(fx->messages.boxes.first().caption, QStringLiteral("Проверьте"));
            QCOMPARE(fx->messages.last(), QStringLiteral("Позиция выглядит необычно:\n") + question +
                                              QStringLiteral("\n\nЗаписать всё же?"));
            if (answer)
                return;
            QVERIFY(editor->isVisible());
            QCOMPARE(QApplication::focusWidget()->objectName(), focused);
            QCOMPARE(box("quantityEdit")->text(), QStringLiteral("3")); // the fields as they were
            QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(), 0);
            QTest::mouseClick(test::child<QPushButton>(editor, "cancelButton"), Qt::LeftButton);
        };
        QCOMPARE(editor->addEntry(kMonday, false), answer);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(),
                 answer ? 1 : 0);
        if (answer)
            QCOMPARE(
                db->scalar(QStringLiteral("select note from accounts_dep.tabel_history where tbl = 'smena' "
                                          "order by id desc limit 1"))
                    .toString(),
                QStringLiteral("Записано несмотря на предупреждения: брак (4) больше количества (3)."));
    }

    // The real question box: Enter and Esc answer No (back to the editor), "Yes" saves.
    void warningBoxKeys_data()
    {
        QTest::addColumn<int>("key"); // 0: click "Yes"
        QTest::addColumn<bool>("saved");
        QTest::newRow("Enter") << int(Qt::Key_Return) << false;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << false;
        QTest::newRow("Yes") << 0 << true;
    }
    void warningBoxKeys()
    {
        QFETCH(int, key);
        QFETCH(bool, saved);
        BoxMessageService realBoxes;
        AppContext context = fx->context;
        context.services.messages = &realBoxes;
        EntryEditor boxed(context);
        boxed.setClock(fx->clock());
        EntryEditor *const kept = std::exchange(editor, &boxed);
        QString asked;
        fx->whileOpen[&boxed] = [&] {
            QVERIFY(QTest::qWaitForWindowActive(&boxed));
            fillCutting();
            box("rejectsEdit")->setText(QStringLiteral("4"));
            QTimer::singleShot(0, [&] {
                auto *question = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                QVERIFY(question);
                asked = question->windowTitle();
                if (key == 0)
                    question->button(QMessageBox::Yes)->click();
                else
                    QTest::keyClick(question, Qt::Key(key));
            });
            QTest::mouseClick(test::child<QPushButton>(&boxed, "saveButton"), Qt::LeftButton);
            if (saved)
                return;
            QVERIFY(boxed.isVisible());
            QCOMPARE(boxed.focusWidget(), box("rejectsEdit")); // the window's own focus
            QTest::mouseClick(test::child<QPushButton>(&boxed, "cancelButton"), Qt::LeftButton);
        };
        const bool result = boxed.addEntry(kMonday, false);
        editor = kept;
        QCOMPARE(asked, QStringLiteral("Проверьте"));
        QCOMPARE(result, saved);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(),
                 saved ? 1 : 0);
    }

    // "Изменить": the fields from the view's row; "Цена база" 0 until a pick; the picker starts on the
    // entry's own operation; the save changes the row and the register stays on its record number.
    void changeEntry()
    {
        test::Shop shop(*db);
        shop.entry({kMonday, 1, ivanov, cutting, 4, 1, 12.5, 6});
        const int paintEntry =
            shop.entry({kMonday, 1, petrov, painting, 2, 0, 3.25, 5, QStringLiteral("no"), 7});
        reg->refresh();
        Dataset *view = fx->data.smena(1);
        QVERIFY(view->locate(QStringLiteral("id"), paintEntry));
        QCOMPARE(view->recNo(), 2);
        fx->whileOpen[editor] = [&] {
            QCOMPARE(editor->windowTitle(), QStringLiteral("Изменение данных о позиции"));
            QCOMPARE(box("workerEdit")->text(), QStringLiteral("Петров П.П."));
            QCOMPARE(box("operationEdit")->text(), QStringLiteral("КР-40; Покраска порошковая; Заготовки"));
            QCOMPARE(box("quantityEdit")->text(), QStringLiteral("2"));
            QCOMPARE(box("rejectsEdit")->text(), QStringLiteral("0"));
            QCOMPARE(box("hoursEdit")->text(), QStringLiteral("5"));
            QCOMPARE(box("colourEdit")->text(), QStringLiteral("7"));
            QVERIFY(box("colourEdit")->isEnabled());
            QCOMPARE(box("finalPriceEdit")->text(), QStringLiteral("3,25"));
            QCOMPARE(box("sumEdit")->text(), QStringLiteral("6,5"));
            editor->recomputePrices(); // as leaving "Кол-во" does
            QCOMPARE(box("basePriceEdit")->text(), QStringLiteral("0"));
            QCOMPARE(box("finalPriceEdit")->text(), QStringLiteral("3,25"));
            // The picker starts on the entry's operation, also after another was picked.
            fx->whileOpen[operations] = [&] {
                QCOMPARE(fx->data.oper()->asInt(QStringLiteral("id")), painting);
                QVERIFY(fx->data.oper()->locate(QStringLiteral("id"), cutting));
                QTest::mouseClick(test::child<QPushButton>(operations, "changeButton"), Qt::LeftButton);
            };
            QTest::mouseClick(test::child<QPushButton>(editor, "operationButton"), Qt::LeftButton);
            QVERIFY(!box("colourEdit")->isEnabled());
            fx->whileOpen[operations] = [&] {
                QCOMPARE(fx->data.oper()->asInt(QStringLiteral("id")), painting);
                operations->reject();
            };
            QTest::mouseClick(test::child<QPushButton>(editor, "operationButton"), Qt::LeftButton);
            box("hoursEdit")->setText(QStringLiteral("9"));
            QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
        };
        QTest::mouseClick(test::child<QPushButton>(reg, "changeButton"), Qt::LeftButton);
        QVERIFY(fx->messages.boxes.isEmpty());
        QCOMPARE(db->scalar(QStringLiteral(
                                "select concat_ws('|', o_id=%1, time, cena, color) from accounts_dep.smena "
                                "where id=%2")
                                .arg(cutting)
                                .arg(paintEntry))
                     .toString(),
                 QStringLiteral("t|9|10|0"));
        QCOMPARE(hours(petrov, 1, kMonday), 9);
        QCOMPARE(fx->session.currentQuery()->recNo(), 2);
    }

    // "Табель по времени" opens the time sheet on the register date's month; its grids' queries are
    // closed when it returns, and the register is active again (back on today).
    void timesheetFromTheRegister()
    {
        auto *timesheet = fx->windows.add(std::make_unique<TimesheetWindow>(fx->context));
        reg->selectShift(1);
        auto *picker = test::child<QDateEdit>(reg, "datePicker");
        picker->setDate(QDate(2022, 5, 20));
        reg->applyDate();
        fx->whileOpen[timesheet] = [&] {
            QCOMPARE(timesheet->month(), 5);
            QCOMPARE(timesheet->year(), 2022);
            QVERIFY(fx->data.hTabel(1)->isOpen());
            timesheet->reject();
        };
        reg->findChild<QAction *>(QStringLiteral("timesheetAction"))->trigger();
        QVERIFY(fx->shown.contains(timesheet));
        QVERIFY(!fx->data.hTabel(1)->isOpen());
        QCOMPARE(picker->date(), kMonday);
    }

    // "Сводные отчеты" opens the report dialog on the whole previous month.
    void reportsFromTheRegister()
    {
        auto *reports = fx->windows.add(std::make_unique<ReportDialog>(fx->context));
        fx->whileOpen[reports] = [&] {
            QCOMPARE(reports->findChild<QDateEdit *>(QStringLiteral("fromDate"))->date(), QDate(2023, 2, 1));
            QCOMPARE(reports->findChild<QDateEdit *>(QStringLiteral("toDate"))->date(), QDate(2023, 3, 1));
            QCOMPARE(reports->titleOf(ReportDialog::Kind::WorkersDetail),
                     QStringLiteral("   Детальный отчет по рабочим за период с 01.02.2023 по 01.03.2023"));
            QTest::keyClick(reports, Qt::Key_Escape);
        };
        reg->findChild<QAction *>(QStringLiteral("summaryReportsAction"))->trigger();
        QVERIFY(fx->shown.contains(reports));
        QVERIFY(!reports->isVisible());
    }

    void changeOnAnEmptyViewDoesNothing()
    {
        editor->setWindowTitle(QStringLiteral("x"));
        QTest::mouseClick(test::child<QPushButton>(reg, "changeButton"), Qt::LeftButton);
        QVERIFY(fx->shown.isEmpty());
        QCOMPARE(editor->windowTitle(), QStringLiteral("x"));
    }

    void deleteEntry_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("left");
        QTest::newRow("Yes") << true << 5;
        QTest::newRow("No") << false << 11;
    }

    void deleteEntry()
    {
        QFETCH(bool, yes);
        QFETCH(int, left);
        test::Shop shop(*db);
        shop.entry({kMonday, 4, ivanov, cutting, 4, 1, 12.5, 6});
        shop.entry({kMonday, 4, ivanov, painting, 4, 1, 12.5, 5});
        db->exec(
            QStringLiteral(
                "insert into accounts_dep.h_tabel (w_id, smena, month, year, d13, d14) values (%1, 4, 3, 2023, 11, 2)")
                .arg(ivanov));
        reg->selectShift(4);
        reg->refresh();
        fx->data.smena(4)->setRecNo(1); // the 6 hours
        QCOMPARE(fx->data.smena(4)->asInt(QStringLiteral("time")), 6);
        fx->messages.answers = {yes};
        QTest::mouseClick(test::child<QPushButton>(reg, "deleteButton"), Qt::LeftButton);
        QCOMPARE(fx->messages.boxes.size(), 1);
        QCOMPARE(fx->messages.boxes.first().caption, QStringLiteral("Удаление"));
        QCOMPARE(fx->messages.last(), QStringLiteral("Удалить позицию из списка?"));
        QCOMPARE(fx->data.smena(4)->recordCount(), yes ? 1 : 2);
        QCOMPARE(hours(ivanov, 4, kMonday), left);
        QCOMPARE(hours(ivanov, 4, kMonday.addDays(1)), 2);
    }

    void doubleClickTogglesTheMark_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("after");
        QTest::newRow("full access") << QString() << QStringLiteral("ok");
        QTest::newRow("entry role: no effect") << QStringLiteral("entry") << QStringLiteral("no");
    }

    void doubleClickTogglesTheMark()
    {
        QFETCH(QString, password);
        QFETCH(QString, after);
        test::Shop shop(*db);
        shop.entry({kMonday, 1, ivanov, cutting, 4, 1, 12.5, 6});
        shop.entry({kMonday, 1, petrov, cutting, 4, 1, 12.5, 6});
        reg->setAcceptanceAllowed(password.isEmpty());
        reg->refresh();
        reg->show();
        QVERIFY(QTest::qWaitForWindowExposed(reg));
        auto *grid = test::child<QTableView>(reg, "grid");
        const QRect cell = grid->visualRect(grid->model()->index(1, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(db->scalar(QStringLiteral("select ok from accounts_dep.smena where w_id=%1").arg(petrov))
                     .toString(),
                 after);
        QCOMPARE(fx->data.smena(1)->recNo(), 2);
        // Below the rows: nothing toggles.
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {},
                           QPoint(cell.center().x(), grid->viewport()->height() - 3));
        QCOMPARE(db->scalar(QStringLiteral("select ok from accounts_dep.smena where w_id=%1").arg(petrov))
                     .toString(),
                 after);
        QCOMPARE(db->scalar(QStringLiteral("select ok from accounts_dep.smena where w_id=%1").arg(ivanov))
                     .toString(),
                 QStringLiteral("no"));
        reg->hide();
    }
};

QTEST_MAIN(TestEntryEditor)
#include "tst_entryeditor.moc"
