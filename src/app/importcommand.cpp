#include "app/importcommand.h"

#include "data/connection.h"
#include "data/connectionstring.h"
#include "import/legacyimport.h"

#include <QTextStream>

#include <exception>

namespace tabel {

namespace {
QString optionValue(const QStringList &arguments, const QString &name, const QString &fallback)
{
    const QString prefix = name + QLatin1Char('=');
    for (const QString &a : arguments)
        if (a.startsWith(prefix))
            return a.mid(prefix.size());
    return fallback;
}
} // namespace

bool isImportCommand(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--import"));
}

int runImportCommand(const QStringList &arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    ImportSettings settings;
    settings.legacySource = optionValue(arguments, QStringLiteral("--legacy-source"), settings.legacySource);
    settings.target = optionValue(arguments, QStringLiteral("--target-source"), settings.target);
    settings.entriesFromLegacy = arguments.contains(QStringLiteral("--entries-from-legacy"));

    try {
        const CommandLine commandLine = parseCommandLine(arguments);
        // The tables go into the database named on the command line, through the target data
        // source's driver settings; a target source given in full is taken as it is.
        settings.programDatabaseOnly = false;
        if (optionValue(arguments, QStringLiteral("--target-source"), QString()).isEmpty() &&
            !commandLine.server.isEmpty()) {
            const auto pairs = connectionStringPairs(commandLine.connectionString());
            settings.target +=
                QStringLiteral(";Database=%1;Servername=%2")
                    .arg(pairs.value(QStringLiteral("DATABASE")), pairs.value(QStringLiteral("SERVER")));
            if (pairs.contains(QStringLiteral("PORT")))
                settings.target += QStringLiteral(";Port=") + pairs.value(QStringLiteral("PORT"));
        }
        Connection shared;
        shared.setDriver(commandLine.nativeDriver ? Connection::Driver::Native : Connection::Driver::Odbc);
        shared.setConnectionString(commandLine.connectionString());
        shared.open();
        LegacyImport import(&shared, settings);
        const ImportSummary summary =
            import.run([&out](const QString &status) { out << status << Qt::endl; });
        for (const QString &line : summary.lines())
            out << line << Qt::endl;
        return 0;
    } catch (const std::exception &e) {
        err << QStringLiteral("Ошибка: ") << QString::fromStdString(e.what()) << Qt::endl;
        return 1;
    }
}

} // namespace tabel
