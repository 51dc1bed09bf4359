#include "app/roles.h"
#include "history/historymodel.h"
#include "history/historyperiodwindow.h"
#include "history/historywindow.h"
#include "refbooks/normswindow.h"
#include "register/registerwindow.h"
#include "reportengine/document.h"
#include "reports/previewwindow.h"
#include "reports/spreadsheet.h"
#include "shop/databaseschema.h"
#include "shop/entrystore.h"
#include "testsupport/databasetest.h"
#include "testsupport/shop.h"
#include "testsupport/windowfixture.h"
#include "testsupport/xlsxcells.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tabel;

// The history's windows on the real database: an entry's changes from the register (F7, the menu,
// the row's context menu), an operation's from its norms, every change of a period with its
// filters, export and print, the roles, and a database that keeps no history yet.
class TestHistoryWindows : public test::DatabaseTest
{
    Q_OBJECT
    std::unique_ptr<test::WindowFixture> fx;
    RegisterWindow *reg = nullptr;
    HistoryWindow *history = nullptr;
    HistoryPeriodWindow *period = nullptr;
    NormsWindow *norms = nullptr;
    int ivanov = 0, petrov = 0, profile = 0, cutting = 0, kept = 0, deleted = 0;
    qint64 before = 0;
    const QDate kMonday{2023, 3, 13};

    EntryDraft draft(int worker, int quantity)
    {
        EntryDraft d = test::cuttingDraft(worker, profile, cutting, 8, kMonday, kMonday);
        d.quantity = QString::number(quantity);
        return d;
    }
    // "Когда | Кто | Что | Изменения" of the window's rows from this test, the time left out.
    QStringList rows(const HistoryModel *model) const
    {
        QStringList out;
        for (const HistoryLine &l : model->lines())
            if (l.id > before)
                out << l.who + QStringLiteral(" | ") + l.what + u' ' + l.action + QStringLiteral(" | ") +
                           l.changes.join(QStringLiteral("; "));
        return out;
    }

private Q_SLOTS:
    void init()
    {
        db->clear();
        std::tie(ivanov, petrov, profile, cutting) = test::cuttingShop(*db);
        before = db->scalar(QStringLiteral("select coalesce(max(id), 0) from accounts_dep.tabel_history"))
                     .toLongLong();
        fx = std::make_unique<test::WindowFixture>(*db, kMonday);
        fx->session.shiftViews().setAcceptanceFilter(QStringLiteral("ta")); // accepted entries too
        fx->data.connection().setSessionValue(QStringLiteral("tabel.role"), QStringLiteral("Ввод"));
        fx->data.connection().setSessionValue(QStringLiteral("tabel.host"), QStringLiteral("цех-1"));
        // One entry changed twice, another deleted.
        EntryStore store(&fx->data);
        QCOMPARE(store.save(draft(ivanov, 10)), QString());
        kept = db->scalar(QStringLiteral("select max(id) from accounts_dep.smena")).toInt();
        QCOMPARE(store.save(draft(petrov, 5)), QString());
        deleted = db->scalar(QStringLiteral("select max(id) from accounts_dep.smena")).toInt();
        EntryDraft edit = draft(ivanov, 12);
        edit.entryId = kept;
        QCOMPARE(store.save(edit), QString());
        store.setMark(kept, QStringLiteral("ok"));
        QVERIFY(store.remove(deleted));
        reg = fx->windows.add(std::make_unique<RegisterWindow>(fx->context));
        reg->setClock(fx->clock());
        history = fx->windows.add(std::make_unique<HistoryWindow>(fx->context));
        period = fx->windows.add(std::make_unique<HistoryPeriodWindow>(fx->context));
        norms = fx->windows.add(std::make_unique<NormsWindow>(fx->context));
        fx->windows.add(std::make_unique<report::PreviewWindow>(fx->context.services));
        reg->activate();
    }
    void cleanup() { fx.reset(); }

