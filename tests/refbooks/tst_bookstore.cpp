#include "data/dataerror.h"
#include "data/datamodule.h"
#include "data/locks.h"
#include "shop/bookstore.h"
#include "testsupport/databasetest.h"
#include "testsupport/shop.h"
#include "testsupport/testdatabase.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include <atomic>
#include <functional>
#include <latch>
#include <memory>
#include <thread>

using namespace tabel;

// The reference books' store on the real database, without any window: what each write refuses,
// what it stores, what a deletion leaves, and that its check runs under the book's lock.
class TestBookStore : public test::DatabaseTest
{
    Q_OBJECT
    std::unique_ptr<DataModule> data;
    int ivanov = 0, kindCut = 0, kindPaint = 0, spareKind = 0, cutProfile = 0, usedOperation = 0,
        spareOperation = 0;
    qint64 profile = 0, bracket = 0, spareProduct = 0;

    static OperationRow operation(qint64 product, int kind, int naimen = 0, int id = 0)
    {
        OperationRow r;
        r.id = id;
        r.productId = product;
        r.kindId = kind;
        r.naimen = naimen;
        return r;
    }

    // Every row of the books, to show that a refusal wrote nothing.
    QString books()
    {
        return db
            ->scalar(QStringLiteral(
                "select concat_ws('|', (select string_agg(id || ':' || fio || ':' || coalesce(s_staffpos_hl, ''), ',' "
                "order by id) from accounts_dep.person), (select string_agg(id || ':' || marka || ':' || massa, ',' "
                "order by id) from accounts_dep.izdel), (select string_agg(id || ':' || vid, ',' order by id) from "
                "accounts_dep.vid_oper), (select string_agg(concat_ws(':', id, vid, naimen, i_id), ',' order by id) "
                "from accounts_dep.oper), (select string_agg(concat_ws(':', id, o_id, norma, price, prize), ',' "
                "order by id) from accounts_dep.norm))"))
            .toString();
    }

