#include "app/databasecommand.h"

#include "app/buildstamp.h"
#include "data/connection.h"
#include "data/connectionstring.h"
#include "data/dataerror.h"
#include "shop/databaseschema.h"

#include <QTextStream>

#include <exception>

namespace tabel {

bool isDatabaseCommand(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--check-database")) ||
           arguments.contains(QStringLiteral("--prepare-database"));
}

int runDatabaseCommand(const QStringList &arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const CommandLine commandLine = parseCommandLine(arguments);
    const bool prepare = arguments.contains(QStringLiteral("--prepare-database"));
    try {
        Connection connection(QStringLiteral("tabel_admin"));
        connection.setDriver(Connection::Driver::Native);
        connection.setConnectionString(commandLine.connectionString());
        connection.open();
        out << QStringLiteral("База данных %1 на %2; программе нужны изменения 1–%3.")
                   .arg(commandLine.database, commandLine.server)
                   .arg(requiredSchemaVersion())
            << Qt::endl;
        if (prepare)
            prepareSchema(&connection, [&out](const QString &line) { out << line << Qt::endl; });
        const SchemaCheck check = checkSchema(&connection);
        for (const QString &line : check.report())
            out << line << Qt::endl;
        if (check.clean()) {
            out << (prepare ? QStringLiteral("База данных подготовлена для этой версии программы.")
                            : QStringLiteral("База данных готова для этой версии программы."))
                << Qt::endl;
            return 0;
        }
        if (!prepare)
            out << QStringLiteral("Подготовить её: tabel %1 %2 --prepare-database")
                       .arg(commandLine.database, commandLine.server)
                << Qt::endl;
        return 1;
    } catch (const DataError &e) {
        err << QStringLiteral("Ошибка: ") << e.message() << Qt::endl;
    } catch (const std::exception &e) {
        err << QStringLiteral("Ошибка: ") << QString::fromLocal8Bit(e.what()) << Qt::endl;
    }
    return 1;
}

bool isInfoCommand(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h")) ||
           arguments.contains(QStringLiteral("--version"));
}

int runInfoCommand(const QStringList &arguments)
{
    QTextStream out(stdout);
    const BuildStamp stamp = thisBuild();
    if (arguments.contains(QStringLiteral("--version"))) {
        out << QStringLiteral("tabel %1 (build: %2.%3)")
                   .arg(QStringLiteral(TABEL_VERSION))
                   .arg(stamp.date)
                   .arg(stamp.time)
            << Qt::endl;
        return 0;
    }
    const QStringList files = settingsFiles();
    out << QStringLiteral(
               "Табель: учёт сдельных работ цеха.\n"
               "\n"
               "Использование: tabel [БАЗА СЕРВЕР] [параметры]\n"
               "\n"
               "  БАЗА СЕРВЕР            база данных и адрес сервера PostgreSQL; без них берутся из файлов\n"
               "                         настроек, иначе встроенные\n"
               "  --native               подключаться через libpq, а не через ODBC\n"
               "  --check-database       показать, чего не хватает базе для этой версии (ничего не меняет);\n"
               "                         код выхода 0, если всё есть\n"
               "  --prepare-database     применить недостающие изменения базы (данные не удаляются)\n"
               "  --import               перенести данные старой программы (источник ODBC \"Tabel\")\n"
               "    --entries-from-legacy  записи тоже из старой программы\n"
               "    --legacy-source=ТЕКСТ  источник данных старой программы\n"
               "    --target-source=ТЕКСТ  источник данных, в который идёт перенос\n"
               "  --report ОТЧЁТ --from ДД.ММ.ГГГГ --to ДД.ММ.ГГГГ [--kind all|finished|blanks]\n"
               "         --pdf ФАЙЛ | --xlsx ФАЙЛ\n"
               "                         отчёт за период без окна (для cron): workers, products,\n"
               "                         workers-detail, products-detail, pay-statements (расчётные\n"
               "                         листки; --worker НОМЕР — одного работника); --to не входит в\n"
               "                         период, как в окне; --xlsx только для products (количество по\n"
               "                         изделиям)\n"
               "  --report timesheet --month М --year ГГГГ --pdf ФАЙЛ | --xlsx ФАЙЛ\n"
               "                         табель по времени за месяц, как его печатает и выгружает окно\n"
               "  --version              версия и метка сборки\n"
               "  --help                 эта справка\n"
               "\n"
               "Файлы настроек (INI; ключи server, port, database, driver = odbc | native, sslmode;\n"
               "название цеха для расчётных листков — name в разделе [shop]),\n"
               "каждый ключ из первого файла, где он есть:\n"
               "  %1\n"
               "  %2\n")
               .arg(files.value(0), files.value(1));
    return 0;
}

} // namespace tabel
