#include "data/datamodule.h"
#include "refbooks/operationkindeditor.h"
#include "refbooks/operationkindlistwindow.h"
#include "refbooks/operationlistwindow.h"
#include "refbooks/producteditor.h"
#include "refbooks/productlistwindow.h"
#include "refbooks/workereditor.h"
#include "refbooks/workerlistwindow.h"
#include "testsupport/shop.h"
#include "testsupport/windowfixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace tabel;

namespace {

// Values a hostile or careless user may type or paste. Those that try to run a statement write into
// the sentinel table, or drop it.
struct Hostile
{
    const char *name;
    QString text;
    bool refused; // refused with a message; otherwise stored exactly as the box holds it
};

QList<Hostile> corpus()
{
    const QChar nul(0);
    return {
        {"apostrophe", QStringLiteral("О'Нил"), false},
        {"backslash before apostrophe",
         QStringLiteral("x\\', 1); insert into public.sentinel values (1); --"), false},
        {"backslash at the end", QStringLiteral("x\\"), false},
        {"closing the literal", QStringLiteral("'); insert into public.sentinel values (2); --"), false},
        {"drop", QStringLiteral("'); drop table public.sentinel; --"), false},
        {"escape string", QStringLiteral("E'\\x27'); insert into public.sentinel values (3); --"), false},
        {"dollar quotes", QStringLiteral("$$; insert into public.sentinel values (4); $$"), false},
        {"percent placeholder", QStringLiteral("%1 %2 %"), false},
        {"question mark", QStringLiteral("? ?"), false},
        {"named parameter", QStringLiteral(":name :id"), false},
        {"odbc escape", QStringLiteral("{fn user()}"), false},
        {"double quotes", QStringLiteral("\"x\" \"\""), false},
        {"4-byte characters", QString::fromUcs4(U"\U0001F600 \U00010400"), false},
        {"tab inside", QStringLiteral("a\tb"), false},
        {"NUL", QStringLiteral("ab") + nul + QStringLiteral("'; insert into public.sentinel values (5); --"),
         true},
        {"line feed", QStringLiteral("a\nb"), true},
        {"escape character", QStringLiteral("a\x1b[31m"), true},
        {"lone surrogate", QStringLiteral("a") + QChar(0xdc00), true},
        {"10,000 characters, cut by the box", QString(10000, QLatin1Char('\\')), false},
    };
}

} // namespace