    // What each case does; its answer is the result's refusal, or "id" when it answered the row's id.
    std::function<BookResult(BookStore &)> action(const QByteArray &name)
    {
        const QHash<QByteArray, std::function<BookResult(BookStore &)>> actions{
            {"worker without a name",
             [](BookStore &s) {
                 return s.saveWorker({0, QStringLiteral("   "), {}});
             }},
            {"worker with a NUL",
             [](BookStore &s) {
                 return s.saveWorker({0, QStringLiteral("Ив\u0000анов"), {}});
             }},
            {"worker gone",
             [](BookStore &s) {
                 return s.saveWorker({999999, QStringLiteral("Сидоров"), {}});
             }},
            {"worker added",
             [](BookStore &s) {
                 return s.saveWorker({0, QStringLiteral(" Сидоров С.С. "), QStringLiteral("Цех")});
             }},
            {"product without a mark",
             [](BookStore &s) {
                 return s.saveProduct({0, QString(), 1});
             }},
            {"product mark repeated in other letters",
             [](BookStore &s) {
                 return s.saveProduct({0, QStringLiteral("пн-27"), 1});
             }},
            {"product keeps its own mark",
             [this](BookStore &s) {
                 return s.saveProduct({profile, QStringLiteral("пн-27"), 2.5});
             }},
            {"product takes another's mark",
             [this](BookStore &s) {
                 return s.saveProduct({bracket, QStringLiteral("ПН-27"), 1});
             }},
            {"product gone",
             [](BookStore &s) {
                 return s.saveProduct({999999, QStringLiteral("ЗЗ-1"), 1});
             }},
            {"product added",
             [](BookStore &s) {
                 return s.saveProduct({0, QStringLiteral("0012"), 0.5});
             }},
            {"product mark too long",
             [](BookStore &s) {
                 return s.saveProduct({0, QString(255, QLatin1Char('x')), 1});
             }},
            {"kind repeated in other letters",
             [](BookStore &s) {
                 return s.saveKind({0, QStringLiteral("РЕЗКА")});
             }},
            {"kind keeps its own name",
             [this](BookStore &s) {
                 return s.saveKind({kindCut, QStringLiteral("РЕЗКА")});
             }},
            {"kind gone",
             [](BookStore &s) {
                 return s.saveKind({999999, QStringLiteral("Сварка")});
             }},
            {"kind name too long",
             [](BookStore &s) {
                 return s.saveKind({0, QString(129, QLatin1Char('x'))});
             }},
            {"kind added",
             [](BookStore &s) {
                 return s.saveKind({0, QStringLiteral("x\\'); drop table x; --")});
             }},
            {"operation without a kind",
             [this](BookStore &s) { return s.saveOperation(operation(profile, 0, 0, 0)); }},
            {"operation of a product gone",
             [this](BookStore &s) { return s.saveOperation(operation(999999, kindCut, 0, 0)); }},
            {"operation repeated",
             [this](BookStore &s) { return s.saveOperation(operation(profile, kindCut, 0, 0)); }},
            {"operation of blanks added",
             [this](BookStore &s) { return s.saveOperation(operation(profile, kindCut, 1, 0)); }},
            {"operation changed onto another",
             [this](BookStore &s) { return s.saveOperation(operation(profile, kindCut, 0, usedOperation)); }},
            {"operation gone",
             [this](BookStore &s) { return s.saveOperation(operation(bracket, kindCut, 1, 999999)); }},
            {"product used by an operation", [this](BookStore &s) { return s.deleteProduct(bracket); }},
            {"product used by entries only",
             [this](BookStore &s) {
                 db->exec(
                     QStringLiteral(
                         "delete from accounts_dep.norm where o_id in (select id from accounts_dep.oper where i_id = %1); "
                         "delete from accounts_dep.oper where i_id = %1")
                         .arg(profile));
                 return s.deleteProduct(profile);
             }},
            {"product unused deleted", [this](BookStore &s) { return s.deleteProduct(spareProduct); }},
            {"kind used", [this](BookStore &s) { return s.deleteKind(kindCut); }},
            {"kind unused deleted", [this](BookStore &s) { return s.deleteKind(spareKind); }},
            {"operation used", [this](BookStore &s) { return s.deleteOperation(usedOperation); }},
            {"operation unused deleted", [this](BookStore &s) { return s.deleteOperation(spareOperation); }},
            {"norm of an operation gone",
             [](BookStore &s) {
                 NormRow r;
                 r.operation = 999999;
                 r.norma = 10;
                 return s.addNorm(r);
             }},
            {"norm gone", [](BookStore &s) { return s.changeNorm(999999, NormRow::Price, 1.5); }},
            {"norm added",
             [this](BookStore &s) {
                 NormRow r;
                 r.operation = cutProfile;
                 r.norma = 300;
                 return s.addNorm(r);
             }},
        };
        return actions.value(name);
    }

private Q_SLOTS:
    void init()
    {
        db->clear();
        test::Shop shop(*db);
        ivanov = shop.worker(QStringLiteral("Иванов И.И."));
        profile = shop.product(QStringLiteral("ПН-27"));
        bracket = shop.product(QStringLiteral("КР-40"));
        spareProduct = shop.product(QStringLiteral("ЗАП-1"));
        kindCut = shop.kind(QStringLiteral("Резка"));
        kindPaint = shop.kind(QStringLiteral("Покраска"));
        spareKind = shop.kind(QStringLiteral("Гибка"));
        cutProfile = shop.operation(profile, kindCut, 0, {2.5, 1.75});
        usedOperation = shop.operation(bracket, kindPaint, 0, {4});
        spareOperation = shop.operation(bracket, kindCut, 0, {3});
        shop.entry({QDate(2024, 3, 1), 1, ivanov, usedOperation, 10, 0, 4, 8});
        shop.entry({QDate(2024, 3, 2), 1, ivanov, cutProfile, 10, 0, 2.5, 8});
        data = std::make_unique<DataModule>();
        db->connectModule(*data);
    }
    void cleanup() { data.reset(); }

