#include "data/connection.h"
#include "data/dataerror.h"
#include "data/locks.h"
#include "shop/databaseschema.h"
#include "testsupport/testdatabase.h"

#include <QProcess>
#include <QTest>

#include <memory>

using namespace tabel;

// Preparing a shop's existing database: a "bare shop" (the base tables as a shop has them, with
// data, no keys on the shop tables' ids, sequences owned by nobody) checked, prepared, checked and
// prepared again, its data untouched; the same schema as a new install; duplicates that stop it.
class TestDatabaseSchema : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestDatabase> bare;

    // A shop with some of everything, written as the old program would have (no program triggers).
    void fill(test::TestDatabase &db)
    {
        db.exec(QStringLiteral(
            "insert into accounts_dep.person (id, fio, s_staffpos_hl) values (3, 'Иванов И.И.', 'Цех'), "
            "(7, 'Петров П.П.', ''); "
            "insert into accounts_dep.workers (id, fio, addr) values (3, 'Иванов И.И.', 'ул. Мира'), (7, 'Петров', ''); "
            "insert into accounts_dep.vid_oper (id, vid) values (1, 'Резка'); "
            "insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, s_description, id_msm_bs, massa) values "
            "(10, 'ПН-27', '', 6, 0.5); "
            "insert into accounts_dep.oper (id, vid, naimen, i_id, cena_new) values (5, 1, 0, 10, 2.5); "
            "insert into accounts_dep.norm (id, o_id, norma, price, prize) values (1, 5, 100, 2.5, 0); "
            "insert into accounts_dep.smena (id, data, smena, w_id, i_id, o_id, kol_vo, brak, cena, time, ok) "
            "values (1, '2024-03-01', 1, 3, 10, 5, 10, 0, 2.5, 8, 'no'); "
            "insert into accounts_dep.h_tabel (id, w_id, smena, month, year, d1) values (1, 3, 1, 3, 2024, 8); "
            "insert into accounts_dep.nomenkl (id, marka, nom) values (1, 'ПН-27', 'Профиль')"));
    }
    // A checksum of every shop table's rows.
    QString checksums(test::TestDatabase &db)
    {
        QStringList sums;
        for (const char *t :
             {"accounts_dep.person", "accounts_dep.workers", "accounts_dep.vid_oper", "accounts_dep.oper",
              "accounts_dep.norm", "accounts_dep.smena", "accounts_dep.h_tabel", "accounts_dep.nomenkl",
              "cmn_gds_and_srv.gds_and_srv", "cmn_contractor.person"})
            sums << QString::fromLatin1(t) + QLatin1Char('=') +
                        db.scalar(QStringLiteral(
                                      "select md5(coalesce(string_agg(x::text, '|' order by x::text), '')) "
                                      "from %1 x")
                                      .arg(QLatin1String(t)))
                            .toString();
        return sums.join(QLatin1Char(' '));
    }
    std::unique_ptr<Connection> nativeConnection(test::TestDatabase &db)
    {
        auto c = std::make_unique<Connection>(QStringLiteral("prepare_%1").arg(quintptr(&db)));
        c->setDriver(Connection::Driver::Native);
        c->setConnectionString(db.connection().connectionString());
        c->open();
        return c;
    }

    // Check, prepare, check, prepare again, on the bare shop.
    void checkPrepareCheckPrepareSteps()
    {
        const QString data = checksums(*bare);
        auto c = nativeConnection(*bare);
        SchemaCheck before = checkSchema(c.get());
        QVERIFY(!before.clean());
        QCOMPARE(before.missing.size(), migrations().size());
        QCOMPARE(before.tablesWithoutKey.size(), 8);
        QVERIFY(before.tablesWithoutKey.contains(QStringLiteral("accounts_dep.workers")));
        QVERIFY(before.unownedSequences.contains(
            QStringLiteral("accounts_dep.workers_id_seq (accounts_dep.workers)")));
        QVERIFY(before.duplicateIds.isEmpty());
        // Rows written with their own ids left the sequences behind them.
        QVERIFY(before.sequencesBehind.contains(
            QStringLiteral("accounts_dep.norm_id_seq (accounts_dep.norm): следующий 1, а id уже есть до 1")));
        QVERIFY(schemaBehindMessage(c.get(), QStringLiteral("shop"), QStringLiteral("10.0.0.5"))
                    .endsWith(QStringLiteral("tabel shop 10.0.0.5 --prepare-database")));

        QStringList progress;
        prepareSchema(c.get(), [&](const QString &line) { progress << line; });
        QCOMPARE(progress.size(), migrations().size());
        QCOMPARE(progress.first(), QStringLiteral("Применено изменение 1 (schema_version)."));
        const SchemaCheck after = checkSchema(c.get());
        QVERIFY2(after.clean(), qPrintable(after.report().join(QLatin1Char('\n'))));
        QVERIFY(schemaBehindMessage(c.get(), QString(), QString()).isEmpty());
        QCOMPARE(checksums(*bare), data); // nothing of the shop's rows changed

        progress.clear();
        prepareSchema(c.get(), [&](const QString &line) { progress << line; });
        QVERIFY(progress.isEmpty()); // the second time: nothing to do
        QCOMPARE(checksums(*bare), data);

        // What the changes give: the import finds the sequences, a new operation its first norm under
        // a fresh id, a new worker an id past the old ones.
        QCOMPARE(bare->scalar(QStringLiteral("select pg_get_serial_sequence('accounts_dep.workers', 'id')"))
                     .toString(),
                 QStringLiteral("accounts_dep.workers_id_seq"));
        bare->exec(
            QStringLiteral("insert into accounts_dep.oper (id, vid, naimen, i_id) values (6, 1, 1, 10)"));
        QCOMPARE(
            bare->scalar(QStringLiteral("select count(*) from accounts_dep.norm where o_id = 6")).toInt(), 1);
        QCOMPARE(bare->scalar(QStringLiteral(
                                  "insert into accounts_dep.person (fio) values ('Новый Н.Н.') returning id"))
                     .toInt(),
                 8);
        // And the same schema as a new install.
        test::TestDatabase fresh;
        QCOMPARE(bare->schemaDump(), fresh.schemaDump());
    }

