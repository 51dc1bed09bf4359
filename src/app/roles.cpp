#include "app/roles.h"

#include "data/dataerror.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QMetaProperty>
#include <QVariant>
#include <QWidget>

namespace tabel {

QString trimPassword(const QString &typed)
{
    qsizetype b = 0, e = typed.size();
    while (b < e && typed.at(b).unicode() <= 32)
        ++b;
    while (e > b && typed.at(e - 1).unicode() <= 32)
        --e;
    return typed.mid(b, e - b);
}

Role roleForPassword(const QString &trimmed)
{
    if (trimmed == QLatin1String("qizfup"))
        return Role::Reporting;
    if (trimmed == QLatin1String("lobvedu"))
        return Role::Entry;
    if (trimmed == QLatin1String("tumro"))
        return Role::Acceptance;
    if (trimmed == QLatin1String("61370482") || trimmed == QLatin1String("9926"))
        return Role::Full;
    return Role::None;
}

QVector<Restriction> restrictions(Role role)
{
    const QString reg = QStringLiteral("RegisterWindow");
    const QString rep = QStringLiteral("ReportDialog");
    const QString history = QStringLiteral("HistoryPeriodWindow"); // entries' changes only
    const QStringList reportButtons = {
        QStringLiteral("productsReportButton"), QStringLiteral("workersReportButton"),
        QStringLiteral("workersDetailReportButton"), QStringLiteral("excelButton"),
        // pay statements show what the report by workers shows
        QStringLiteral("payStatementsButton"), QStringLiteral("saveStatementsButton")};
    switch (role) {
    case Role::Reporting:
        return {
            {reg,
             {QStringLiteral("addButton"), QStringLiteral("changeButton"), QStringLiteral("deleteButton"),
              QStringLiteral("refreshButton"), QStringLiteral("shift1Button"), QStringLiteral("shift2Button"),
              QStringLiteral("shift3Button"), QStringLiteral("shift4Button"), QStringLiteral("dayOffCheck"),
              QStringLiteral("grid"), QStringLiteral("datePicker"), QStringLiteral("referencesMenu"),
              QStringLiteral("timesheetAction")}}};
    case Role::Entry:
        return {{reg,
                 {QStringLiteral("changeButton"), QStringLiteral("deleteButton"),
                  QStringLiteral("referencesMenu"), QStringLiteral("timesheetAction"),
                  QStringLiteral("acceptanceAllowed")}},
                {rep, reportButtons},
                {history, {QStringLiteral("allKindsAllowed")}}};
    case Role::Acceptance:
        return {{reg,
                 {QStringLiteral("addButton"), QStringLiteral("changeButton"), QStringLiteral("deleteButton"),
                  QStringLiteral("referencesMenu"), QStringLiteral("timesheetAction")}},
                {rep, reportButtons + QStringList{QStringLiteral("productKindGroup:finishedRadio")}},
                {history, {QStringLiteral("allKindsAllowed")}}};
    case Role::Full:
    case Role::None:
        break;
    }
    return {};
}

namespace {
QAction *actionOf(QWidget *window, const QString &name)
{
    if (auto *menu = window->findChild<QMenu *>(name))
        return menu->menuAction();
    return window->findChild<QAction *>(name);
}

bool isPermission(QWidget *window, const QString &name)
{
    const QMetaObject *meta = window->metaObject();
    const int index = meta->indexOfProperty(name.toLatin1().constData());
    return index >= 0 && meta->property(index).typeId() == QMetaType::Bool;
}

// What is wrong with one entry of the table for this window; empty when nothing.
QString problem(QWidget *window, const QString &entry)
{
    const QString name = entry.section(QLatin1Char(':'), 0, 0);
    const QString choice = entry.section(QLatin1Char(':'), 1, 1);
    if (!choice.isEmpty() && !window->findChild<QAbstractButton *>(choice))
        return choice;
    if (window->findChild<QWidget *>(name) || actionOf(window, name) || isPermission(window, name))
        return QString();
    return name;
}

void disableControl(QWidget *window, const QString &entry)
{
    const QString missing = problem(window, entry);
    if (!missing.isEmpty())
        throw DataError(
            QStringLiteral("Ограничение роли: в окне %1 нет элемента %2").arg(window->objectName(), missing));
    const QString name = entry.section(QLatin1Char(':'), 0, 0);
    const QString choice = entry.section(QLatin1Char(':'), 1, 1);
    if (!choice.isEmpty())
        window->findChild<QAbstractButton *>(choice)->setChecked(true);
    if (QAction *a = actionOf(window, name)) {
        a->setEnabled(false);
        return;
    }
    if (auto *w = window->findChild<QWidget *>(name)) {
        w->setEnabled(false);
        return;
    }
    window->setProperty(name.toLatin1().constData(), false);
}
} // namespace

QStringList restrictionProblems(const QList<QWidget *> &windows)
{
    QStringList out;
    for (Role role : {Role::Reporting, Role::Entry, Role::Acceptance, Role::Full}) {
        for (const Restriction &r : restrictions(role)) {
            for (QWidget *w : windows) {
                if (!w || w->objectName() != r.window)
                    continue;
                for (const QString &control : r.controls) {
                    const QString missing = problem(w, control);
                    if (!missing.isEmpty())
                        out << r.window + QStringLiteral(": ") + missing;
                }
            }
        }
    }
    out.removeDuplicates();
    return out;
}

void applyRole(Role role, const QList<QWidget *> &windows)
{
    const QVector<Restriction> list = restrictions(role);
    for (const Restriction &r : list) {
        for (QWidget *w : windows) {
            if (w && w->objectName() == r.window) {
                for (const QString &control : r.controls)
                    disableControl(w, control);
            }
        }
    }
}

} // namespace tabel