// Every text path of the reference books with a hostile corpus, on a database whose default reads a
// backslash in a literal as an escape: each value is stored exactly or refused with a message, no
// statement of the value's own runs, nothing crashes.
class TestHostileInput : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestDatabase> db;
    std::unique_ptr<test::WindowFixture> fx;

    QString sentinel()
    {
        return db
            ->scalar(QStringLiteral(
                "select coalesce((select string_agg(n::text, ',') from public.sentinel), 'empty')"))
            .toString();
    }

    void corpusRows()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("refused");
        for (const Hostile &h : corpus())
            QTest::newRow(h.name) << h.text << h.refused;
    }

    // What the editor's box held when it was saved: the box cuts what it cannot hold.
    QString held;

    // While the editor is open: the value pasted into its box, then the save.
    void saveThrough(QDialog *editor, const char *box, const QString &text, const char *otherBox = nullptr,
                     const QString &other = QString())
    {
        fx->whileOpen[editor] = [=, this] {
            auto *edit = test::child<QLineEdit>(editor, box);
            edit->setText(text);
            held = edit->text().trimmed();
            if (otherBox)
                test::child<QLineEdit>(editor, otherBox)->setText(other);
            QTest::mouseClick(test::child<QPushButton>(editor, "saveButton"), Qt::LeftButton);
            if (editor->isVisible())
                QTest::mouseClick(test::child<QPushButton>(editor, "cancelButton"), Qt::LeftButton);
        };
    }

    // Adds a row through the editor with the value in its box: stored exactly as the box held it, or
    // refused with a message and nothing stored; in either case no statement of the value's own ran.
    template <typename Editor>
    void addThrough(Editor *editor, const char *box, const QString &text, bool refused, const QString &table,
                    const QString &column, const char *otherBox = nullptr, const QString &other = QString())
    {
        const QString rows = QStringLiteral("select count(*) from accounts_dep.") + table;
        const qint64 before = db->scalar(rows).toLongLong();
        saveThrough(editor, box, text, otherBox, other);
        editor->add();
        QCOMPARE(sentinel(), QStringLiteral("empty"));
        const qint64 after = db->scalar(rows).toLongLong();
        if (refused) {
            QCOMPARE(fx->messages.boxes.size(), 1);
            QVERIFY2(fx->messages.last().contains(QStringLiteral("недопустимый символ")),
                     qPrintable(fx->messages.last()));
            QCOMPARE(after, before);
        } else {
            QVERIFY2(fx->messages.boxes.isEmpty(), qPrintable(fx->messages.last()));
            QCOMPARE(after, before + 1);
            QCOMPARE(db->scalar(QStringLiteral("select %1 from accounts_dep.%2 order by id desc limit 1")
                                    .arg(column, table))
                         .toString(),
                     held);
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        db = std::make_unique<test::TestDatabase>();
        db->exec(QStringLiteral("alter database %1 set standard_conforming_strings = off").arg(db->name()));
        db->exec(QStringLiteral("create table public.sentinel (n integer)"));
    }
    void cleanupTestCase() { db.reset(); }
    void init()
    {
        db->exec(QStringLiteral("delete from public.sentinel"));
        fx = std::make_unique<test::WindowFixture>(*db);
        // The fixture's connection is a new session of the database whose default is off.
        QCOMPARE(db->scalar(QStringLiteral(
                                "select count(*) from pg_db_role_setting s join pg_database d on d.oid = "
                                "s.setdatabase where d.datname = current_database() and "
                                "'standard_conforming_strings=off' = any(s.setconfig)"))
                     .toInt(),
                 1);
    }
    void cleanup() { fx.reset(); }

    void workerName_data() { corpusRows(); }
    void workerName()
    {
        QFETCH(QString, text);
        QFETCH(bool, refused);
        addThrough(fx->windows.add(std::make_unique<WorkerEditor>(fx->context)), "nameEdit", text, refused,
                   QStringLiteral("person"), QStringLiteral("fio"));
    }

    void productMark_data() { corpusRows(); }
    void productMark()
    {
        QFETCH(QString, text);
        QFETCH(bool, refused);
        addThrough(fx->windows.add(std::make_unique<ProductEditor>(fx->context)), "markEdit", text, refused,
                   QStringLiteral("izdel"), QStringLiteral("marka"), "numberEdit", QStringLiteral("1,5"));
    }

    // The duplicate check reads the typed name inside its statement, before the insert.
    void operationKindName_data() { corpusRows(); }
    void operationKindName()
    {
        QFETCH(QString, text);
        QFETCH(bool, refused);
        auto *editor = fx->windows.add(std::make_unique<OperationKindEditor>(fx->context));
        fx->data.vidOper()->open(); // as the list leaves it when it opens the editor
        addThrough(editor, "nameEdit", text, refused, QStringLiteral("vid_oper"), QStringLiteral("vid"));
        if (!refused) { // the same name again is found by the check, whatever it holds
            fx->messages.clear();
            saveThrough(editor, "nameEdit", text);
            editor->add();
            QCOMPARE(fx->messages.last(), QStringLiteral("Такая операция уже заведена!"));
            QCOMPARE(sentinel(), QStringLiteral("empty"));
        }
    }

    // Numbers typed into the product's number box: a number is stored as that number, anything else
    // is refused with a message.
    void productNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored"); // empty: refused
        QTest::newRow("comma") << QStringLiteral("2,5") << QStringLiteral("2.5");
        QTest::newRow("blanks inside") << QStringLiteral("1 000") << QString();
        QTest::newRow("exponent") << QStringLiteral("1e3") << QStringLiteral("1000");
        QTest::newRow("two commas") << QStringLiteral("1,2,3") << QString();
        QTest::newRow("nan") << QStringLiteral("nan") << QString();
        QTest::newRow("infinity") << QStringLiteral("inf") << QString();
        QTest::newRow("overflow") << QStringLiteral("1e999") << QString();
        QTest::newRow("injection") << QStringLiteral("1); insert into public.sentinel values (9); --")
                                   << QString();
    }
    void productNumber()
    {
        QFETCH(QString, text);
        QFETCH(QString, stored);
        auto *editor = fx->windows.add(std::make_unique<ProductEditor>(fx->context));
        const qint64 before =
            db->scalar(QStringLiteral("select count(*) from accounts_dep.izdel")).toLongLong();
        saveThrough(editor, "markEdit", QStringLiteral("М-%1").arg(before), "numberEdit", text);
        editor->add();
        QCOMPARE(sentinel(), QStringLiteral("empty"));
        const qint64 after =
            db->scalar(QStringLiteral("select count(*) from accounts_dep.izdel")).toLongLong();
        if (stored.isEmpty()) {
            QCOMPARE(after, before);
            QCOMPARE(fx->messages.boxes.size(), 1);
        } else {
            QVERIFY2(fx->messages.boxes.isEmpty(), qPrintable(fx->messages.last()));
            QCOMPARE(after, before + 1);
            QCOMPARE(db->scalar(QStringLiteral(
                                    "select massa::text from accounts_dep.izdel order by id desc limit 1"))
                         .toString(),
                     stored);
        }
    }

    // The search boxes filter the lists on the client: no hostile text reaches the server, none
    // fails, and an apostrophe or a backslash is searched for like any other character.
    void searchBoxes_data() { corpusRows(); }
    void searchBoxes()
    {
        QFETCH(QString, text);
        db->clear();
        test::Shop shop(*db);
        shop.worker(QStringLiteral("x\\' тест"));
        const QList<std::pair<QDialog *, std::function<void()>>> lists{
            {fx->windows.add(std::make_unique<WorkerListWindow>(fx->context)), {}},
            {fx->windows.add(std::make_unique<ProductListWindow>(fx->context)), {}},
            {fx->windows.add(std::make_unique<OperationKindListWindow>(fx->context)), {}},
            {fx->windows.add(std::make_unique<OperationListWindow>(fx->context)), {}},
        };
        for (const auto &[list, unused] : lists) {
            fx->whileOpen[list] = [&, list = list] {
                auto *box = test::child<QLineEdit>(list, "searchEdit");
                box->setText(text);
                box->setText(QStringLiteral("x\\'"));
                if (list == lists[0].first)
                    QCOMPARE(fx->data.workers()->recordCount(), 1); // found like any other text
                box->clear();
                list->reject();
            };
        }
        qobject_cast<WorkerListWindow *>(lists[0].first)->openForMaintenance();
        qobject_cast<ProductListWindow *>(lists[1].first)->openForMaintenance();
        qobject_cast<OperationKindListWindow *>(lists[2].first)->openForMaintenance();
        qobject_cast<OperationListWindow *>(lists[3].first)->openForMaintenance();
        QVERIFY2(fx->messages.boxes.isEmpty(), qPrintable(fx->messages.last()));
        QCOMPARE(sentinel(), QStringLiteral("empty"));
    }
};

QTEST_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"
