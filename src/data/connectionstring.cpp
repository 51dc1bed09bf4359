#include "data/connectionstring.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

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

QString connectionString(const QString &database, const QString &server, int port, const QString &sslMode)
{
    return QStringLiteral("DRIVER={PostgreSQL UNICODE};DATABASE=") + database + QStringLiteral(";SERVER=") +
           server + QStringLiteral(";PORT=") + QString::number(port) + QStringLiteral(";UID=sys;PWD=") +
           kPassword + QStringLiteral(";SSLmode=") + sslMode + QStringLiteral(";") +
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

QStringList settingsFiles()
{
    const QString system = qEnvironmentVariableIsSet("TABEL_SYSTEM_CONFIG")
                               ? qEnvironmentVariable("TABEL_SYSTEM_CONFIG")
                               : QStringLiteral("/etc/tabel/tabel.conf");
    return {QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                .filePath(QStringLiteral("tabel/tabel.conf")),
            system};
}

QMap<QString, QString> settingsValues()
{
    // Each key from the first file that has it.
    QMap<QString, QString> settings;
    for (const QString &file : settingsFiles()) {
        if (!QFileInfo::exists(file))
            continue;
        QSettings ini(file, QSettings::IniFormat);
        for (const QString &key : ini.allKeys())
            if (!settings.contains(key.toLower())) {
                // The INI reader splits a value at its commas ("Цех № 2, покраска"): joined back.
                const QVariant v = ini.value(key);
                const QString text = v.typeId() == QMetaType::QStringList
                                         ? v.toStringList().join(QStringLiteral(", "))
                                         : v.toString();
                settings.insert(key.toLower(), text.trimmed());
            }
    }
    return settings;
}

QString CommandLine::connectionString() const
{
    return tabel::connectionString(database, server, port, sslMode);
}

QString CommandLine::reportsConnectionString() const
{
    if (reportsServer.isEmpty() && reportsDatabase.isEmpty())
        return QString();
    return tabel::connectionString(reportsDatabase.isEmpty() ? database : reportsDatabase,
                                   reportsServer.isEmpty() ? server : reportsServer,
                                   reportsPort > 0 ? reportsPort : port, sslMode);
}

QString CommandLine::reportsSource() const
{
    if (reportsServer.isEmpty() && reportsDatabase.isEmpty())
        return QString();
    QString source = reportsServer.isEmpty() ? server : reportsServer;
    if (reportsPort > 0 && reportsPort != port)
        source += u':' + QString::number(reportsPort);
    if (!reportsDatabase.isEmpty() && reportsDatabase != database)
        source += u'/' + reportsDatabase;
    return source;
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine result;
    QStringList positions;
    bool nativeOption = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--native"))
            nativeOption = true;
        else if (!a.startsWith(QLatin1String("--")))
            positions << a;
    }
    const QMap<QString, QString> settings = settingsValues();
    result.database = settings.value(QStringLiteral("database"), kDatabase);
    result.server = settings.value(QStringLiteral("server"), builtInServer());
    bool portOk = false;
    const int port = settings.value(QStringLiteral("port")).toInt(&portOk);
    if (portOk && port > 0 && port < 65536)
        result.port = port;
    if (!settings.value(QStringLiteral("sslmode")).isEmpty())
        result.sslMode = settings.value(QStringLiteral("sslmode"));
    result.nativeDriver =
        nativeOption || settings.value(QStringLiteral("driver")).toLower() == QLatin1String("native");
    result.reportsServer = settings.value(QStringLiteral("reports/server"));
    result.reportsDatabase = settings.value(QStringLiteral("reports/database"));
    const int reportsPort = settings.value(QStringLiteral("reports/port")).toInt(&portOk);
    if (portOk && reportsPort > 0 && reportsPort < 65536)
        result.reportsPort = reportsPort;
    if (!positions.value(1).isEmpty()) {
        result.server = positions.value(1);
        result.database = positions.value(0);
    }
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
