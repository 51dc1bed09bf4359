#pragma once

#include "data/session.h"

#include <QList>
#include <QString>
#include <QVector>

class QWidget;

namespace tabel {

// The typed password without leading and trailing blanks and control characters.
QString trimPassword(const QString &typed);
// The role a trimmed password selects, compared exactly; None when nothing matches.
Role roleForPassword(const QString &trimmed);

// What a role takes away: per window (by object name) the controls (widgets or actions, by object
// name) to disable. A control listed with a choice is set to that child first ("group:choice"). A
// name may also be a boolean property the window declares (a permission, such as accepting entries),
// which is set false.
struct Restriction
{
    QString window;
    QStringList controls;
};
QVector<Restriction> restrictions(Role role);

// Every restriction of every role that names something its window lacks, as "window: name", for the
// windows given (a window not among them is not checked). Empty when the table is sound.
QStringList restrictionProblems(const QList<QWidget *> &windows);

// Applies a role's restrictions to whichever of the windows exist. A name its window lacks is an
// error (DataError), found at start-up by restrictionProblems.
void applyRole(Role role, const QList<QWidget *> &windows);

} // namespace tabel
