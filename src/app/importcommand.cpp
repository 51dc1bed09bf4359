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
        Connection shared;
        shared.setDriver(commandLine.nativeDriver ? Connection::Driver::Native : Connection::Driver::Odbc);
        shared.setConnectionString(commandLine.connectionString());
        shared.open();
        LegacyImport import(&shared, settings);
        import.run([&out](const QString &status) { out << status << Qt::endl; });
        out << QStringLiteral("Импорт завершён.") << Qt::endl;
        return 0;
    } catch (const std::exception &e) {
        err << QStringLiteral("Ошибка: ") << QString::fromStdString(e.what()) << Qt::endl;
        return 1;
    }
}

} // namespace tabel
