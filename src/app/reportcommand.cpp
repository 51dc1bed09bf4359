#include "app/reportcommand.h"

#include "data/connection.h"
#include "data/connectionstring.h"
#include "data/dataerror.h"
#include "data/dataset.h"
#include "reportengine/formula.h"
#include "reports/paystatements.h"
#include "reports/spreadsheet.h"
#include "reports/summaryreport.h"
#include "shop/databaseschema.h"
#include "timesheet/timesheetprint.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTextStream>

#include <cstdio>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace tabel {

namespace {
// A refusal of the command line: the message is all the user needs.
struct Refusal
{
    QString message;
};

// The value of "--name VALUE" or "--name=VALUE"; nothing when the option is absent.
std::optional<QString> option(const QStringList &arguments, const QString &name)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == name) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).startsWith(QLatin1String("--")))
                throw Refusal{QStringLiteral("После %1 нужно значение.").arg(name)};
            return arguments.at(i + 1);
        }
        if (a.startsWith(name + u'='))
            return a.mid(name.size() + 1);
    }
    return std::nullopt;
}

QDate dateOption(const QStringList &arguments, const QString &name)
{
    const std::optional<QString> text = option(arguments, name);
    if (!text)
        throw Refusal{QStringLiteral("Не задана дата %1 ДД.ММ.ГГГГ.").arg(name)};
    const QDate d = QDate::fromString(text->trimmed(), QStringLiteral("dd.MM.yyyy"));
    if (!d.isValid())
        throw Refusal{QStringLiteral("Дата «%1» в %2 не читается: нужно ДД.ММ.ГГГГ.").arg(*text, name)};
    return d;
}

int numberOption(const QStringList &arguments, const QString &name, int low, int high)
{
    const std::optional<QString> text = option(arguments, name);
    if (!text)
        throw Refusal{QStringLiteral("Не задан %1.").arg(name)};
    bool ok = false;
    const int v = text->trimmed().toInt(&ok);
    if (!ok || v < low || v > high)
        throw Refusal{QStringLiteral("%1: нужно число от %2 до %3, а не «%4».")
                          .arg(name)
                          .arg(low)
                          .arg(high)
                          .arg(*text)};
    return v;
}

// Writes a finished file to a temporary name beside the target, then puts it in the target's place
// in one step: a reader never finds half a report, and a failure leaves what was there before.
void putInPlace(const QString &written, const QString &target)
{
    if (std::rename(QFile::encodeName(written).constData(), QFile::encodeName(target).constData()) != 0)
        throw Refusal{QStringLiteral("Файл «%1» не записывается.").arg(target)};
    // A temporary file is the owner's alone; a report is as readable as any file the user writes.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(target).constData(), 0666 & ~mask);
}

QFileInfo targetFile(const QString &target)
{
    const QFileInfo info(target);
    if (info.isDir())
        throw Refusal{QStringLiteral("«%1» — папка, а нужен файл.").arg(target)};
    return info;
}

SummaryReportRequest request(const QStringList &arguments)
{
    const QString name = option(arguments, QStringLiteral("--report")).value_or(QString());
    const QList<QPair<QString, SummaryReport>> names = {
        {QStringLiteral("workers"), SummaryReport::Workers},
        {QStringLiteral("products"), SummaryReport::Products},
        {QStringLiteral("workers-detail"), SummaryReport::WorkersDetail},
        {QStringLiteral("products-detail"), SummaryReport::ProductsDetail}};
    SummaryReportRequest r;
    bool known = false;
    for (const auto &n : names)
        if (n.first == name) {
            r.report = n.second;
            known = true;
        }
    if (name == QLatin1String("pay-statements"))
        known = true; // a period and kind like the report by workers
    if (!known)
        throw Refusal{QStringLiteral("Неизвестный отчёт «%1»: есть workers, products, workers-detail, "
                                     "products-detail, pay-statements, timesheet.")
                          .arg(name)};
    r.from = dateOption(arguments, QStringLiteral("--from"));
    r.to = dateOption(arguments, QStringLiteral("--to"));
    if (r.from > r.to)
        throw Refusal{QStringLiteral("Начало периода позже его конца.")};
    const QString kind = option(arguments, QStringLiteral("--kind")).value_or(QStringLiteral("all"));
    if (kind == QLatin1String("finished"))
        r.kind = ProductKindChoice::Finished;
    else if (kind == QLatin1String("blanks"))
        r.kind = ProductKindChoice::Blanks;
    else if (kind != QLatin1String("all"))
        throw Refusal{QStringLiteral("--kind: all, finished или blanks, а не «%1».").arg(kind)};
    return r;
}

