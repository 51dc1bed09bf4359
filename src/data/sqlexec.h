#pragma once

#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace tabel {

class Connection;

// Runs one statement on the connection, binding its named parameters by position; a parameter never
// set is bound as null. Throws DataError with the driver's message when the database refuses.
QSqlQuery execStatement(Connection *connection, const QString &statement,
                        const QHash<QString, QVariant> &params, bool forwardOnly = true);

// Runs a statement whose values are all bound positionally.
QSqlQuery execBound(Connection *connection, const QString &statement, const QVariantList &values,
                    bool forwardOnly = true);

} // namespace tabel