    void refusals_data()
    {
        QTest::addColumn<QString>("answer"); // the refusal, or "id" for a row written
        auto row = [](const char *name, const QString &answer) { QTest::newRow(name) << answer; };
        row("worker without a name", QStringLiteral("ФИО нужно заполнить!"));
        row("worker with a NUL", QStringLiteral("В поле «ФИО» недопустимый символ \\u0000."));
        row("worker gone", QStringLiteral("Работник не найден: его удалил другой пользователь"));
        row("worker added", QStringLiteral("id"));
        row("product without a mark", QStringLiteral("Все поля должны быть заполнены!"));
        row("product mark repeated in other letters", QStringLiteral("Такая марка изделия уже заведена!"));
        row("product keeps its own mark", QStringLiteral("id"));
        row("product takes another's mark", QStringLiteral("Такая марка изделия уже заведена!"));
        row("product gone", QStringLiteral("Изделие не найдено: его удалил другой пользователь"));
        row("product added", QStringLiteral("id"));
        row("product mark too long", QStringLiteral("В поле «Марка» не больше 254 знаков, введено 255."));
        row("kind repeated in other letters", QStringLiteral("Такая операция уже заведена!"));
        row("kind keeps its own name", QStringLiteral("id"));
        row("kind gone", QStringLiteral("Вид операции не найден: его удалил другой пользователь"));
        row("kind name too long", QStringLiteral("В поле «Операция» не больше 128 знаков, введено 129."));
        row("kind added", QStringLiteral("id"));
        row("operation without a kind", QStringLiteral("Все поля должны быть заполнены!"));
        row("operation of a product gone",
            QStringLiteral("Изделие или вид операции больше не существует. Выберите их заново."));
        row("operation repeated", QStringLiteral("Операция с такими параметрами уже заведена!"));
        row("operation of blanks added", QStringLiteral("id"));
        row("operation changed onto another", QStringLiteral("Операция с такими параметрами уже заведена!"));
        row("operation gone", QStringLiteral("Операция не найдена: её удалил другой пользователь"));
        row("product used by an operation",
            QStringLiteral("Изделие используется (операций: 2, записей: 1), удалить его нельзя."));
        row("product used by entries only",
            QStringLiteral("Изделие используется (операций: 0, записей: 1), удалить его нельзя."));
        row("product unused deleted", QStringLiteral("id"));
        row("kind used", QStringLiteral("Вид операции используется в операциях (2), удалить его нельзя."));
        row("kind unused deleted", QStringLiteral("id"));
        row("operation used", QStringLiteral("Операция используется в записях (1), удалить её нельзя."));
        row("operation unused deleted", QStringLiteral("id"));
        row("norm of an operation gone",
            QStringLiteral("Операция удалена другим пользователем: норматив не записан."));
        row("norm gone", QStringLiteral("Норматив не найден: его удалил другой пользователь"));
        row("norm added", QStringLiteral("id"));
    }

    // A refusal writes nothing; a write answers the id of the row it wrote or changed.
    void refusals()
    {
        QFETCH(QString, answer);
        const auto act = action(QTest::currentDataTag());
        QVERIFY(act);
        BookStore store(data.get());
        const QString before = books();
        const BookResult result = act(store);
        if (answer != QLatin1String("id")) {
            QCOMPARE(result.refusal, answer);
            // The entries-only case arranged its own deletion first.
            if (QByteArray(QTest::currentDataTag()) != "product used by entries only")
                QCOMPARE(books(), before);
            return;
        }
        QVERIFY2(!result.refused(), qPrintable(result.refusal));
        QVERIFY(result.id > 0);
        QVERIFY(books() != before);
    }

