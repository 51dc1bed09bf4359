#include "data/connectionstring.h"

#ifndef TABEL_SERVER
#define TABEL_SERVER "127.0.0.1"
#endif

namespace tabel {

namespace {
const QString kDatabase = QStringLiteral("tervo_erp");
const QString kPassword = QStringLiteral("wpvmzkd");
} // namespace

QString builtInServer()
{
    return QStringLiteral(TABEL_SERVER);
}

QString connectionString(const QString &database, const QString &server)
{
    return QStringLiteral("DRIVER={PostgreSQL UNICODE};DATABASE=") + database + QStringLiteral(";SERVER=") +
           server + QStringLiteral(";PORT=5432;UID=sys;PWD=") + kPassword +
           QStringLiteral(";SSLmode=allow;") +
           QStringLiteral("ReadOnly=0;Protocol=7.4;FakeOidIndex=0;ShowOidColumn=0;RowVersioning=0;"
                          "ShowSystemTables=0;Fetch=100;UnknownSizes=0;MaxVarcharSize=255;"
                          "MaxLongVarcharSize=8190;") +
           QStringLiteral("Debug=0;CommLog=0;UseDeclareFetch=0;TextAsLongVarchar=1;UnknownsAsLongVarchar=0;"
                          "BoolsAsChar=1;Parse=0;ExtraSysTablePrefixes=;LFConversion=1;UpdatableCursors=1;") +
           QStringLiteral("TrueIsMinus1=0;BI=0;ByteaAsLongVarBinary=1;UseServerSidePrepare=1;"
                          "LowerCaseIdentifier=0;D6=-101;OptionalErrors=0;XaOpt=1");
}

QString builtInConnectionString()
{
    return connectionString(kDatabase, builtInServer());
}

QString CommandLine::connectionString() const
{
    if (server.isEmpty())
        return builtInConnectionString();
    return tabel::connectionString(database, server);
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine result;
    QStringList positions;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--native"))
            result.nativeDriver = true;
        else if (!a.startsWith(QLatin1String("--")))
            positions << a;
    }
    result.server = positions.value(1);
    if (!result.server.isEmpty())
        result.database = positions.value(0);
    return result;
}

QMap<QString, QString> connectionStringPairs(const QString &connectionString)
{
    QMap<QString, QString> pairs;
    const QStringList parts = connectionString.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        pairs.insert(part.left(eq).trimmed().toUpper(), part.mid(eq + 1));
    }
    return pairs;
}

} // namespace tabel
