#include "data/connection.h"
#include "data/dataerror.h"
#include "import/legacyimport.h"
#include "register/registerwindow.h"
#include "testsupport/testdatabase.h"
#include "testsupport/windowfixture.h"

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tabel;

namespace {

// A legacy shop database in SQLite, with the old program's seven tables and nothing in them.
class LegacyFile
{
public:
    LegacyFile() : m_path(m_dir.filePath(QStringLiteral("legacy.sqlite")))
    {
        if (QProcess::execute(QStringLiteral("python3"), {QStringLiteral(TABEL_SOURCE_DIR "/sql/legacy.py"),
                                                          m_path, QStringLiteral("--schema-only")}) != 0)
            qFatal("the legacy schema could not be made");
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), kName);
        db.setDatabaseName(QStringLiteral("DRIVER=SQLite3;Database=") + m_path);
        if (!db.open())
            qFatal("%s", qPrintable(db.lastError().text()));
    }
    ~LegacyFile()
    {
        QSqlDatabase::database(kName, false).close();
        QSqlDatabase::removeDatabase(kName);
    }
    void exec(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(kName, false));
        if (!q.exec(sql))
            qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    }
    // The data source "Tabel", pointed at this file.
    QString source() const { return QStringLiteral("Tabel;Database=") + m_path; }
    QString path() const { return m_path; }

private:
    inline static const QString kName = QStringLiteral("legacy_fixture");
    QTemporaryDir m_dir;
    QString m_path;
};

const char *const kTables[] = {"h_tabel", "izdel", "nomenkl", "oper", "vid_oper", "workers", "smena"};

} // namespace

class TestLegacyImport : public QObject
{
    Q_OBJECT
    test::TestDatabase *db = nullptr;
    std::unique_ptr<LegacyFile> legacy;

    ImportSettings settings(int blockRows = 2000) const
    {
        ImportSettings s;
        s.legacySource = legacy->source();
        s.target = QStringLiteral("Tabel_PgSQL;UID=sys;Database=") + db->name();
        s.blockRows = blockRows;
        return s;
    }

