#include "app/versioncheck.h"

#include "data/dataerror.h"
#include "data/dataset.h"

#include "ui/messageservice.h"
#include <QScopedValueRollback>

namespace tabel {

VersionCheck::VersionCheck(Connection *connection, MessageService *messages, BuildStamp stamp,
                           QObject *parent)
    : QObject(parent), m_connection(connection), m_messages(messages), m_stamp(stamp)
{
}

VersionCheck::Outcome VersionCheck::run(Trigger trigger)
{
    if (m_running)
        return Outcome::Failed;
    const QScopedValueRollback<bool> running(m_running, true);
    Outcome outcome = Outcome::Failed;
    bool stop = false;
    try {
        Dataset ver(m_connection, QStringLiteral("ver"));
        ver.setUpdateTable(QStringLiteral("accounts_dep.ver"));
        ver.open();
        ver.first();
        outcome = Outcome::Current;
        const qint64 d = ver.isEmpty() ? 0 : ver.asInt(QStringLiteral("d"));
        const qint64 t = ver.isEmpty() ? 0 : ver.asInt(QStringLiteral("t"));
        if (ver.isEmpty() || d < m_stamp.date || (d == m_stamp.date && t < m_stamp.time)) {
            if (ver.isEmpty())
                ver.insert();
            else
                ver.edit();
            ver.setValue(QStringLiteral("d"), m_stamp.date);
            ver.setValue(QStringLiteral("t"), m_stamp.time);
            ver.post(); // an update that finds no row fails here
            outcome = Outcome::Raised;
        }
        const qint64 d2 = ver.asInt(QStringLiteral("d"));
        const qint64 t2 = ver.asInt(QStringLiteral("t"));
        if (d2 > m_stamp.date || (d2 == m_stamp.date && t2 > m_stamp.time)) {
            outcome = Outcome::Outdated;
            stop = true;
        }
        ver.close();
    } catch (const DataError &e) {
        outcome = Outcome::Failed;
        if (m_messages && !(trigger == Trigger::Timer && e.connectionLost()))
            m_messages->standardError(e.message());
    } catch (const std::exception &e) {
        outcome = Outcome::Failed;
        if (m_messages)
            m_messages->standardError(QString::fromLocal8Bit(e.what()));
    }
    if (stop) {
        Q_EMIT outdated();
        if (m_messages)
            m_messages->error(
                QStringLiteral("Ошибка"),
                QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин."));
        if (m_terminate)
            m_terminate();
    }
    return outcome;
}

} // namespace tabel
