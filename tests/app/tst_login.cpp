#include "app/loginwindow.h"
#include "app/startup.h"
#include "data/datamodule.h"
#include "data/session.h"
#include "register/registerwindow.h"
#include "testsupport/recordingmessages.h"
#include "testsupport/testdatabase.h"
#include "ui/windowsetup.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace tabel;

Q_DECLARE_METATYPE(tabel::Role)

// The program as started from the command line, driven through its login window.
class TestLogin : public QObject
{
    Q_OBJECT
    test::TestDatabase *db = nullptr;
    test::RecordingMessages messages;
    int quits = 0;
    QList<QDialog *> shown;

    WindowServices services()
    {
        WindowServices s;
        s.messages = &messages;
        s.showModal = [this](QDialog *d) {
            shown << d;
            d->show();
            return 0;
        };
        s.terminate = [this] { ++quits; };
        return s;
    }

private Q_SLOTS:
    void initTestCase()
    {
        db = new test::TestDatabase;
        db->loadDemo();
    }
    void cleanupTestCase() { delete db; }
    void init()
    {
        messages.clear();
        quits = 0;
        shown.clear();
        db->exec(QStringLiteral("delete from accounts_dep.ver"));
    }

    void login_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Role>("role");
        QTest::addColumn<bool>("addEnabled");
        QTest::addColumn<bool>("gridEnabled");
        QTest::newRow("reporting") << QStringLiteral("qizfup") << Role::Reporting << false << false;
        QTest::newRow("entry, blanks around") << QStringLiteral("  lobvedu  ") << Role::Entry << true << true;
        QTest::newRow("acceptance") << QStringLiteral("tumro") << Role::Acceptance << false << true;
        QTest::newRow("full") << QStringLiteral("9926") << Role::Full << true << true;
        QTest::newRow("full, long") << QStringLiteral("61370482") << Role::Full << true << true;
    }

    void login()
    {
        QFETCH(QString, typed);
        QFETCH(Role, role);
        QFETCH(bool, addEnabled);
        QFETCH(bool, gridEnabled);
        Startup startup(services(), BuildStamp{20221121, 74593});
        QVERIFY(startup.start(db->arguments()));
        LoginWindow *login = startup.loginWindow();
        login->show();
        QCOMPARE(login->windowTitle(), QStringLiteral("Авторизация (build: 20221121.74593)"));
        // The version check ran at the first showing: the record now holds this build.
        QCOMPARE(db->scalar(QStringLiteral("select d || '.' || t from accounts_dep.ver")).toString(),
                 QStringLiteral("20221121.74593"));
        auto *edit = login->findChild<QLineEdit *>(QStringLiteral("passwordEdit"));
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return); // "Вход" is the default button
        QVERIFY(messages.boxes.isEmpty());
        QCOMPARE(login->role(), role);
        RegisterWindow *reg = startup.registerWindow();
        QCOMPARE(shown, QList<QDialog *>{reg});
        QCOMPARE(startup.session()->userPassword(), typed.trimmed());
        QCOMPARE(startup.session()->role(), role);
        QCOMPARE(startup.session()->shiftView(), 1);
        for (int s = 1; s <= 4; ++s)
            QCOMPARE(startup.data()->smena(s)->param(QStringLiteral("ok")).toString(), QStringLiteral("ta"));
        QCOMPARE(reg->findChild<QPushButton *>(QStringLiteral("addButton"))->isEnabled(), addEnabled);
        QCOMPARE(reg->findChild<QTableView *>(QStringLiteral("grid"))->isEnabled(), gridEnabled);
        QVERIFY(reg->findChild<QPushButton *>(QStringLiteral("exitButton"))->isEnabled());
        // Today's first shift is on show.
        QCOMPARE(startup.data()->smena(1)->param(QStringLiteral("data")).toDate(), QDate::currentDate());
        QVERIFY(startup.data()->smena(1)->isOpen());
        QVERIFY(startup.data()->smena(1)->recordCount() > 0);
        QCOMPARE(reg->findChild<QTableView *>(QStringLiteral("grid"))->model()->rowCount(),
                 startup.data()->smena(1)->recordCount());
        // When the register window's showing ends the login window closes and the program ends.
        QVERIFY(!login->isVisible());
        QCOMPARE(quits, 1);
    }

    void wrongPasswordKeepsWaiting_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("capitals") << QStringLiteral("LOBVEDU");
        QTest::newRow("unknown") << QStringLiteral("secret");
        QTest::newRow("empty") << QString();
    }

    void wrongPasswordKeepsWaiting()
    {
        QFETCH(QString, typed);
        Startup startup(services(), BuildStamp{20221121, 74593});
        QVERIFY(startup.start(db->arguments()));
        LoginWindow *login = startup.loginWindow();
        login->show();
        auto *edit = login->findChild<QLineEdit *>(QStringLiteral("passwordEdit"));
        QTest::keyClicks(edit, typed);
        QTest::mouseClick(login->findChild<QPushButton *>(QStringLiteral("loginButton")), Qt::LeftButton);
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes.first().caption, QStringLiteral("Ошибка"));
        QCOMPARE(messages.boxes.first().text, QStringLiteral("Введены неверные данные."));
        QCOMPARE(messages.boxes.first().icon, MessageService::Icon::Error);
        QVERIFY(login->isVisible());
        QVERIFY(shown.isEmpty());
        QCOMPARE(startup.session()->userPassword(), typed);
        QCOMPARE(quits, 0);
        // Another try works.
        edit->setText(QStringLiteral("tumro"));
        QTest::mouseClick(login->findChild<QPushButton *>(QStringLiteral("loginButton")), Qt::LeftButton);
        QCOMPARE(login->role(), Role::Acceptance);
    }

    void escapeEndsTheProgram()
    {
        Startup startup(services(), BuildStamp{20221121, 74593});
        QVERIFY(startup.start(db->arguments()));
        LoginWindow *login = startup.loginWindow();
        login->show();
        QTest::keyClick(login, Qt::Key_Escape);
        QVERIFY(!login->isVisible());
        QVERIFY(shown.isEmpty());
        QCOMPARE(quits, 1);
    }

    // Qt's own buttons speak the shop's language (its Russian translation keeps "OK" in Latin letters).
    void standardButtonsInRussian()
    {
        useShopTranslations();
        QMessageBox box(QMessageBox::Question, QStringLiteral("Вопрос"), QStringLiteral("?"),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
        QStringList texts;
        for (const auto button : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Ok, QMessageBox::Cancel})
            texts << box.button(button)->text().remove(QLatin1Char('&'));
        QCOMPARE(texts, (QStringList{QStringLiteral("Да"), QStringLiteral("Нет"), QStringLiteral("OK"),
                                     QStringLiteral("Отмена")}));
    }

    void outdatedCopyIsStopped()
    {
        db->exec(QStringLiteral("insert into accounts_dep.ver (d, t) values (20221121, 80000)"));
        Startup startup(services(), BuildStamp{20221121, 74593});
        QVERIFY(startup.start(db->arguments()));
        LoginWindow *login = startup.loginWindow();
        login->show();
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes.first().text,
                 QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин."));
        QCOMPARE(quits, 1);
        // The termination timer was started before the message, 5 seconds.
        QVERIFY(login->terminateTimer()->isActive());
        QCOMPARE(login->terminateTimer()->interval(), 5000);
        QCOMPARE(db->scalar(QStringLiteral("select t from accounts_dep.ver")).toInt(), 80000);
    }

    void failedConnection_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("database that does not exist") << QStringList{
            QStringLiteral("tabel"), QStringLiteral("no_such_database_x"), QStringLiteral("127.0.0.1")};
        QTest::newRow("server that does not answer")
            << QStringList{QStringLiteral("tabel"), QStringLiteral("tervo_erp"), QStringLiteral("127.0.0.2")};
    }

    void failedConnection()
    {
        QFETCH(QStringList, arguments);
        Startup startup(services(), BuildStamp{20221121, 74593});
        QVERIFY(!startup.start(arguments));
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes.first().caption, QStringLiteral("Ошибка!"));
        QCOMPARE(messages.boxes.first().text, QStringLiteral("Подключение к БД отсутсвует!!!"));
        QCOMPARE(messages.boxes.first().icon, MessageService::Icon::Error);
        QVERIFY(!startup.windows().has<LoginWindow>());
    }

    // As the program starts: the login window is up before the connection; when it works, the
    // window becomes the main one with its version check and caption and takes the password; when
    // it fails, the window is gone before the one message.
    void loginFirst_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("connects");
        QTest::newRow("connects") << QString() << QStringLiteral("127.0.0.1") << true;
        QTest::newRow("no database") << QStringLiteral("no_such_database_x") << QStringLiteral("127.0.0.1")
                                     << false;
        QTest::newRow("no server") << QStringLiteral("tervo_erp") << QStringLiteral("127.0.0.2") << false;
    }

    void loginFirst()
    {
        QFETCH(QString, database);
        QFETCH(QString, server);
        QFETCH(bool, connects);
        db->exec(QStringLiteral("delete from accounts_dep.ver"));
        Startup startup(services(), BuildStamp{20221121, 74593});
        startup.setLoginFirst(true);
        QStringList arguments = db->arguments();
        if (!database.isEmpty())
            arguments = {QStringLiteral("tabel"), database, server};
        QCOMPARE(startup.start(arguments), connects);
        if (!connects) {
            QCOMPARE(messages.boxes.size(), 1);
            QCOMPARE(messages.boxes.first().text, QStringLiteral("Подключение к БД отсутсвует!!!"));
            QVERIFY(!startup.windows().has<LoginWindow>() || !startup.loginWindow()->isVisible());
            return;
        }
        LoginWindow *login = startup.loginWindow();
        QVERIFY(login->isVisible());
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.ver")).toInt(), 0); // not yet
        login->openAtStart();
        QCOMPARE(login->windowTitle(), QStringLiteral("Авторизация (build: 20221121.74593)"));
        QCOMPARE(db->scalar(QStringLiteral("select d || '.' || t from accounts_dep.ver")).toString(),
                 QStringLiteral("20221121.74593"));
        auto *edit = login->findChild<QLineEdit *>(QStringLiteral("passwordEdit"));
        QTest::keyClicks(edit, QStringLiteral("9926"));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(messages.boxes.isEmpty());
        QCOMPARE(login->role(), Role::Full);
        QCOMPARE(shown, QList<QDialog *>{startup.registerWindow()});
    }

    // A database that was never prepared for this program: one message naming the command, and no
    // window is made.
    void unpreparedDatabase()
    {
        test::TestDatabase bare(test::TestDatabase::Start::BaseTables);
        Startup startup(services(), BuildStamp{20221121, 74593});
        QVERIFY(!startup.start(bare.arguments()));
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes.first().caption, QStringLiteral("Ошибка!"));
        QVERIFY2(messages.last().startsWith(QStringLiteral(
                     "База данных не подготовлена для этой версии программы: не применены изменения 1 ")),
                 qPrintable(messages.last()));
        QVERIFY(messages.last().endsWith(
            QStringLiteral("tabel %1 127.0.0.1 --prepare-database").arg(bare.name())));
        QVERIFY(!startup.windows().has<LoginWindow>());
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