    // An import that may fail: the status lines it gave, and its error (empty when it succeeded).
    struct Outcome
    {
        QStringList statuses;
        QString error;
    };
    Outcome attemptImport(const ImportSettings &s)
    {
        Outcome o;
        try {
            LegacyImport import(&db->connection(), s);
            import.run([&o](const QString &status) { o.statuses << status;
        });
    }
    catch (const DataError &e) { o.error = e.message(); }
    return o;
}

// An import that must succeed.
QStringList
runImport(const ImportSettings &s)
{
    Outcome o = attemptImport(s);
    if (!o.error.isEmpty()) {
        qWarning("%s", qPrintable(o.error));
        throw DataError(o.error);
    }
    return o.statuses;
}

// A target table as text, row by row in id order (the third table without its ids, which the
// database gives).
QString dump(const QString &table)
{
    static const QHash<QString, QString> columns{
        {QStringLiteral("h_tabel"), QStringLiteral("id, w_id, month, year, smena, d1, d2, d5, d30, d31")},
        {QStringLiteral("izdel"), QStringLiteral("id, marka, nom, massa")},
        {QStringLiteral("nomenkl"), QStringLiteral("marka, nom")},
        {QStringLiteral("oper"), QStringLiteral("id, vid, naimen, cena, i_id")},
        {QStringLiteral("vid_oper"), QStringLiteral("id, vid")},
        {QStringLiteral("workers"), QStringLiteral("id, fio, addr")},
        {QStringLiteral("smena"),
         QStringLiteral(
             "id, w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, coalesce(time::text, '-'), "
             "ok, coalesce(vvod::text, '-')")},
    };
    return db
        ->scalar(QStringLiteral("select coalesce(string_agg(concat_ws('|', %1), ';' order by id), '') "
                                "from accounts_dep.%2")
                     .arg(columns.value(table), table))
        .toString();
}

QMap<QString, QString> dumpAll()
{
    QMap<QString, QString> all;
    for (const char *t : kTables)
        all.insert(QString::fromLatin1(t), dump(QString::fromLatin1(t)));
    return all;
}

// The small legacy shop every check starts from: empty values, Cyrillic, an apostrophe, quotes,
// braces, commas and a backslash, an entry date with a time of day.
void fillLegacy()
{
    legacy->exec(
        QStringLiteral("insert into H_TABEL (id, w_id, month, year, smena, d1, d2, d5, d31) values "
                       "(3, 7, 3, 2024, 1, 8, null, null, 12), (5, 8, 3, 2024, 4, null, null, 10, null)"));
    legacy->exec(QStringLiteral("insert into IZDEL (ID, MARKA, nom, massa) values "
                                "(1, 'КР-01', 'Кронштейн ''угловой''', 1.25), (2, null, null, null)"));
    legacy->exec(
        QStringLiteral("insert into NOMENKL (Nom, marka) values ('Лист Ст3 2x1250', 'Ст3'), (null, null)"));
    legacy->exec(QStringLiteral("insert into OPER (ID, VID, NAIMEN, CENA, I_ID) values "
                                "(10, 2, 1, 2.87, 1), (11, null, null, null, null)"));
    legacy->exec(QStringLiteral("insert into VID_OPER (ID, VID) values (2, 'Покраска'), (3, null)"));
    legacy->exec(
        QStringLiteral("insert into WORKERS (ID, FIO, ADDR) values "
                       "(7, 'Иванов И.И.', 'ул. \"Ленина\", д. {1} \\ кв. 2'), (8, 'Петров П.П.', null)"));
    const QString entries = QStringLiteral(
        "(w_id, i_id, o_id, kol_vo, brak, data, smena, id, cena, color, time, ok, vvod) values "
        "(7, 1, 10, 100, 2, '2024-03-01', 1, 1, 12.5, 1015, 8, 'ok', '2024-03-01 10:20:30'), "
        "(8, null, null, null, null, '2024-03-05 14:45:00', 4, 2, null, null, null, null, null)");
    legacy->exec(QStringLiteral("insert into smena ") + entries);
    db->exec(QStringLiteral("insert into public.smena ") + entries);
}

const QMap<QString, QString> expected{
    {QStringLiteral("h_tabel"), QStringLiteral("3|7|3|2024|1|8|0|0|0|12;5|8|3|2024|4|0|0|10|0|0")},
    {QStringLiteral("izdel"), QStringLiteral("1|КР-01|Кронштейн 'угловой'|1.25;2|||0")},
    {QStringLiteral("nomenkl"), QStringLiteral("Ст3|Лист Ст3 2x1250;|")},
    {QStringLiteral("oper"), QStringLiteral("10|2|1|2.87|1;11|0|0|0|0")},
    {QStringLiteral("vid_oper"), QStringLiteral("2|Покраска;3|")},
    {QStringLiteral("workers"),
     QStringLiteral("7|Иванов И.И.|ул. \"Ленина\", д. {1} \\ кв. 2;8|Петров П.П.|")},
    {QStringLiteral("smena"), QStringLiteral("1|7|1|10|100|2|2024-03-01|1|12.5|1015|8|ok|2024-03-01 10:20:30;"
                                             "2|8|0|0|0|0|2024-03-05|4|0|0|-||-")},
};

private Q_SLOTS:
void initTestCase()
{
    db = new test::TestDatabase;
    // The entries as the program's own connection finds them: a legacy table of that name.
    db->exec(QStringLiteral(
        "create table public.smena (w_id integer, i_id integer, o_id integer, kol_vo integer, brak smallint, "
        "data timestamp, smena smallint, id integer primary key, cena double precision, color integer, "
        "time integer, ok varchar(255), vvod timestamp)"));
}
void cleanupTestCase()
{
    delete db;
}
void init()
{
    db->clear();
    db->exec(QStringLiteral("truncate public.smena"));
    db->exec(QStringLiteral("set search_path to default"));
    legacy = std::make_unique<LegacyFile>();
}
void cleanup()
{
    legacy.reset();
}

void copiesEveryTableFieldByField_data()
{
    QTest::addColumn<bool>("entriesFromLegacy");
    QTest::addColumn<bool>("bulk"); // the tables loaded without their indexes, built after
    QTest::newRow("entries through the program's connection") << false << false;
    QTest::newRow("entries from the legacy source") << true << false;
    QTest::newRow("bulk, entries through the program's connection") << false << true;
    QTest::newRow("bulk, entries from the legacy source") << true << true;
}
void copiesEveryTableFieldByField()
{
    QFETCH(bool, entriesFromLegacy);
    QFETCH(bool, bulk);
    fillLegacy();
    ImportSettings s = settings();
    s.entriesFromLegacy = entriesFromLegacy;
    if (bulk)
        s.bulkRows = 1;
    const QString schema = db->schemaDump();
    const qint64 before =
        db->scalar(QStringLiteral("select coalesce(max(id), 0) from accounts_dep.tabel_history"))
            .toLongLong();
    const QStringList statuses = runImport(s);
    QCOMPARE(dumpAll(), expected);
    QCOMPARE(db->schemaDump(), schema); // every index there again, as it was
    // The history: one line per table loaded, none per row (the first norms included).
    QCOMPARE(
        db->scalar(QStringLiteral("select string_agg(tbl || ' ' || action || ' ' || note, '; ' order by id) "
                                  "from accounts_dep.tabel_history where id > %1 and tbl in ('smena', "
                                  "'accounts_dep.smena', 'oper', 'accounts_dep.oper', 'norm')")
                       .arg(before))
            .toString()
            .count(QStringLiteral(" import ")),
        2);
    QCOMPARE(
        db->scalar(QStringLiteral("select count(*) from accounts_dep.tabel_history where id > %1 and action "
                                  "<> 'import'")
                       .arg(before))
            .toInt(),
        0);
    // Each operation is listed through a first norm at its legacy price.
    QCOMPARE(
        db->scalar(QStringLiteral("select string_agg(concat_ws(':', o_id, norma, price), ';' order by o_id) "
                                  "from accounts_dep.norm"))
            .toString(),
        QStringLiteral("10:0:2.87;11:0:0"));
    // The tables that have indexes of their own say when they are built again.
    QStringList loaded = statuses;
    const QString building = QStringLiteral(", построение индексов…");
    const QStringList built = statuses.filter(building);
    loaded.removeIf([&](const QString &line) { return line.endsWith(building); });
    QCOMPARE(built, bulk ? QStringList({QStringLiteral("H_TABEL: 2 из 2 записей") + building,
                                        QStringLiteral("OPER: 2 из 2 записей") + building,
                                        QStringLiteral("smena: 2 из 2 записей") + building})
                         : QStringList());
    QCOMPARE(
        loaded,
        QStringList({QStringLiteral("H_TABEL: 2 из 2 записей"), QStringLiteral("IZDEL: 2 из 2 записей"),
                     QStringLiteral("NOMENKL: 2 из 2 записей"), QStringLiteral("OPER: 2 из 2 записей"),
                     QStringLiteral("VID_OPER: 2 из 2 записей"), QStringLiteral("WORKERS: 2 из 2 записей"),
                     QStringLiteral("smena: 2 из 2 записей")}));
}

void statusLinesGoBlockByBlock()
{
    for (int i = 1; i <= 120; ++i) {
        legacy->exec(
            QStringLiteral("insert into H_TABEL (w_id, month, year, smena, d1) values (%1, 1, 2024, 1, 8)")
                .arg(i));
        legacy->exec(
            QStringLiteral("insert into OPER (VID, NAIMEN, CENA, I_ID) values (1, 0, 1.5, %1)").arg(i));
    }
    // An empty source table empties its target and says nothing.
    db->exec(QStringLiteral(
        "insert into accounts_dep.nomenkl (marka, nom) values ('Ст3', 'Лист'), ('08пс', 'Полоса')"));
    const QStringList statuses = runImport(settings(5));
    QVERIFY(statuses.contains(QStringLiteral("H_TABEL: 5 из 120 записей")));
    QVERIFY(statuses.contains(QStringLiteral("OPER: 5 из 120 записей")));
    QCOMPARE(statuses.filter(QStringLiteral("H_TABEL: ")).size(), 24);
    QCOMPARE(statuses.filter(QStringLiteral("H_TABEL: ")).last(),
             QStringLiteral("H_TABEL: 120 из 120 записей"));
    QCOMPARE(statuses.last(), QStringLiteral("OPER: 120 из 120 записей"));
    QVERIFY(statuses.filter(QStringLiteral("NOMENKL")).isEmpty());
    QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.nomenkl")).toInt(), 0);
    QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.oper")).toInt(), 120);
}

void keepsRowsBelowOneAndRepeatsTheSame()
{
    fillLegacy();
    db->exec(QStringLiteral(
        "insert into accounts_dep.h_tabel (id, w_id, month, year, smena) values (0, 99, 1, 2020, 1), (-4, 98, 1, 2020, 1), (40, 97, 1, 2020, 1)"));
    db->exec(QStringLiteral("insert into accounts_dep.workers (id, fio) values (0, 'Нулевой')"));
    // A legacy row under a kept row's id is left out, and said so.
    legacy->exec(QStringLiteral("insert into WORKERS (ID, FIO) values (0, 'Из старой базы')"));
    db->exec(QStringLiteral(
        "insert into accounts_dep.smena (id, w_id, data) values (0, 99, '01.01.2020'), (77, 98, '01.01.2020')"));
    const QStringList statuses = runImport(settings());
    QCOMPARE(statuses.filter(QStringLiteral("WORKERS")).last(),
             QStringLiteral("WORKERS: 3 из 3 записей, уже были в базе и оставлены как есть: 1"));
    const QMap<QString, QString> once = dumpAll();
    QCOMPARE(once.value(QStringLiteral("h_tabel")),
             QStringLiteral("-4|98|1|2020|1|0|0|0|0|0;0|99|1|2020|1|0|0|0|0|0;") +
                 expected.value(QStringLiteral("h_tabel")));
    QVERIFY(once.value(QStringLiteral("workers")).startsWith(QStringLiteral("0|Нулевой;7|")));
    QVERIFY(once.value(QStringLiteral("smena")).startsWith(QStringLiteral("0|99|")));
    QVERIFY(!once.value(QStringLiteral("smena")).contains(QStringLiteral(";77|")));
    runImport(settings());
    QCOMPARE(dumpAll(), once);
}

void movesTheSequencesPastTheCopiedIds()
{
    fillLegacy();
    legacy->exec(QStringLiteral("insert into WORKERS (ID, FIO) values (4000, 'Орлов О.О.')"));
    legacy->exec(QStringLiteral("insert into IZDEL (ID, MARKA) values (7000, 'РМ-7000')"));
    runImport(settings());
    const struct
    {
        const char *table, *sequenceOf;
        qint64 past;
    } cases[] = {
        {"h_tabel", "accounts_dep.h_tabel", 5},   {"oper", "accounts_dep.oper", 11},
        {"vid_oper", "accounts_dep.vid_oper", 3}, {"workers", "accounts_dep.workers", 4000},
        {"smena", "accounts_dep.smena", 2},       {"izdel", "cmn_gds_and_srv.gds_and_srv", 7000},
    };
    for (const auto &c : cases)
        QVERIFY2(db->scalar(QStringLiteral("select nextval(pg_get_serial_sequence('%1', 'id'))")
                                .arg(QLatin1String(c.sequenceOf)))
                         .toLongLong() > c.past,
                 c.table);
    // A sequence already ahead stays where it is.
    db->exec(QStringLiteral("select setval(pg_get_serial_sequence('accounts_dep.oper', 'id'), 900)"));
    runImport(settings());
    QCOMPARE(db->scalar(QStringLiteral("select nextval(pg_get_serial_sequence('accounts_dep.oper', 'id'))"))
                 .toLongLong(),
             901);
}

void failureLeavesTheTableAsItWas_data()
{
    QTest::addColumn<QString>("legacyRow");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("message");
    // Statements separated by "§".
    const QString looseOper =
        QStringLiteral("drop table OPER§create table OPER (ID integer, VID integer, NAIMEN smallint, "
                       "CENA decimal(19,4), I_ID integer)§");
    const QString looseOperRows =
        QStringLiteral("§insert into OPER values (20, 1, 0, 1, 1), (21, 1, 0, 1, 1), (23, 1, 0, 1, 1)");
    QTest::newRow("number beyond the column")
        << "insert into OPER (ID, VID, NAIMEN, CENA, I_ID) values (30, 1, 40000, 1, 1)"
        << "oper"
        << "Таблица OPER, поле naimen, запись id 30: значение «40000» не помещается в поле (от -32768 до 32767).";
    QTest::newRow("day beyond a time sheet cell")
        << "insert into H_TABEL (id, w_id, month, year, smena, d3) values (30, 7, 3, 2024, 1, 40000)"
        << "h_tabel"
        << "поле d3, запись id 30: значение «40000» не помещается в поле";
    QTest::newRow("text beyond the column")
        << "insert into smena (id, w_id, data, smena, ok) values (30, 7, '2024-03-02', 1, 'okey')"
        << "smena"
        << "Таблица smena, поле ok, запись id 30: значение «okey» длиннее 2 знаков (4).";
    QTest::newRow("value that is no number")
        << "insert into H_TABEL (id, w_id, month, year, smena, d3) values (30, 7, 3, 2024, 1, 'восемь')"
        << "h_tabel"
        << "значение «восемь» не является целым числом";
    for (const char *bad :
         {"2023-02-30", "yesterday", "20231231", "31.12.2023 25:00", "2023-12-31 10:00 +03"})
        QTest::newRow(qPrintable(QStringLiteral("date %1").arg(QLatin1String(bad))))
            << QStringLiteral("insert into smena (id, w_id, data, smena) values (30, 7, '%1', 1)")
                   .arg(QLatin1String(bad))
            << "smena"
            << QStringLiteral("поле data, запись id 30: значение «%1» не является датой")
                   .arg(QLatin1String(bad));
    QTest::newRow("entry time no date")
        << "insert into smena (id, w_id, data, smena, vvod) values (30, 7, '2024-03-02', 1, 'вчера')"
        << "smena"
        << "поле vvod, запись id 30: значение «вчера» не является датой";
    QTest::newRow("price nan") << "insert into OPER (ID, VID, NAIMEN, CENA, I_ID) values (30, 1, 0, 'nan', 1)"
                               << "oper"
                               << "поле cena, запись id 30: значение «nan» не является конечным числом";
    QTest::newRow("price infinite")
        << "insert into OPER (ID, VID, NAIMEN, CENA, I_ID) values (30, 1, 0, 'inf', 1)"
        << "oper"
        << "поле cena, запись id 30: значение «inf» не является конечным числом";
    QTest::newRow("price 1e999")
        << "insert into smena (id, w_id, data, smena, cena) values (30, 7, '2024-03-02', 1, '1e999')"
        << "smena"
        << "поле cena, запись id 30: значение";
    QTest::newRow("repeated id") << looseOper +
                                        QStringLiteral(
                                            "insert into OPER values (22, 1, 0, 1, 1), (22, 2, 0, 1, 1)") +
                                        looseOperRows
                                 << "oper"
                                 << "Таблица OPER: id 22 встречается в источнике больше одного раза.";
    QTest::newRow("empty id") << looseOper + QStringLiteral("insert into OPER values (null, 1, 0, 1, 1)") +
                                     looseOperRows
                              << "oper"
                              << "Таблица OPER, строка 1: пустой id.";
    QTest::newRow("text id") << looseOper + QStringLiteral("insert into OPER values ('x22', 1, 0, 1, 1)") +
                                    looseOperRows
                             << "oper"
                             << "значение «x22» не является целым числом";
    QTest::newRow("broken UTF-8")
        << "insert into WORKERS (ID, FIO) values (30, cast(X'41C328' as text))"
        << "workers"
        << "Таблица WORKERS, поле fio, запись id 30: значение «A\\xc3(» не в кодировке UTF-8.";
    QTest::newRow("NUL in a text")
        << "insert into WORKERS (ID, FIO) values (30, 'ab' || char(0) || 'c')"
        << "workers"
        << "Таблица WORKERS, поле fio, запись id 30: значение «ab\\u0000c» содержит символ NUL.";
}
void failureLeavesTheTableAsItWas()
{
    QFETCH(QString, legacyRow);
    QFETCH(QString, failing);
    QFETCH(QString, message);
    fillLegacy();
    // The bad row comes in the second block, after the first has been written.
    for (int i = 0; i < 6; ++i) {
        legacy->exec(
            QStringLiteral("insert into H_TABEL (id, w_id, month, year, smena) values (%1, 9, 4, 2024, 2)")
                .arg(20 + i));
        legacy->exec(QStringLiteral("insert into OPER (ID, VID, NAIMEN, CENA, I_ID) values (%1, 1, 0, 1, 1)")
                         .arg(20 + i));
        legacy->exec(
            QStringLiteral("insert into smena (id, w_id, data, smena) values (%1, 7, '2024-03-02', 1)")
                .arg(20 + i));
    }
    for (const QString &statement : legacyRow.split(QStringLiteral("§")))
        legacy->exec(statement);
    ImportSettings s = settings(5);
    s.entriesFromLegacy = true;
    s.bulkRows = 1; // the indexes dropped before the failure come back with the rollback
    // What the shop holds before.
    db->exec(QStringLiteral(
        "insert into accounts_dep.h_tabel (id, w_id, month, year, smena, d1) values (60, 1, 1, 2023, 1, 8)"));
    db->exec(QStringLiteral(
        "insert into accounts_dep.oper (id, vid, naimen, cena, i_id) values (60, 1, 0, 2, 1)"));
    db->exec(QStringLiteral("insert into accounts_dep.workers (id, fio) values (60, 'Прежний П.П.')"));
    db->exec(QStringLiteral(
        "insert into accounts_dep.smena (id, w_id, data, smena) values (60, 60, '01.02.2023', 1)"));
    const QMap<QString, QString> before = dumpAll();
    const QString schema = db->schemaDump();

    const auto [statuses, error] = attemptImport(s);
    QVERIFY2(!error.isEmpty(), "the import reported success");
    QVERIFY2(error.contains(message), qPrintable(error));
    const QString source = failing == QLatin1String("smena") ? failing : failing.toUpper();
    QCOMPARE(statuses.last(), source + QStringLiteral(": не импортирована, осталась как была"));
    const QMap<QString, QString> after = dumpAll();
    QCOMPARE(db->schemaDump(), schema);
    bool reached = false;
    for (const char *t : kTables) {
        const QString table = QString::fromLatin1(t);
        if (table == failing)
            reached = true;
        if (reached)
            QVERIFY2(after.value(table) == before.value(table), t); // as it was, and those after it untouched
        else
            QVERIFY2(after.value(table).contains(expected.value(table)), t); // imported
    }
}

void leavesTheEnterprisesGoodsAlone()
{
    db->exec(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, nom, massa) values "
                            "(1, 'Старое', 'Старое изделие', 3), (500, 'Чужое', null, 1)"));
    legacy->exec(QStringLiteral(
        "insert into IZDEL (ID, MARKA, nom, massa) values (1, 'КР-01', 'Кронштейн', 1), (2, 'КР-02', 'Уголок', 2)"));
    const QStringList statuses = runImport(settings());
    QCOMPARE(db->scalar(QStringLiteral(
                            "select string_agg(concat_ws('|', id, s_caption, nom, massa), ';' order by id) "
                            "from cmn_gds_and_srv.gds_and_srv"))
                 .toString(),
             QStringLiteral("1|Старое|Старое изделие|3;2|КР-02|Уголок|2;500|Чужое|1"));
    QCOMPARE(statuses.filter(QStringLiteral("IZDEL")).last(),
             QStringLiteral("IZDEL: 2 из 2 записей, уже были в базе и оставлены как есть: 1"));
    QVERIFY(db->scalar(QStringLiteral("select nextval('cmn_gds_and_srv.gds_and_srv_id_seq')")).toLongLong() >
            500);
}

