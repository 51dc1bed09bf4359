#include "data/command.h"

#include "data/sqlexec.h"

namespace tabel {

Command::Command(Connection *connection, const QString &name, QObject *parent)
    : QObject(parent), m_connection(connection)
{
    setObjectName(name);
}

int Command::execute()
{
    QSqlQuery q = execStatement(m_connection, m_text, m_params);
    return q.numRowsAffected();
}

} // namespace tabel
