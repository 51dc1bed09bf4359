#pragma once

#include "data/shiftviews.h"

#include <QString>

namespace tabel {

class DataModule;

// The access roles a login password selects.
enum class Role { None, Reporting, Entry, Acceptance, Full };

// What the windows of one run share: the role and the typed password (UserPassword), the build stamp
// (BuildDate, BuildTime), the shift views with the current one (ShiftView, CurrentQuery) and their
// acceptance filter. Filled by the login and the version check.
// The role's name, as the database's history records who changed what.
inline QString roleName(Role role)
{
    switch (role) {
    case Role::Reporting:
        return QStringLiteral("Отчеты");
    case Role::Entry:
        return QStringLiteral("Ввод");
    case Role::Acceptance:
        return QStringLiteral("Приемка");
    case Role::Full:
        return QStringLiteral("Полный доступ");
    case Role::None:
        break;
    }
    return QString();
}

class Session
{
public:
    explicit Session(DataModule *data) : m_shiftViews(data) {}

    Role role() const { return m_role; }
    void setRole(Role role) { m_role = role; }
    QString userPassword() const { return m_userPassword; }
    void setUserPassword(const QString &password) { m_userPassword = password; }
    int buildDate() const { return m_buildDate; }
    int buildTime() const { return m_buildTime; }
    void setBuild(int date, int time)
    {
        m_buildDate = date;
        m_buildTime = time;
    }

    ShiftViews &shiftViews() { return m_shiftViews; }
    const ShiftViews &shiftViews() const { return m_shiftViews; }
    int shiftView() const { return m_shiftViews.view(); }
    void setShiftView(int view) { m_shiftViews.setView(view); }
    Dataset *currentQuery() const { return m_shiftViews.current(); }

private:
    Role m_role = Role::None;
    QString m_userPassword;
    int m_buildDate = 0;
    int m_buildTime = 0;
    ShiftViews m_shiftViews;
};

} // namespace tabel
