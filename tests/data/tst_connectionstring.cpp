#include "data/connectionstring.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace tabel;

namespace {
// The settings files in a folder of the test's own until the guard goes.
auto settingsIn(const QTemporaryDir &dir)
{
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    qputenv("TABEL_SYSTEM_CONFIG", dir.filePath(QStringLiteral("etc.conf")).toUtf8());
    return qScopeGuard([] {
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("TABEL_SYSTEM_CONFIG");
    });
}
} // namespace

class TestConnectionString : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void builtInString()
    {
        // Every piece in order, nothing between them.
        const QString expected =
            QStringLiteral("DRIVER={PostgreSQL UNICODE};DATABASE=tervo_erp;SERVER=") + builtInServer() +
            QStringLiteral(
                ";PORT=5432;UID=sys;PWD=wpvmzkd;SSLmode=allow;"
                "ReadOnly=0;Protocol=7.4;FakeOidIndex=0;ShowOidColumn=0;RowVersioning=0;ShowSystemTables=0;Fetch=100;"
                "UnknownSizes=0;MaxVarcharSize=255;MaxLongVarcharSize=8190;"
                "Debug=0;CommLog=0;UseDeclareFetch=0;TextAsLongVarchar=1;UnknownsAsLongVarchar=0;BoolsAsChar=1;Parse=0;"
                "ExtraSysTablePrefixes=;LFConversion=1;UpdatableCursors=1;"
                "TrueIsMinus1=0;BI=0;ByteaAsLongVarBinary=1;UseServerSidePrepare=1;LowerCaseIdentifier=0;D6=-101;"
                "OptionalErrors=0;XaOpt=1");
        QCOMPARE(builtInConnectionString(), expected);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("native");
        const QString builtIn = QStringLiteral("tervo_erp");
        QTest::newRow("none") << QStringList{} << builtIn << builtInServer() << false;
        QTest::newRow("only database: ignored")
            << QStringList{QStringLiteral("shop")} << builtIn << builtInServer() << false;
        QTest::newRow("database and server")
            << QStringList{QStringLiteral("shop"), QStringLiteral("10.1.2.3")} << QStringLiteral("shop")
            << QStringLiteral("10.1.2.3") << false;
        QTest::newRow("empty database") << QStringList{QString(), QStringLiteral("10.1.2.3")} << QString()
                                        << QStringLiteral("10.1.2.3") << false;
        QTest::newRow("empty server: built-in")
            << QStringList{QStringLiteral("shop"), QString()} << builtIn << builtInServer() << false;
        QTest::newRow("native option not a position")
            << QStringList{QStringLiteral("--native"), QStringLiteral("shop"), QStringLiteral("db.local")}
            << QStringLiteral("shop") << QStringLiteral("db.local") << true;
        QTest::newRow("extra positions ignored")
            << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}
            << QStringLiteral("a") << QStringLiteral("b") << false;
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, database);
        QFETCH(QString, server);
        QFETCH(bool, native);
        const CommandLine cl = parseCommandLine(QStringList{QStringLiteral("tabel")} + args);
        QCOMPARE(cl.nativeDriver, native);
        const QString s = cl.connectionString();
        QCOMPARE(s, connectionString(database, server));
        QVERIFY(s.contains(QStringLiteral(";DATABASE=") + database + QStringLiteral(";SERVER=") + server +
                           QStringLiteral(";PORT=5432;")));
        // Only pieces 2 and 4 differ from the built-in string.
        QString normalised = s;
        normalised.replace(QStringLiteral("DATABASE=") + database + QStringLiteral(";SERVER=") + server,
                           QStringLiteral("DATABASE=tervo_erp;SERVER=") + builtInServer());
        QCOMPARE(normalised, builtInConnectionString());
    }

    // The settings files: each key from the user's file, else the machine's, else built in; the
    // command line's database and server win over both.
    void settingsFiles_data()
    {
        QTest::addColumn<QString>("user");   // the user's file, lines joined by |
        QTest::addColumn<QString>("system"); // the machine's
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected"); // database/server/port/sslmode/driver
        const QString builtIn =
            QStringLiteral("tervo_erp/") + builtInServer() + QStringLiteral("/5432/allow/odbc");
        QTest::newRow("no files") << QString() << QString() << QStringList{} << builtIn;
        QTest::newRow("machine only")
            << QString() << QStringLiteral("server = 10.0.0.7|database = shop|port = 5433|driver = native")
            << QStringList{} << QStringLiteral("shop/10.0.0.7/5433/allow/native");
        QTest::newRow("user's key first, the machine's for the rest")
            << QStringLiteral("server=db.local|sslmode=require")
            << QStringLiteral("server=10.0.0.7|database=shop") << QStringList{}
            << QStringLiteral("shop/db.local/5432/require/odbc");
        QTest::newRow("command line wins for database and server")
            << QStringLiteral("server=db.local|port=6000") << QString()
            << QStringList{QStringLiteral("other"), QStringLiteral("10.9.9.9")}
            << QStringLiteral("other/10.9.9.9/6000/allow/odbc");
        QTest::newRow("a port that is no port is left out")
            << QStringLiteral("port=http|driver=ODBC") << QString() << QStringList{}
            << QStringLiteral("tervo_erp/") + builtInServer() + QStringLiteral("/5432/allow/odbc");
    }

    void settingsFiles()
    {
        QFETCH(QString, user);
        QFETCH(QString, system);
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const auto restore = settingsIn(dir);
        auto write = [](const QString &path, const QString &lines) {
            if (lines.isEmpty())
                return;
            QDir().mkpath(QFileInfo(path).path());
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(lines.split(QLatin1Char('|')).join(QLatin1Char('\n')).toUtf8());
        };
        QCOMPARE(tabel::settingsFiles().first(), dir.filePath(QStringLiteral("config/tabel/tabel.conf")));
        write(tabel::settingsFiles().at(0), user);
        write(tabel::settingsFiles().at(1), system);
        const CommandLine cl = parseCommandLine(QStringList{QStringLiteral("tabel")} + args);
        QCOMPARE(QStringLiteral("%1/%2/%3/%4/%5")
                     .arg(cl.database, cl.server)
                     .arg(cl.port)
                     .arg(cl.sslMode, cl.nativeDriver ? QStringLiteral("native") : QStringLiteral("odbc")),
                 expected);
        QVERIFY(cl.connectionString().contains(QStringLiteral(";PORT=%1;").arg(cl.port)));
        QVERIFY(cl.connectionString().contains(QStringLiteral(";SSLmode=%1;").arg(cl.sslMode)));
    }

    // A free text of the settings (the shop's name) comes back whole: commas, quotes, Cyrillic.
    void freeTextValues_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QStringLiteral("name = Цех № 2") << QStringLiteral("Цех № 2");
        QTest::newRow("commas") << QStringLiteral("name = ООО «Металл», цех 2, участок покраски")
                                << QStringLiteral("ООО «Металл», цех 2, участок покраски");
        QTest::newRow("quoted") << QStringLiteral("name = \"Цех, покраска\"")
                                << QStringLiteral("Цех, покраска");
        QTest::newRow("empty") << QStringLiteral("name =") << QString();
    }

    void freeTextValues()
    {
        QFETCH(QString, line);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const auto restore = settingsIn(dir);
        QFile f(tabel::settingsFiles().at(1));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[shop]\n%1\n").arg(line).toUtf8());
        f.close();
        QCOMPARE(tabel::settingsValues().value(QStringLiteral("shop/name")), expected);
    }

    void valuesInsertedAsTheyAre()
    {
        const QString s = connectionString(QStringLiteral("a;b"), QStringLiteral("h"));
        QVERIFY(s.startsWith(QStringLiteral("DRIVER={PostgreSQL UNICODE};DATABASE=a;b;SERVER=h;")));
    }

    void pairsForTheNativeDriver()
    {
        const auto pairs =
            connectionStringPairs(connectionString(QStringLiteral("shop"), QStringLiteral("10.0.0.5")));
        QCOMPARE(pairs.value(QStringLiteral("DATABASE")), QStringLiteral("shop"));
        QCOMPARE(pairs.value(QStringLiteral("SERVER")), QStringLiteral("10.0.0.5"));
        QCOMPARE(pairs.value(QStringLiteral("PORT")), QStringLiteral("5432"));
        QCOMPARE(pairs.value(QStringLiteral("UID")), QStringLiteral("sys"));
        QCOMPARE(pairs.value(QStringLiteral("PWD")), QStringLiteral("wpvmzkd"));
        QCOMPARE(pairs.value(QStringLiteral("SSLMODE")), QStringLiteral("allow"));
        QCOMPARE(pairs.value(QStringLiteral("EXTRASYSTABLEPREFIXES")), QString());
    }
};

QTEST_GUILESS_MAIN(TestConnectionString)
#include "tst_connectionstring.moc"
