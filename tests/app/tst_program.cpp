#include "testsupport/testdatabase.h"

#include <QProcess>
#include <QTest>

using namespace tabel;

// The real program, started as a user starts it.
class TestProgram : public QObject
{
    Q_OBJECT
    test::TestDatabase *db = nullptr;

private Q_SLOTS:
    void initTestCase() { db = new test::TestDatabase; }
    void cleanupTestCase() { delete db; }

    void outdatedCopyEndsByItself()
    {
        // A newer build has run against this database: this copy shows its message and, with nobody
        // there to answer it, ends on its own a few seconds later.
        db->exec(QStringLiteral("insert into accounts_dep.ver (d, t) values (20991231, 1)"));
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(TABEL_PROGRAM), db->arguments().mid(1));
        QVERIFY(program.waitForStarted());
        const bool ended = program.waitForFinished(60000);
        if (!ended)
            program.kill();
        QVERIFY2(ended, "the outdated copy kept running");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(db->scalar(QStringLiteral("select d || '.' || t from accounts_dep.ver")).toString(),
                 QStringLiteral("20991231.1"));
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