private Q_SLOTS:
    void init()
    {
        bare = std::make_unique<test::TestDatabase>(test::TestDatabase::Start::BaseTables);
        fill(*bare);
    }
    void cleanup() { bare.reset(); }

    void checkPrepareCheckPrepare()
    {
        try {
            checkPrepareCheckPrepareSteps();
        } catch (const DataError &e) {
            QFAIL(qPrintable(e.message()));
        }
    }
    // Duplicate or empty ids stop the key: nothing is applied, and every one is named.
    // A client works on a database without the history of changes (it hides its windows); a
    // database without a change it needs is refused, the history named among what is missing.
    void historyIsOptional()
    {
        auto c = nativeConnection(*bare);
        for (const Migration &m : migrations())
            if (!m.optional)
                bare->exec(m.sql);
        QVERIFY(schemaBehindMessage(c.get(), QString(), QString()).isEmpty());
        QCOMPARE(checkSchema(c.get()).missing.size(), 2); // the administrator is still told
        bare->exec(QStringLiteral("delete from accounts_dep.tabel_schema where version = 7"));
        QVERIFY2(schemaBehindMessage(c.get(), QString(), QString())
                     .contains(QStringLiteral("не применены изменения 7 (oper_first_norm), 8 (history), 9 "
                                              "(history_speed).")),
                 qPrintable(schemaBehindMessage(c.get(), QString(), QString())));
    }

    void duplicatesStopIt()
    {
        bare->exec(QStringLiteral("insert into accounts_dep.workers (id, fio) values (7, 'Второй Петров'); "
                                  "insert into accounts_dep.smena (id, data) values (null, '2024-03-02')"));
        const QString data = checksums(*bare);
        auto c = nativeConnection(*bare);
        const SchemaCheck check = checkSchema(c.get());
        QCOMPARE(check.duplicateIds, (QStringList{QStringLiteral("accounts_dep.smena: пустой id — 1 строка"),
                                                  QStringLiteral("accounts_dep.workers: id 7 — 2 строки")}));
        try {
            prepareSchema(c.get(), [](const QString &) {});
            QFAIL("prepared over duplicate ids");
        } catch (const DataError &e) {
            QVERIFY(e.message().contains(QStringLiteral("accounts_dep.workers: id 7 — 2 строки")));
            QVERIFY(e.message().contains(QStringLiteral("Ничего не изменено")));
        }
        QVERIFY(appliedSchemaVersions(c.get()).isEmpty());
        QCOMPARE(checksums(*bare), data);
    }

    // A database without the shop's tables (another of the enterprise's) is not made into one.
    void notAShopsDatabase()
    {
        bare->exec(QStringLiteral("drop view accounts_dep.izdel; drop schema accounts_dep cascade; "
                                  "create schema accounts_dep"));
        auto c = nativeConnection(*bare);
        const SchemaCheck check = checkSchema(c.get());
        QCOMPARE(check.missingTables.size(), 8);
        QVERIFY(check.report().join(QLatin1Char('\n')).contains(QStringLiteral("Это не база цеха")));
        try {
            prepareSchema(c.get(), [](const QString &) {});
            QFAIL("prepared a database without the shop's tables");
        } catch (const DataError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("В базе нет таблиц цеха: accounts_dep.smena")),
                     qPrintable(e.message()));
        }
        QVERIFY(appliedSchemaVersions(c.get()).isEmpty());
    }

    // Two administrators: the second is told, and changes nothing.
    void oneAdministratorAtATime()
    {
        const std::unique_ptr<QProcess> other = bare->startScript(
            QStringLiteral("select pg_advisory_lock(%1, 0); select pg_sleep(2);").arg(locks::SchemaPrepare));
        QVERIFY(bare->waitForLockHolder(locks::SchemaPrepare, 0));
        auto c = nativeConnection(*bare);
        QVERIFY_THROWS_EXCEPTION(DataError, prepareSchema(c.get(), [](const QString &) {}));
        QVERIFY(appliedSchemaVersions(c.get()).isEmpty());
        other->waitForFinished(10000);
    }

    // The administrator's commands: check (exit 1, what is missing), prepare (exit 0), check (exit 0).
    void commandLine()
    {
        auto run = [this](const QString &command, QString *out) {
            QProcess p;
            p.start(QStringLiteral(TABEL_PROGRAM), {bare->name(), QStringLiteral("127.0.0.1"), command});
            p.waitForFinished(60000);
            *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
            return p.exitCode();
        };
        QString out;
        QCOMPARE(run(QStringLiteral("--check-database"), &out), 1);
        QVERIFY2(out.contains(QStringLiteral("Не применены изменения: 1 (schema_version)")), qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("Нет уникального ключа на id: accounts_dep.smena")));
        QCOMPARE(run(QStringLiteral("--prepare-database"), &out), 0);
        QVERIFY2(out.contains(QStringLiteral("Применено изменение 7 (oper_first_norm).")), qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("База данных подготовлена для этой версии программы.")));
        QCOMPARE(run(QStringLiteral("--check-database"), &out), 0);
        QVERIFY2(out.contains(QStringLiteral("База данных готова для этой версии программы.")),
                 qPrintable(out));
        QCOMPARE(run(QStringLiteral("--version"), &out), 0);
        QVERIFY2(out.startsWith(QStringLiteral("tabel 1.0 (build: 20")), qPrintable(out));
        QCOMPARE(run(QStringLiteral("--help"), &out), 0);
        for (const char *piece : {"--prepare-database", "--check-database", "--import",
                                  "/etc/tabel/tabel.conf", "tabel/tabel.conf"})
            QVERIFY2(out.contains(QLatin1String(piece)), piece);
    }
};

QTEST_GUILESS_MAIN(TestDatabaseSchema)
#include "tst_databaseschema.moc"
