#pragma once

#include "data/sqlexec.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <optional>

namespace tabel {

class Connection;

// Reads the whole result of a statement without parameters over ODBC a block of rows at a time,
// into the same values Qt's ODBC driver gives cell by cell (which costs more than the query itself
// on the long reference lists). Gives nothing when the result holds what it does not read the same
// way (a column kind it does not know, a text longer than its buffer): the caller then reads it
// through Qt. Throws DataError with the database's text when the statement fails.
std::optional<FetchedRows> fetchAllOdbc(Connection *connection, const QString &statement);

} // namespace tabel
