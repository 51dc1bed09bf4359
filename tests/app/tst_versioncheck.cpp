#include "app/versioncheck.h"
#include "testsupport/recordingmessages.h"
#include "testsupport/testdatabase.h"

#include <QSignalSpy>
#include <QTest>

using namespace tabel;

Q_DECLARE_METATYPE(tabel::VersionCheck::Outcome)

class TestVersionCheck : public QObject
{
    Q_OBJECT
    test::TestDatabase *db = nullptr;

private Q_SLOTS:
    void initTestCase() { db = new test::TestDatabase; }
    void cleanupTestCase() { delete db; }

    void check_data()
    {
        QTest::addColumn<QString>("record"); // "d,t" or empty for no row
        QTest::addColumn<VersionCheck::Outcome>("outcome");
        QTest::addColumn<QString>("after");
        QTest::newRow("equal") << QStringLiteral("20221121,74593") << VersionCheck::Outcome::Current
                               << QStringLiteral("20221121,74593");
        QTest::newRow("earlier date") << QStringLiteral("20221120,80000") << VersionCheck::Outcome::Raised
                                      << QStringLiteral("20221121,74593");
        QTest::newRow("same date, earlier time")
            << QStringLiteral("20221121,74592") << VersionCheck::Outcome::Raised
            << QStringLiteral("20221121,74593");
        QTest::newRow("same date, later time")
            << QStringLiteral("20221121,74594") << VersionCheck::Outcome::Outdated
            << QStringLiteral("20221121,74594");
        QTest::newRow("later date, earlier time")
            << QStringLiteral("20221122,10") << VersionCheck::Outcome::Outdated
            << QStringLiteral("20221122,10");
        QTest::newRow("empty table") << QString() << VersionCheck::Outcome::Raised
                                     << QStringLiteral("20221121,74593");
    }

    void check()
    {
        QFETCH(QString, record);
        QFETCH(VersionCheck::Outcome, outcome);
        QFETCH(QString, after);
        db->exec(QStringLiteral("delete from accounts_dep.ver"));
        if (!record.isEmpty())
            db->exec(
                QStringLiteral("insert into accounts_dep.ver (d, t, delim) values (%1, 'x')").arg(record));
        test::RecordingMessages messages;
        VersionCheck check(&db->connection(), &messages, BuildStamp{20221121, 74593});
        int terminations = 0;
        check.setTerminate([&] { ++terminations; });
        QSignalSpy outdated(&check, &VersionCheck::outdated);
        QCOMPARE(check.run(), outcome);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.ver")).toInt(), 1);
        QCOMPARE(db->scalar(QStringLiteral("select d || ',' || t from accounts_dep.ver")).toString(), after);
        const bool stop = outcome == VersionCheck::Outcome::Outdated;
        QCOMPARE(outdated.count(), stop ? 1 : 0);
        QCOMPARE(terminations, stop ? 1 : 0);
        QCOMPARE(messages.boxes.size(), stop ? 1 : 0);
        if (stop) {
            QCOMPARE(messages.boxes.first().caption, QStringLiteral("Ошибка"));
            QCOMPARE(messages.boxes.first().text,
                     QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин."));
            QCOMPARE(messages.boxes.first().icon, MessageService::Icon::Error);
        }
    }

    void databaseErrorIsShownAndCheckAbandoned()
    {
        db->exec(QStringLiteral("alter table accounts_dep.ver rename to ver_away"));
        test::RecordingMessages messages;
        VersionCheck check(&db->connection(), &messages, BuildStamp{20221121, 74593});
        int terminations = 0;
        check.setTerminate([&] { ++terminations; });
        QCOMPARE(check.run(), VersionCheck::Outcome::Failed);
        db->exec(QStringLiteral("alter table accounts_dep.ver_away rename to ver"));
        QCOMPARE(messages.boxes.size(), 1);
        QVERIFY(messages.boxes.first().standard);
        QVERIFY(messages.boxes.first().text.contains(QStringLiteral("ver")));
        QCOMPARE(terminations, 0);
        // The next tick works again.
        db->exec(QStringLiteral("delete from accounts_dep.ver"));
        QCOMPARE(check.run(), VersionCheck::Outcome::Raised);
    }
};

QTEST_GUILESS_MAIN(TestVersionCheck)
#include "tst_versioncheck.moc"