    // What the writes store: trimmed names, numbers as typed, a new operation with its first norm, a
    // deleted operation's norms gone with it, the worker's text written byte for byte.
    void writesStoreWhatWasGiven()
    {
        BookStore store(data.get());
        const BookResult worker =
            store.saveWorker({0, QStringLiteral("  О'Брайен\\ Т.  "), QStringLiteral("Цех №1")});
        QCOMPARE(db->scalar(QStringLiteral(
                                "select fio || '/' || s_staffpos_hl from accounts_dep.person where id = %1")
                                .arg(worker.id))
                     .toString(),
                 QStringLiteral("О'Брайен\\ Т./Цех №1"));
        const BookResult product = store.saveProduct({0, QStringLiteral(" 0012 "), 2.5});
        QCOMPARE(
            db->scalar(QStringLiteral("select marka || '=' || massa from accounts_dep.izdel where id = %1")
                           .arg(product.id))
                .toString(),
            QStringLiteral("0012=2.5"));
        QVERIFY(!store.saveProduct({product.id, QStringLiteral("0012"), 3}).refused());
        QCOMPARE(
            db->scalar(QStringLiteral("select massa from accounts_dep.izdel where id = %1").arg(product.id))
                .toDouble(),
            3.0);
        const BookResult added = store.saveOperation(operation(product.id, kindPaint));
        QCOMPARE(
            db->scalar(QStringLiteral("select count(*) from accounts_dep.norm where o_id = %1").arg(added.id))
                .toInt(),
            1);
        QCOMPARE(int(store.norms(int(added.id)).size()), 1);
        QVERIFY(!store.deleteOperation(int(added.id)).refused());
        QCOMPARE(
            db->scalar(QStringLiteral("select count(*) from accounts_dep.norm where o_id = %1").arg(added.id))
                .toInt(),
            0);
        store.deleteWorker(int(worker.id));
        QCOMPARE(
            db->scalar(
                  QStringLiteral("select count(*) from accounts_dep.person where id = %1").arg(worker.id))
                .toInt(),
            0);
    }

    void norms()
    {
        BookStore store(data.get());
        std::vector<NormRow> rows = store.norms(cutProfile);
        QCOMPARE(int(rows.size()), 2);
        QCOMPARE(rows[0].norma.toInt(), 100);                                         // by norm figure
        QVERIFY(!store.changeNorm(rows[0].id, NormRow::Price, QVariant()).refused()); // emptied
        QVERIFY(!store.changeNorm(rows[1].id, NormRow::Prize, 15).refused());
        NormRow fresh;
        fresh.operation = cutProfile;
        fresh.price = 0.125;
        const BookResult added = store.addNorm(fresh);
        rows = store.norms(cutProfile);
        QCOMPARE(int(rows.size()), 3);
        QVERIFY(rows[0].price.isNull());
        QCOMPARE(rows[1].prize.toInt(), 15);
        QVERIFY(rows[2].norma.isNull()); // the new one, with no figure, last
        QCOMPARE(rows[2].id, int(added.id));
        QCOMPARE(rows[2].price.toDouble(), 0.125);
        QVERIFY(store.deleteNorm(cutProfile, rows[0].id));
        QVERIFY(store.deleteNorm(cutProfile, rows[1].id));
        QVERIFY(!store.deleteNorm(cutProfile, rows[2].id)); // the operation's last stays
        QCOMPARE(int(store.norms(cutProfile).size()), 1);
    }

    // Two clients deleting the last two norms of an operation at the same moment: one of them is
    // refused, and one of the operation's own norms stays. The database holds each deletion a while,
    // so that the two counts would both see two rows if nothing put the clients in turn.
    void concurrentDeletionsKeepOneNorm()
    {
        db->exec(QStringLiteral(
            "create or replace function public.slow_norm_delete() returns trigger language plpgsql as "
            "$$ begin perform pg_sleep(0.3); return old; end $$; "
            "create trigger slow_delete before delete on accounts_dep.norm "
            "for each row execute function public.slow_norm_delete()"));
        const auto dropTrigger = qScopeGuard([this] {
            db->exec(QStringLiteral(
                "drop trigger slow_delete on accounts_dep.norm; drop function public.slow_norm_delete()"));
        });
        std::latch start(2);
        std::atomic<int> deleted{0};
        auto client = [&](int n) {
            DataModule client(nullptr, QStringLiteral("client%1").arg(n));
            db->connectModule(client);
            BookStore store(&client);
            const int id = store.norms(cutProfile)[size_t(n)].id; // each its own row: 100 and 200
            start.arrive_and_wait();
            if (store.deleteNorm(cutProfile, id))
                ++deleted;
        };
        std::thread first(client, 0), second(client, 1);
        first.join();
        second.join();
        QCOMPARE(deleted.load(), 1);
        const QString left =
            db->scalar(QStringLiteral("select string_agg(norma::text, ',') from accounts_dep.norm "
                                      "where o_id = %1")
                           .arg(cutProfile))
                .toString();
        QVERIFY2(left == QStringLiteral("100") || left == QStringLiteral("200"), qPrintable(left));
    }

