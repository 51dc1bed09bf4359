#include "app/importcommand.h"

#include "data/connection.h"
#include "data/connectionstring.h"
#include "import/legacyimport.h"

#include <QElapsedTimer>
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

    // A table's status lines come at most twice a second; its last one always.
    QString pending;
    QElapsedTimer sincePrinted;
    sincePrinted.start();
    const auto flush = [&] {
        if (pending.isEmpty())
            return;
        out << pending << Qt::endl;
        pending.clear();
        sincePrinted.restart();
    };
    const auto tableOf = [](const QString &status) { return status.section(QLatin1Char(':'), 0, 0); };

    try {
        const CommandLine commandLine = parseCommandLine(arguments);
        Connection shared;
        shared.setDriver(commandLine.nativeDriver ? Connection::Driver::Native : Connection::Driver::Odbc);
        shared.setConnectionString(commandLine.connectionString());
        shared.open();
        LegacyImport import(&shared, settings);
        import.run([&](const QString &status) {
            if (!pending.isEmpty() && tableOf(pending) != tableOf(status))
                flush();
            pending = status;
            if (sincePrinted.elapsed() >= 500)
                flush();
        });
        flush();
        out << QStringLiteral("Импорт завершён.") << Qt::endl;
        return 0;
    } catch (const std::exception &e) {
        flush();
        err << QStringLiteral("Ошибка: ") << QString::fromStdString(e.what()) << Qt::endl;
        return 1;
    }
}

} // namespace tabel