    // F7 in the register: the current entry's changes, newest first, in the grid's texts; the menu
    // and the row's context menu hold the same action; the register stays on its date.
    void entryFromTheRegister()
    {
        auto *action = test::child<QAction>(reg, "entryHistoryAction");
        QCOMPARE(action->shortcut(), QKeySequence(Qt::Key_F7));
        QVERIFY(test::child<QTableView>(reg, "grid")->actions().contains(action));
        QCOMPARE(test::child<QMenu>(reg, "historyMenu")->title(), QStringLiteral("История"));
        QStringList items;
        for (QAction *a : test::child<QMenu>(reg, "historyMenu")->actions())
            items << a->text();
        QCOMPARE(items,
                 (QStringList{QStringLiteral("История изменений"), QStringLiteral("Изменения за период")}));
        bool opened = false;
        fx->whileOpen[history] = [&] {
            opened = true;
            QCOMPARE(history->windowTitle(), QStringLiteral("История изменений"));
            QCOMPARE(
                test::child<QLabel>(history, "subjectLabel")->text(),
                QStringLiteral("Позиция № %1: Иванов И.И., 13.03.2023, смена 1, ПН-27; Резка").arg(kept));
            QCOMPARE(test::child<QLabel>(history, "countLabel")->text(), QStringLiteral("Изменений: 3"));
            const QString who = QStringLiteral("Ввод (цех-1)");
            QCOMPARE(rows(history->model()),
                     (QStringList{
                         QStringLiteral("%1 | Позиция № %2 изменена | OK: нет → да").arg(who).arg(kept),
                         QStringLiteral("%1 | Позиция № %2 изменена | Кол-во: 10 → 12").arg(who).arg(kept),
                         QStringLiteral(
                             "%1 | Позиция № %2 добавлена | Дата: 13.03.2023; Смена: 1; Фамилия И.О.: "
                             "Иванов И.И.; Марка изделия: ПН-27; Операция: ПН-27; Резка; Готовая "
                             "продукция; Цвет: 0; Часы: 8; Кол-во: 10; Брак: 0; Цена: 12,5; Премия (%): 0; "
                             "OK: нет; Заведен: 13.03.2023")
                             .arg(who)
                             .arg(kept)}));
            QCOMPARE(history->model()
                         ->headerData(HistoryModel::Changes, Qt::Horizontal, Qt::DisplayRole)
                         .toString(),
                     QStringLiteral("Изменения"));
        };
        reg->show();
        reg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(reg));
        QTest::keyClick(reg, Qt::Key_F7);
        QTRY_VERIFY(opened);
        QCOMPARE(reg->date(), kMonday);
    }

    // The norms window's "История" (and F7): the operation's price and norms.
    void operationFromTheNorms()
    {
        db->exec(QStringLiteral("update accounts_dep.norm set price = 11 where o_id = %1").arg(cutting));
        db->exec(QStringLiteral("update accounts_dep.oper set cena_new = 3.5 where id = %1").arg(cutting));
        bool opened = false;
        fx->whileOpen[history] = [&] {
            opened = true;
            QCOMPARE(test::child<QLabel>(history, "subjectLabel")->text(),
                     QStringLiteral("Операция № %1: ПН-27; Резка; Готовая продукция").arg(cutting));
            const QStringList r = rows(history->model());
            QCOMPARE(r.size(), 2);
            QVERIFY2(
                r[0].endsWith(QStringLiteral("| Операция № %1 изменена | Цена (min): 0 → 3,5").arg(cutting)),
                qPrintable(r[0]));
            QVERIFY2(r[1].endsWith(QStringLiteral("операции № %1 изменена | Цена: 10 → 11").arg(cutting)),
                     qPrintable(r[1]));
        };
        fx->whileOpen[norms] = [&] {
            auto *button = test::child<QPushButton>(norms, "historyButton");
            QVERIFY(button->isVisible());
            QCOMPARE(button->text(), QStringLiteral("История"));
            QTest::mouseClick(button, Qt::LeftButton);
        };
        norms->show();
        norms->openForOperation(cutting);
        QVERIFY(opened);
    }

    // A period: every change of the day, by kind and by who; a period before it holds none.
    void periodView_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("who");
        QTest::addColumn<QString>("expected"); // each line's "what action", newest first
        QTest::newRow("all") << 0 << ""
                             << "Позиция № D удалена, Позиция № K изменена, Позиция № K изменена, "
                                "Позиция № D добавлена, Позиция № K добавлена";
        QTest::newRow("norms and prices") << 2 << ""
                                          << "";
        QTest::newRow("by who") << 0 << "Ввод (цех-1)"
                                << "Позиция № D удалена, Позиция № K изменена, Позиция № K "
                                   "изменена, Позиция № D добавлена, Позиция № K добавлена";
    }
    void periodView()
    {
        QFETCH(int, kind);
        QFETCH(QString, who);
        QFETCH(QString, expected);
        const QDate today = QDate::currentDate();
        period->setClock([today] { return today; });
        fx->whileOpen[period] = [&] {
            QCOMPARE(period->windowTitle(), QStringLiteral("Изменения за период"));
            auto *whoCombo = test::child<QComboBox>(period, "whoCombo");
            QCOMPARE(whoCombo->itemText(0), QStringLiteral("Все"));
            QVERIFY(whoCombo->findText(QStringLiteral("Ввод (цех-1)")) > 0);
            if (!who.isEmpty())
                whoCombo->setCurrentIndex(whoCombo->findText(who));
            test::child<QComboBox>(period, "kindCombo")->setCurrentIndex(kind);
            QTest::mouseClick(test::child<QPushButton>(period, "showButton"), Qt::LeftButton);
            QStringList got;
            for (const HistoryLine &l : period->model()->lines())
                if (l.id > before)
                    got << QString(l.what + u' ' + l.action)
                               .replace(QStringLiteral("№ %1 ").arg(kept), QStringLiteral("№ K "))
                               .replace(QStringLiteral("№ %1 ").arg(deleted), QStringLiteral("№ D "));
            QCOMPARE(got.join(QStringLiteral(", ")), expected);
            // Yesterday: nothing of it.
            test::child<QDateEdit>(period, "fromPicker")->setDate(today.addDays(-1));
            test::child<QDateEdit>(period, "toPicker")->setDate(today.addDays(-1));
            QTest::mouseClick(test::child<QPushButton>(period, "showButton"), Qt::LeftButton);
            for (const HistoryLine &l : period->model()->lines())
                QVERIFY(l.id <= before);
            // A period that ends before it begins.
            test::child<QDateEdit>(period, "fromPicker")->setDate(today);
            QTest::mouseClick(test::child<QPushButton>(period, "showButton"), Qt::LeftButton);
            QCOMPARE(fx->messages.last(), QStringLiteral("Начало периода позже его конца."));
        };
        period->openForPeriod();
    }

    // A period of more changes than the window takes: the newest, and the window says so.
    void periodLimit()
    {
        const QDate today = QDate::currentDate();
        period->setClock([today] { return today; });
        period->setLimit(2);
        fx->whileOpen[period] = [&] {
            QCOMPARE(period->model()->lines().size(), 2);
            QCOMPARE(period->model()->lines().first().what, QStringLiteral("Позиция № %1").arg(deleted));
            QCOMPARE(test::child<QLabel>(period, "countLabel")->text(),
                     QStringLiteral("Показаны последние 2 изменений: их больше. Сузьте период или отбор."));
            // The print says so too.
            QVERIFY(period->prepareReport().texts(0).contains(QStringLiteral(
                "Кто: все. Что: все изменения. Показаны последние 2 изменений: их больше. Сузьте "
                "период или отбор.")));
        };
        period->openForPeriod();
    }

    // The entry and acceptance roles see the changes of entries only.
    void roles()
    {
        db->exec(QStringLiteral("update accounts_dep.norm set price = 11 where o_id = %1").arg(cutting));
        applyRole(Role::Entry, {period});
        QVERIFY(!period->allKindsAllowed());
        auto *kind = test::child<QComboBox>(period, "kindCombo");
        QVERIFY(!kind->isEnabled());
        QCOMPARE(kind->currentText(), QStringLiteral("Позиции"));
        const QDate today = QDate::currentDate();
        period->setClock([today] { return today; });
        fx->whileOpen[period] = [&] {
            QVERIFY(!period->model()->lines().isEmpty());
            for (const HistoryLine &l : period->model()->lines())
                QVERIFY2(l.what.startsWith(QStringLiteral("Позиция")), qPrintable(l.what));
        };
        period->openForPeriod();
    }

    // "В Excel": the period's lines as texts, read back; "Печать": the pages as a real PDF.
    void exportAndPrint()
    {
        const QDate today = QDate::currentDate();
        period->setClock([today] { return today; });
        QTemporaryDir dir;
        QStringList opened;
        period->spreadsheet().setFolder(dir.path());
        period->spreadsheet().setOpener([&](const QString &path) {
            opened << path;
            return true;
        });
        QString pdf;
        fx->whileOpen[period] = [&] {
            QTest::mouseClick(test::child<QPushButton>(period, "excelButton"), Qt::LeftButton);
            pdf = dir.filePath(QStringLiteral("history.pdf"));
            period->prepareReport().writePdf(pdf);
        };
        period->openForPeriod();
        QCOMPARE(opened.size(), 1);
        QVERIFY2(QFileInfo(opened.first()).fileName().startsWith(QStringLiteral("История изменений ")),
                 qPrintable(opened.first()));
        const QJsonObject cells = test::xlsxCells(opened.first());
        const QString day = today.toString(QStringLiteral("dd.MM.yyyy"));
        const QString first = QDate(today.year(), today.month(), 1).toString(QStringLiteral("dd.MM.yyyy"));
        QCOMPARE(cells[QStringLiteral("A1")].toObject()[QStringLiteral("value")].toString(),
                 QStringLiteral("Изменения за период с %1 по %2").arg(first, day));
        QStringList heads;
        for (const char *c : {"A3", "B3", "C3", "D3", "E3"})
            heads << cells[QLatin1String(c)].toObject()[QStringLiteral("value")].toString();
        QCOMPARE(heads, (QStringList{QStringLiteral("Когда"), QStringLiteral("Кто"), QStringLiteral("Что"),
                                     QStringLiteral("Изменения"), QStringLiteral("Примечание")}));
        // Newest first: the deletion of the entry, the whole row it had.
        QCOMPARE(cells[QStringLiteral("C4")].toObject()[QStringLiteral("value")].toString(),
                 QStringLiteral("Позиция № %1 удалена").arg(deleted));
        QVERIFY(cells[QStringLiteral("D4")].toObject()[QStringLiteral("value")].toString().contains(
            QStringLiteral("Фамилия И.О.: Петров П.П.; ")));
        QCOMPARE(cells[QStringLiteral("A4")].toObject()[QStringLiteral("type")].toString(),
                 QStringLiteral("s"));

        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000));
        const QString out = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral("Изменения за период с %1 по %2").arg(first, day)),
                 qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("Кто: все. Что: все изменения.")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("Позиция № %1 удалена").arg(deleted)), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("Кол-во: 10 → 12")), qPrintable(out));
        // A new entry's fields share rows.
        QVERIFY2(out.contains(
                     QStringLiteral("Дата: 13.03.2023; Смена: 1; Фамилия И.О.: Петров П.П.; Марка изделия")),
                 qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("Страница 1 из ")), qPrintable(out));
    }

    // A database without the history of changes: no menu, F7 does nothing, no "История" for norms.
    void databaseWithoutHistory()
    {
        test::TestDatabase older(test::TestDatabase::Start::BaseTables);
        for (const Migration &m : migrations())
            if (!m.optional)
                older.exec(m.sql);
        test::Shop shop(older);
        const int operation = shop.operation(shop.product(QStringLiteral("ПН-27")),
                                             shop.kind(QStringLiteral("Резка")), 0, {10});
        test::WindowFixture f(older, kMonday);
        auto *r = f.windows.add(std::make_unique<RegisterWindow>(f.context));
        f.windows.add(std::make_unique<HistoryWindow>(f.context));
        auto *n = f.windows.add(std::make_unique<NormsWindow>(f.context));
        r->setClock(f.clock());
        r->activate();
        QVERIFY(!test::child<QMenu>(r, "historyMenu")->menuAction()->isVisible());
        r->showEntryHistory();
        QVERIFY(f.shown.isEmpty());
        f.whileOpen[n] = [&] { QVERIFY(!test::child<QPushButton>(n, "historyButton")->isVisible()); };
        n->show();
        n->openForOperation(operation);
    }
};

QTEST_MAIN(TestHistoryWindows)
#include "tst_historywindows.moc"
