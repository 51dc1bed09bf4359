#include "app/roles.h"
#include "app/startup.h"
#include "data/dataerror.h"
#include "data/datamodule.h"
#include "data/session.h"
#include "register/registerwindow.h"
#include "testsupport/recordingmessages.h"
#include "testsupport/testdatabase.h"

#include "reports/reportdialog.h"
#include <QAction>
#include <QMenu>

#include <QAbstractButton>
#include <QTest>

using namespace tabel;

Q_DECLARE_METATYPE(tabel::Role)

namespace {
// Controls of the register window that a role may take away.
const QStringList kRegisterControls = {QStringLiteral("addButton"),       QStringLiteral("changeButton"),
                                       QStringLiteral("deleteButton"),    QStringLiteral("refreshButton"),
                                       QStringLiteral("shift1Button"),    QStringLiteral("shift2Button"),
                                       QStringLiteral("shift3Button"),    QStringLiteral("shift4Button"),
                                       QStringLiteral("dayOffCheck"),     QStringLiteral("grid"),
                                       QStringLiteral("datePicker"),      QStringLiteral("referencesMenu"),
                                       QStringLiteral("timesheetAction"), QStringLiteral("reportsMenu"),
                                       QStringLiteral("exitAction"),      QStringLiteral("exitButton")};

bool enabled(QWidget *window, const QString &name)
{
    if (auto *menu = window->findChild<QMenu *>(name))
        return menu->menuAction()->isEnabled();
    if (auto *w = window->findChild<QWidget *>(name))
        return w->isEnabled();
    if (auto *a = window->findChild<QAction *>(name))
        return a->isEnabled();
    qFatal("no control %s", qPrintable(name));
}
} // namespace