    // Another client holds the book's lock and, while the store waits for it, writes the row the
    // store would add: the store's check, taken under the lock, sees it and refuses.
    void checkRunsUnderTheLock_data()
    {
        QTest::addColumn<int>("book");
        QTest::addColumn<QString>("otherWrite");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("products") << int(locks::Products)
                                  << QStringLiteral(
                                         "insert into cmn_gds_and_srv.gds_and_srv (s_caption, s_description, "
                                         "id_msm_bs, massa) values ('НОВ-1', '', 6, 1)")
                                  << QStringLiteral("Такая марка изделия уже заведена!");
        QTest::newRow("kinds") << int(locks::OperationKinds)
                               << QStringLiteral("insert into accounts_dep.vid_oper (vid) values ('Сварка')")
                               << QStringLiteral("Такая операция уже заведена!");
        QTest::newRow("operations") << int(locks::Operations)
                                    << QStringLiteral(
                                           "insert into accounts_dep.oper (vid, naimen, i_id, cena_new) "
                                           "select id, 1, (select id from accounts_dep.izdel where marka = "
                                           "'НОВ-1'), 0 from accounts_dep.vid_oper where vid = 'Сварка'")
                                    << QStringLiteral("Операция с такими параметрами уже заведена!");
    }
    void checkRunsUnderTheLock()
    {
        QFETCH(int, book);
        QFETCH(QString, otherWrite);
        QFETCH(QString, refusal);
        const qint64 product = test::Shop(*db).product(QStringLiteral("НОВ-1"));
        const int kind = test::Shop(*db).kind(QStringLiteral("Сварка"));
        if (book != locks::Operations) // the row the other client adds is not there yet
            db->exec(
                book == locks::Products
                    ? QStringLiteral("delete from cmn_gds_and_srv.gds_and_srv where id = %1").arg(product)
                    : QStringLiteral("delete from accounts_dep.vid_oper where id = %1").arg(kind));
        // The other client waits until someone waits for its lock, then writes and commits.
        const std::unique_ptr<QProcess> other = db->startScript(
            QStringLiteral(
                "begin; select pg_advisory_xact_lock(%1, %2); "
                "do $$ begin for i in 1..200 loop exit when exists (select 1 from pg_locks where "
                "locktype = 'advisory' and not granted and classid = %1 and objid = %2 and database = (select oid from "
                "pg_database where datname = current_database()));  "
                "perform pg_sleep(0.05); end loop; end $$; %3; commit;")
                .arg(locks::Book)
                .arg(book)
                .arg(otherWrite));
        QVERIFY(db->waitForLockHolder(locks::Book, book));
        BookStore store(data.get());
        BookResult result;
        if (book == locks::Products) {
            result = store.saveProduct({0, QStringLiteral("нов-1"), 1});
        } else if (book == locks::OperationKinds) {
            result = store.saveKind({0, QStringLiteral("СВАРКА")});
        } else {
            result = store.saveOperation(operation(product, kind, 1));
        }
        QVERIFY(other->waitForFinished(20000));
        QCOMPARE(other->exitCode(), 0);
        QCOMPARE(result.refusal, refusal);
    }
};

QTEST_GUILESS_MAIN(TestBookStore)
#include "tst_bookstore.moc"
