#include "data/odbchandle.h"

#include <QSqlDriver>
#include <QStringList>
#include <QVariant>

#include <sqlext.h>

#include <algorithm>

namespace tabel {

SQLHDBC odbcConnectionHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    // Qt's ODBC driver hands out its connection handle as an SQLHANDLE, which is a void pointer.
    if (db.driverName() != QLatin1String("QODBC") || handle.metaType() != QMetaType::fromType<SQLHANDLE>())
        return SQL_NULL_HDBC;
    return *static_cast<const SQLHDBC *>(handle.data());
}

QString odbcDiagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    QStringList texts;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6];
        SQLINTEGER native = 0;
        SQLWCHAR text[1024];
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state, &native, text, 1024, &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        texts << QString::fromUtf16(reinterpret_cast<const char16_t *>(text),
                                    std::min<SQLSMALLINT>(length, 1023))
                     .trimmed();
    }
    QString result = texts.join(QLatin1Char(' ')).trimmed();
    return result.isEmpty() ? QStringLiteral("Ошибка базы данных") : result;
}

} // namespace tabel