void refusesEntriesReadFromTheirOwnTarget()
{
    fillLegacy();
    db->exec(QStringLiteral(
        "insert into accounts_dep.smena (id, w_id, data, smena) values (60, 60, '01.02.2023', 1)"));
    // The program's connection now finds the shop's own entries under the bare name.
    db->exec(QStringLiteral("set search_path to accounts_dep, public"));
    const QString error = attemptImport(settings()).error;
    QCOMPARE(error,
             QStringLiteral("Источник записей smena — это сама таблица accounts_dep.smena, в которую они "
                            "копируются. Импорт записей не выполнен."));
    QCOMPARE(dump(QStringLiteral("smena")), QStringLiteral("60|60|2023-02-01|1|0|-|-"));
    QCOMPARE(dump(QStringLiteral("workers")), expected.value(QStringLiteral("workers")));
}

void otherWritersWaitForTheTable()
{
    for (int i = 1; i <= 12; ++i)
        legacy->exec(
            QStringLiteral("insert into OPER (VID, NAIMEN, CENA, I_ID) values (1, 0, 1.5, %1)").arg(i));
    db->exec(QStringLiteral(
        "insert into accounts_dep.oper (id, vid, naimen, cena, i_id) values (60, 1, 0, 2, 1)"));
    Connection other(QStringLiteral("other_client"));
    other.setConnectionString(db->connection().connectionString());
    other.open();
    QSqlDatabase o = other.database();
    QSqlQuery(o).exec(QStringLiteral("set lock_timeout = '300ms'"));
    bool checked = false;
    LegacyImport import(&db->connection(), settings(5));
        import.run([&](const QString &status) {
            if (checked || !status.startsWith(QStringLiteral("OPER: 5 ")))
                return;
        checked = true;
        QSqlQuery read(o);
        QVERIFY(read.exec(QStringLiteral("select count(*) from accounts_dep.oper")) && read.next());
        QCOMPARE(read.value(0).toInt(), 1); // readers see the table as it was
        QSqlQuery write(o);
        QVERIFY2(
            !write.exec(QStringLiteral(
                "insert into accounts_dep.oper (id, vid, naimen, cena, i_id) values (1000, 1, 0, 1, 1)")),
            "another client wrote into the table being imported");
        QVERIFY2(write.lastError().text().contains(QStringLiteral("lock timeout")),
                 qPrintable(write.lastError().text()));
});
QVERIFY(checked);
QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.oper")).toInt(), 12);
}