void writePdf(const report::Document &document, const QString &target, const QString &title)
{
    targetFile(target);
    document.writePdf(target, title); // whole or not at all
}

// A workbook made in a temporary folder beside the target, then put in its place.
void writeXlsx(const QString &target, const std::function<void(Workbook &)> &write)
{
    const QFileInfo info = targetFile(target);
    QTemporaryDir folder(info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX.part").arg(info.fileName())));
    if (!folder.isValid())
        throw Refusal{QStringLiteral("Файл «%1» не записывается: %2").arg(target, folder.errorString())};
    Spreadsheet spreadsheet;
    spreadsheet.setFolder(folder.path());
    Workbook book = spreadsheet.create(info.completeBaseName());
    if (!book.isOpen())
        throw Refusal{QStringLiteral("Файл «%1» не записывается.").arg(target)};
    write(book);
    if (!book.finish() || book.problem())
        throw Refusal{book.problem() ? book.problem()->text
                                     : QStringLiteral("Файл «%1» не записывается.").arg(target)};
    putInPlace(book.path(), target);
}
// The command line without the report's options and their values, so that only DATABASE SERVER
// remain as positions ("--from 01.03.2024" is no server).
QStringList connectionArguments(const QStringList &arguments)
{
    static const QStringList withValue = {
        QStringLiteral("--report"), QStringLiteral("--from"), QStringLiteral("--to"),
        QStringLiteral("--kind"),   QStringLiteral("--pdf"),  QStringLiteral("--xlsx"),
        QStringLiteral("--month"),  QStringLiteral("--year"), QStringLiteral("--worker")};
    QStringList out;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (i > 0 && withValue.contains(arguments.at(i))) {
            ++i; // and its value
            continue;
        }
        out << arguments.at(i);
    }
    return out;
}
} // namespace

bool isReportCommand(const QStringList &arguments)
{
    for (const QString &a : arguments)
        if (a == QLatin1String("--report") || a.startsWith(QLatin1String("--report=")))
            return true;
    return false;
}