class TestRoles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void passwords_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Role>("role");
        QTest::newRow("reporting") << QStringLiteral("qizfup") << Role::Reporting;
        QTest::newRow("entry") << QStringLiteral("lobvedu") << Role::Entry;
        QTest::newRow("acceptance") << QStringLiteral("tumro") << Role::Acceptance;
        QTest::newRow("full 1") << QStringLiteral("61370482") << Role::Full;
        QTest::newRow("full 2") << QStringLiteral("9926") << Role::Full;
        QTest::newRow("blanks around") << QStringLiteral("  lobvedu  ") << Role::Entry;
        QTest::newRow("tab and newline") << QStringLiteral("\tlobvedu\r\n") << Role::Entry;
        QTest::newRow("control characters") << QStringLiteral("\x01tumro\x1f") << Role::Acceptance;
        QTest::newRow("capitals refused") << QStringLiteral("LOBVEDU") << Role::None;
        QTest::newRow("inner blank refused") << QStringLiteral("lob vedu") << Role::None;
        QTest::newRow("prefix refused") << QStringLiteral("992") << Role::None;
        QTest::newRow("empty") << QString() << Role::None;
    }

    void passwords()
    {
        QFETCH(QString, typed);
        QFETCH(Role, role);
        QCOMPARE(roleForPassword(trimPassword(typed)), role);
    }

    void trimmedTextKept()
    {
        QCOMPARE(trimPassword(QStringLiteral("  lobvedu \t")), QStringLiteral("lobvedu"));
        QCOMPARE(trimPassword(QStringLiteral(" a b ")), QStringLiteral("a b"));
    }

    void registerControlsLeftEnabled_data()
    {
        QTest::addColumn<Role>("role");
        QTest::addColumn<QStringList>("disabled");
        QTest::addColumn<bool>("acceptance");
        QTest::newRow("reporting")
            << Role::Reporting
            << QStringList{QStringLiteral("addButton"),      QStringLiteral("changeButton"),
                           QStringLiteral("deleteButton"),   QStringLiteral("refreshButton"),
                           QStringLiteral("shift1Button"),   QStringLiteral("shift2Button"),
                           QStringLiteral("shift3Button"),   QStringLiteral("shift4Button"),
                           QStringLiteral("dayOffCheck"),    QStringLiteral("grid"),
                           QStringLiteral("datePicker"),     QStringLiteral("referencesMenu"),
                           QStringLiteral("timesheetAction")}
            << true;
        QTest::newRow("entry") << Role::Entry
                               << QStringList{QStringLiteral("changeButton"), QStringLiteral("deleteButton"),
                                              QStringLiteral("referencesMenu"),
                                              QStringLiteral("timesheetAction")}
                               << false;
        QTest::newRow("acceptance") << Role::Acceptance
                                    << QStringList{QStringLiteral("addButton"),
                                                   QStringLiteral("changeButton"),
                                                   QStringLiteral("deleteButton"),
                                                   QStringLiteral("referencesMenu"),
                                                   QStringLiteral("timesheetAction")}
                                    << true;
        QTest::newRow("full") << Role::Full << QStringList{} << true;
    }

    void registerControlsLeftEnabled()
    {
        QFETCH(Role, role);
        QFETCH(QStringList, disabled);
        QFETCH(bool, acceptance);
        test::RecordingMessages messages;
        DataModule data;
        Session session(&data);
        AppContext context;
        context.data = &data;
        context.session = &session;
        context.services.messages = &messages;
        RegisterWindow window(context);
        applyRole(role, {&window, nullptr});
        for (const QString &name : kRegisterControls)
            QVERIFY2(enabled(&window, name) == !disabled.contains(name), qPrintable(name));
        QCOMPARE(window.acceptanceAllowed(), acceptance);
    }

    // Every restriction of every role against every window the program creates.
    void everyRestrictionNamesARealControl()
    {
        test::TestDatabase db;
        test::RecordingMessages messages;
        WindowServices services;
        services.messages = &messages;
        services.terminate = [] {};
        Startup startup(services, BuildStamp{20221121, 74593});
        QVERIFY(startup.start(db.arguments()));
        const QList<QWidget *> windows = startup.windows().windows();
        QCOMPARE(restrictionProblems(windows), QStringList{});
        QStringList covered;
        for (QWidget *w : windows)
            covered << w->objectName();
        // Every restricted window exists and is checked.
        for (Role role : {Role::Reporting, Role::Entry, Role::Acceptance})
            for (const Restriction &r : restrictions(role))
                QVERIFY2(covered.contains(r.window), qPrintable(r.window));
        for (Role role : {Role::Reporting, Role::Entry, Role::Acceptance, Role::Full})
            applyRole(role, windows); // throws on any name it cannot find
        QVERIFY(messages.boxes.isEmpty());
    }

    void reportDialogPerRole_data()
    {
        QTest::addColumn<Role>("role");
        QTest::addColumn<QStringList>("enabled"); // of the dialog's buttons and the kind group
        QTest::addColumn<bool>("finishedOnly");
        const QStringList all{QStringLiteral("workersReportButton"),
                              QStringLiteral("productsReportButton"),
                              QStringLiteral("workersDetailReportButton"),
                              QStringLiteral("productsDetailReportButton"),
                              QStringLiteral("excelButton"),
                              QStringLiteral("payStatementsButton"),
                              QStringLiteral("saveStatementsButton"),
                              QStringLiteral("exitButton"),
                              QStringLiteral("productKindGroup")};
        QTest::newRow("reporting") << Role::Reporting << all << false;
        QTest::newRow("entry") << Role::Entry
                               << QStringList{QStringLiteral("productsDetailReportButton"),
                                              QStringLiteral("exitButton"),
                                              QStringLiteral("productKindGroup")}
                               << false;
        QTest::newRow("acceptance") << Role::Acceptance
                                    << QStringList{QStringLiteral("productsDetailReportButton"),
                                                   QStringLiteral("exitButton")}
                                    << true;
        QTest::newRow("full") << Role::Full << all << false;
    }

    void reportDialogPerRole()
    {
        QFETCH(Role, role);
        QFETCH(QStringList, enabled);
        QFETCH(bool, finishedOnly);
        test::RecordingMessages messages;
        DataModule data;
        Session session(&data);
        AppContext context;
        context.data = &data;
        context.session = &session;
        context.services.messages = &messages;
        ReportDialog dialog(context);
        applyRole(role, {&dialog});
        for (const char *name : {"workersReportButton", "productsReportButton", "workersDetailReportButton",
                                 "productsDetailReportButton", "excelButton", "payStatementsButton",
                                 "saveStatementsButton", "exitButton", "productKindGroup"}) {
            auto *w = dialog.findChild<QWidget *>(QLatin1String(name));
            QVERIFY2(w && w->isEnabled() == enabled.contains(QLatin1String(name)), name);
        }
        QCOMPARE(dialog.findChild<QAbstractButton *>(QStringLiteral("finishedRadio"))->isChecked(),
                 finishedOnly);
    }

    void unknownNameIsAnError()
    {
        // A register window that lacks what the roles name.
        QDialog bare;
        bare.setObjectName(QStringLiteral("RegisterWindow"));
        const QStringList problems = restrictionProblems({&bare});
        QVERIFY(problems.contains(QStringLiteral("RegisterWindow: addButton")));
        QVERIFY(problems.contains(QStringLiteral("RegisterWindow: acceptanceAllowed"))); // no such property
        QVERIFY_THROWS_EXCEPTION(DataError, applyRole(Role::Entry, {&bare}));
        QVERIFY(!bare.property("acceptanceAllowed").isValid()); // nothing was set on it
    }
};

QTEST_MAIN(TestRoles)
#include "tst_roles.moc"