void waitsForAnotherWriterOnlySoLong()
{
    fillLegacy();
    Connection other(QStringLiteral("other_writer"));
    other.setConnectionString(db->connection().connectionString());
    other.open();
    QSqlDatabase o = other.database();
    QVERIFY(o.transaction());
    QVERIFY(QSqlQuery(o).exec(
        QStringLiteral("insert into accounts_dep.workers (id, fio) values (1000, 'Сидоров С.С.')")));
    ImportSettings s = settings();
    s.lockWaitMs = 300;
    const auto [statuses, error] = attemptImport(s);
    QVERIFY(o.rollback());
    QCOMPARE(error,
             QStringLiteral("Таблица accounts_dep.workers занята другим пользователем. Импорт остановлен, "
                            "повторите его позже."));
    QCOMPARE(statuses.last(), QStringLiteral("WORKERS: не импортирована, осталась как была"));
    QCOMPARE(dump(QStringLiteral("vid_oper")), expected.value(QStringLiteral("vid_oper")));
    QCOMPARE(dump(QStringLiteral("workers")), QString());
}

void registerTakesNoInputWhileImporting()
{
    fillLegacy();
    test::WindowFixture fx(*db);
    auto *window = fx.windows.add(std::make_unique<RegisterWindow>(fx.context));
    window->show();
    auto *label = window->findChild<QLabel *>(QStringLiteral("importStatusLabel"));
    QVERIFY(label && !label->isVisible());
    bool tried = false;
    QTimer::singleShot(0, window, [&] {
        tried = window->isImporting();
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("exitButton")), Qt::LeftButton);
        QTest::keyClick(window, Qt::Key_Escape);
        window->close();
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("deleteButton")), Qt::LeftButton);
    });
    window->runImport(settings(1));
    QVERIFY(tried);
    QVERIFY(window->isVisible());
    // One box at the end: what each table got.
    QCOMPARE(fx.messages.boxes.size(), 1);
    QCOMPARE(fx.messages.boxes.first().caption, QStringLiteral("Импорт"));
    QVERIFY2(fx.messages.last().startsWith(
                 QStringLiteral("Импорт завершён.\nH_TABEL: скопировано 2, оставлено как было 0\n")) &&
                 fx.messages.last().endsWith(
                     QStringLiteral("\nsmena: скопировано 2, оставлено как было 0, без даты 0")),
             qPrintable(fx.messages.last()));
    QVERIFY(label->isVisible());
    QCOMPARE(label->text(), QStringLiteral("smena: 2 из 2 записей"));
    QCOMPARE(dumpAll(), expected);
    // Afterwards the window answers again.
    QTest::keyClick(window, Qt::Key_Escape);
    QVERIFY(!window->isVisible());
}