int runReportCommand(const QStringList &arguments)
{
    QTextStream err(stderr);
    try {
        const QString name = option(arguments, QStringLiteral("--report")).value_or(QString());
        const bool timesheet = name == QLatin1String("timesheet");
        const bool payStatements = name == QLatin1String("pay-statements");
        SummaryReportRequest r;
        int year = 0, month = 0, worker = 0;
        if (timesheet) {
            month = numberOption(arguments, QStringLiteral("--month"), 1, 12);
            year = numberOption(arguments, QStringLiteral("--year"), 2000, 2100);
        } else {
            r = request(arguments);
        }
        if (payStatements && option(arguments, QStringLiteral("--worker")))
            worker = numberOption(arguments, QStringLiteral("--worker"), 1, std::numeric_limits<int>::max());
        else if (!payStatements && option(arguments, QStringLiteral("--worker")))
            throw Refusal{QStringLiteral("--worker — только для pay-statements.")};
        const std::optional<QString> pdf = option(arguments, QStringLiteral("--pdf"));
        const std::optional<QString> xlsx = option(arguments, QStringLiteral("--xlsx"));
        if ((!pdf && !xlsx) || (pdf && pdf->trimmed().isEmpty()) || (xlsx && xlsx->trimmed().isEmpty()))
            throw Refusal{QStringLiteral("Не задан файл: --pdf ФАЙЛ или --xlsx ФАЙЛ.")};
        if (xlsx && !timesheet && r.report != SummaryReport::Products)
            throw Refusal{
                QStringLiteral("В Excel выводятся products (количество по изделиям, как «Excel» окна "
                               "отчётов) и timesheet; этот отчёт — в PDF: --pdf ФАЙЛ.")};

        const CommandLine commandLine = parseCommandLine(connectionArguments(arguments));
        Connection connection(QStringLiteral("tabel_report"));
        connection.setDriver(commandLine.nativeDriver ? Connection::Driver::Native
                                                      : Connection::Driver::Odbc);
        // The settings may send reports to a read-only standby, away from the entries on the primary.
        const QString source = commandLine.reportsSource();
        connection.setConnectionString(source.isEmpty() ? commandLine.connectionString()
                                                        : commandLine.reportsConnectionString());
        if (!source.isEmpty())
            err << QStringLiteral("Отчёт читается с сервера %1").arg(source) << Qt::endl;
        connection.setSessionValue(QStringLiteral("application_name"), QStringLiteral("tabel"));
        connection.setSessionValue(QStringLiteral("tabel.host"), QSysInfo::machineHostName());
        connection.open();
        if (const QString behind = schemaBehindMessage(&connection, commandLine.database, commandLine.server);
            !behind.isEmpty())
            throw Refusal{behind};

        const QString title =
            timesheet ? QStringLiteral("Табель по времени: %1 %2").arg(timesheetMonthName(month)).arg(year)
            : payStatements ? QStringLiteral("Расчётные листки")
                            : summaryReportName(r.report);
        const auto rows = [&err, &title](int done, int count) {
            if (done == count || done % 1000 == 0)
                err << title << QStringLiteral(": строк %1 из %2").arg(done).arg(count) << Qt::endl;
        };
        if (pdf && payStatements) {
            err << title << QStringLiteral(": чтение…") << Qt::endl;
            std::vector<PayStatement> statements = preparePayStatements(
                &connection, {r.from, r.to, r.kind, worker, shopNameSetting()},
                [&err, &title](int done, int count) {
                    if (done > 0 && (done == count || done % 50 == 0))
                        err << title << QStringLiteral(": работников %1 из %2").arg(done).arg(count)
                            << Qt::endl;
                });
            if (statements.empty())
                throw Refusal{worker ? QStringLiteral("У работника № %1 нет позиций за период.").arg(worker)
                                     : noPayStatementsMessage()};
            const report::Document document = joinPayStatements(std::move(statements));
            err << title << QStringLiteral(": %1 стр., запись в %2").arg(document.pageCount()).arg(*pdf)
                << Qt::endl;
            writePdf(document, *pdf, title);
        } else if (pdf) {
            err << title << QStringLiteral(": чтение и подготовка страниц…") << Qt::endl;
            std::unique_ptr<Dataset> query(timesheet ? newTimesheetPrintQuery(&connection, nullptr)
                                                     : newSummaryReportQuery(&connection, r.report, nullptr));
            const report::Document document = timesheet ? prepareTimesheetReport(query.get(), year, month)
                                                        : prepareSummaryReport(query.get(), r);
            err << title << QStringLiteral(": %1 стр., запись в %2").arg(document.pageCount()).arg(*pdf)
                << Qt::endl;
            writePdf(document, *pdf, title);
        }
        if (xlsx) {
            err << title << QStringLiteral(": запись в %1").arg(*xlsx) << Qt::endl;
            if (timesheet) {
                std::unique_ptr<Dataset> query(newTimesheetPrintQuery(&connection, nullptr));
                writeXlsx(*xlsx,
                          [&](Workbook &book) { writeTimesheetSheet(book, query.get(), year, month, rows); });
            } else {
                std::unique_ptr<Dataset> query(newProductsExportQuery(&connection, nullptr));
                writeXlsx(*xlsx, [&](Workbook &book) {
                    const auto close = qScopeGuard([&query] { query->close(); });
                    openForPeriod(query.get(), r.from, r.to, r.kind);
                    writeProductsSheet(book, query.get(), rows);
                });
            }
        }
        return 0;
    } catch (const Refusal &e) {
        err << QStringLiteral("Ошибка: ") << e.message << Qt::endl;
    } catch (const DataError &e) {
        err << QStringLiteral("Ошибка: ") << e.message() << Qt::endl;
    } catch (const report::ReportError &e) {
        err << QStringLiteral("Ошибка: ") << e.message() << Qt::endl;
    } catch (const std::exception &e) {
        err << QStringLiteral("Ошибка: ") << QString::fromLocal8Bit(e.what()) << Qt::endl;
    }
    return 1;
}

} // namespace tabel
