#pragma once

#include <QList>
#include <QString>
#include <QVector>

class QWidget;

namespace tabel {

enum class Role { None, Reporting, Entry, Acceptance, Full };

// The typed password without leading and trailing blanks and control characters.
QString trimPassword(const QString &typed);
// The role a trimmed password selects, compared exactly; None when nothing matches.
Role roleForPassword(const QString &trimmed);

// What a role takes away: per window (by object name) the controls (widgets or actions, by object
// name) to disable. A control listed with a choice is set to that child first ("group:choice").
// A name that is no control of the window is set on the window as a property false (a permission).
struct Restriction
{
    QString window;
    QStringList controls;
};
QVector<Restriction> restrictions(Role role);

// Applies a role's restrictions to whichever of the windows exist.
void applyRole(Role role, const QList<QWidget *> &windows);

} // namespace tabel