// Entry dates as the old program kept them: ISO or day first, with or without a time of day, or
// none at all (kept empty and counted at the end).
void datesAsTheOldProgramWroteThem()
{
    legacy->exec(QStringLiteral(
        "insert into smena (id, w_id, data, smena, vvod) values "
        "(1, 7, '31.12.2023 10:00', 1, '31.12.2023 10:00'), (2, 7, '2024-02-29', 1, '2024-02-29T08:15:00.250'), "
        "(3, 7, null, 1, null), (4, 7, '  ', 1, '01.03.2024')"));
    ImportSettings s = settings();
    s.entriesFromLegacy = true;
    LegacyImport import(&db->connection(), s);
    const ImportSummary summary = import.run({});
    QCOMPARE(summary.lines().last(),
             QStringLiteral("smena: скопировано 4, оставлено как было 0, без даты 2"));
    QCOMPARE(
        db
            ->scalar(QStringLiteral(
                "select string_agg(concat_ws('|', id, coalesce(data::text, '-'), coalesce(vvod::text, '-')), ';' "
                "order by id) from accounts_dep.smena"))
            .toString(),
        QStringLiteral(
            "1|2023-12-31|2023-12-31 10:00:00;2|2024-02-29|2024-02-29 08:15:00.25;3|-|-;4|-|2024-03-01 00:00:00"));
}

