#include "app/reportcommand.h"

#include "data/connection.h"
#include "data/connectionstring.h"
#include "data/dataerror.h"
#include "data/dataset.h"
#include "reportengine/formula.h"
#include "reports/summaryreport.h"
#include "shop/databaseschema.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryFile>
#include <QTextStream>

#include <cstdio>
#include <exception>
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
    if (!known)
        throw Refusal{QStringLiteral("Неизвестный отчёт «%1»: есть workers, products, workers-detail, "
                                     "products-detail.")
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

// Writes the pages to a temporary file beside the target, then puts it in the target's place in one
// step: a reader never finds half a report, and a failure leaves what was there before.
void writeWhole(const report::Document &document, const QString &target, const QString &title)
{
    const QFileInfo info(target);
    if (info.isDir())
        throw Refusal{QStringLiteral("«%1» — папка, а нужен файл.").arg(target)};
    QTemporaryFile part(info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX.part").arg(info.fileName())));
    if (!part.open())
        throw Refusal{QStringLiteral("Файл «%1» не записывается: %2").arg(target, part.errorString())};
    part.close();
    document.writePdf(part.fileName(), title);
    if (std::rename(QFile::encodeName(part.fileName()).constData(), QFile::encodeName(target).constData()) !=
        0)
        throw Refusal{QStringLiteral("Файл «%1» не записывается.").arg(target)};
    part.setAutoRemove(false); // it is the target now
    // A temporary file is the owner's alone; a report is as readable as any file the user writes.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(target).constData(), 0666 & ~mask);
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
        const SummaryReportRequest r = request(arguments);
        if (option(arguments, QStringLiteral("--xlsx")))
            throw Refusal{QStringLiteral("Этот отчёт выводится в PDF: --pdf ФАЙЛ.")};
        const std::optional<QString> pdf = option(arguments, QStringLiteral("--pdf"));
        if (!pdf || pdf->trimmed().isEmpty())
            throw Refusal{QStringLiteral("Не задан файл: --pdf ФАЙЛ.")};

        const CommandLine commandLine = parseCommandLine(arguments);
        Connection connection(QStringLiteral("tabel_report"));
        connection.setDriver(commandLine.nativeDriver ? Connection::Driver::Native
                                                      : Connection::Driver::Odbc);
        connection.setConnectionString(commandLine.connectionString());
        connection.setSessionValue(QStringLiteral("application_name"), QStringLiteral("tabel"));
        connection.setSessionValue(QStringLiteral("tabel.host"), QSysInfo::machineHostName());
        connection.open();
        if (const QString behind = schemaBehindMessage(&connection, commandLine.database, commandLine.server);
            !behind.isEmpty())
            throw Refusal{behind};

        const QString name = summaryReportName(r.report);
        err << name << QStringLiteral(": чтение и подготовка страниц…") << Qt::endl;
        std::unique_ptr<Dataset> query(newSummaryReportQuery(&connection, r.report, nullptr));
        const report::Document document = prepareSummaryReport(query.get(), r);
        err << name << QStringLiteral(": %1 стр., запись в %2").arg(document.pageCount()).arg(*pdf)
            << Qt::endl;
        writeWhole(document, *pdf, name);
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
