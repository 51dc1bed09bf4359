#pragma once

#include <QSqlDatabase>
#include <QString>

#include <sql.h>

namespace tabel {

// The ODBC connection handle under a Qt ODBC connection; null for any other driver.
SQLHDBC odbcConnectionHandle(const QSqlDatabase &db);

// The driver's messages for a handle, joined; a generic text when it gives none.
QString odbcDiagnostics(SQLSMALLINT type, SQLHANDLE handle);

// A statement handle, freed on every way out.
struct OdbcStatement
{
    SQLHSTMT handle = SQL_NULL_HSTMT;
    OdbcStatement() = default;
    OdbcStatement(const OdbcStatement &) = delete;
    OdbcStatement &operator=(const OdbcStatement &) = delete;
    ~OdbcStatement()
    {
        if (handle != SQL_NULL_HSTMT)
            SQLFreeHandle(SQL_HANDLE_STMT, handle);
    }
};

} // namespace tabel