// From the window the target data source must lead to the program's own database: another one is
// refused, naming both, and nothing changes.
void windowRefusesAnotherDatabase()
{
    fillLegacy();
    ImportSettings s = settings();
    s.target = QStringLiteral("Tabel_PgSQL;UID=sys;Database=postgres");
    const QString before = dump(QStringLiteral("workers"));
    const auto [statuses, error] = attemptImport(s);
    QCOMPARE(error, QStringLiteral(
                        "Источник данных Tabel_PgSQL ведёт в базу postgres на сервере 127.0.0.1, а программа "
                        "работает с базой %1 на сервере 127.0.0.1. Импорт не выполнен.")
                        .arg(db->name()));
    QVERIFY(statuses.isEmpty());
    QCOMPARE(dump(QStringLiteral("workers")), before);
}

// On the command line the tables go into the DATABASE and SERVER given, through the target data
// source's driver settings (which name another database).
void commandLineWritesIntoItsDatabase()
{
    fillLegacy();
    QProcess program;
    program.start(QStringLiteral(TABEL_PROGRAM),
                  db->arguments().mid(1)
                      << QStringLiteral("--import") << QStringLiteral("--legacy-source=") + legacy->source());
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(dumpAll(), expected);
}

void commandLine_data()
{
    QTest::addColumn<bool>("sourceExists");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("imported") << true << 0;
    QTest::newRow("no legacy file") << false << 1;
}
void commandLine()
{
    QFETCH(bool, sourceExists);
    QFETCH(int, exitCode);
    fillLegacy();
    const QString source = sourceExists ? legacy->source() : legacy->source() + QStringLiteral(".missing");
    QProcess program;
    program.start(QStringLiteral(TABEL_PROGRAM),
                  db->arguments().mid(1)
                      << QStringLiteral("--import") << QStringLiteral("--legacy-source=") + source
                      << QStringLiteral("--target-source=Tabel_PgSQL;UID=sys;Database=") + db->name());
    QVERIFY(program.waitForFinished(60000));
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    const QString err = QString::fromUtf8(program.readAllStandardError());
    QCOMPARE(program.exitCode(), exitCode);
    if (exitCode == 0) {
        QCOMPARE(
            out,
            QStringLiteral(
                "H_TABEL: 2 из 2 записей\nIZDEL: 2 из 2 записей\nNOMENKL: 2 из 2 записей\n"
                "OPER: 2 из 2 записей\nVID_OPER: 2 из 2 записей\nWORKERS: 2 из 2 записей\n"
                "smena: 2 из 2 записей\nИмпорт завершён.\n"
                "H_TABEL: скопировано 2, оставлено как было 0\nIZDEL: скопировано 2, оставлено как было 0\n"
                "NOMENKL: скопировано 2, оставлено как было 0\nOPER: скопировано 2, оставлено как было 0\n"
                "VID_OPER: скопировано 2, оставлено как было 0\nWORKERS: скопировано 2, оставлено как было 0\n"
                "smena: скопировано 2, оставлено как было 0, без даты 0\n"));
        QCOMPARE(dumpAll(), expected);
    } else {
        // A file that is not there is named, and not made.
        QCOMPARE(err, QStringLiteral("Ошибка: Файл старой базы %1.missing не найден. Импорт не выполнен.\n")
                          .arg(legacy->path()));
        QCOMPARE(out, QString());
        QVERIFY(!QFile::exists(legacy->path() + QStringLiteral(".missing")));
    }
}
}
;

QTEST_MAIN(TestLegacyImport)
#include "tst_legacyimport.moc"
