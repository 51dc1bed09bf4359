#include "reports/spreadsheet.h"

#include "ui/messageservice.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>

#include <xlsxwriter.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace tabel {

namespace {
const QString kSpreadsheetType =
    QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");

} // namespace

QString fileSafeName(QString name)
{
    for (QChar &c : name)
        if (QStringLiteral("/\\:*?\"<>|").contains(c) || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    return name;
}

Spreadsheet::Spreadsheet()
    : m_folder(QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                   .filePath(QStringLiteral("Табель"))),
      m_opener(&Spreadsheet::openWithDesktop)
{
}

bool Spreadsheet::openWithDesktop(const QString &path)
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), kSpreadsheetType});
    if (!query.waitForFinished(5000) || query.readAllStandardOutput().trimmed().isEmpty())
        return false; // no program for .xlsx: xdg-open would "succeed" and show nothing
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

Workbook Spreadsheet::create(const QString &what) const
{
    return Workbook(m_folder, what);
}

std::optional<SpreadsheetProblem> Spreadsheet::deliver(Workbook &book) const
{
    if (!book.isOpen())
        return book.problem();
    if (!book.finish())
        return book.problem();
    const bool opened = m_opener && m_opener(book.path());
    if (book.problem())
        return book.problem(); // a cell that could not be written: the rest of the file is there
    if (!opened)
        return SpreadsheetProblem{
            QStringLiteral("Excel"),
            QStringLiteral("Программа для таблиц не найдена. Файл сохранен: %1").arg(book.path()), true};
    return std::nullopt;
}

void showSpreadsheetProblem(MessageService *messages, const SpreadsheetProblem &problem)
{
    messages->show(problem.caption, problem.text,
                   problem.information ? MessageService::Icon::Information : MessageService::Icon::Error);
}

Workbook::Workbook(const QString &folder, const QString &what)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH-mm"));
    const QString base = QDir(folder).filePath(fileSafeName(what) + QLatin1Char(' ') + stamp);
    QString path = base + QStringLiteral(".xlsx");
    // The name is taken at once (a file nobody else may then create): a second export in the same
    // minute, here or by another copy of the program, gets the next one, and an unwritable folder
    // fails here rather than at the end.
    bool reserved = false;
    if (QDir().mkpath(folder)) {
        for (int n = 2; !reserved && n < 1000; ++n) {
            QFile placeholder(path);
            reserved = placeholder.open(QIODevice::WriteOnly | QIODevice::NewOnly);
            if (!reserved) {
                if (!placeholder.exists())
                    break; // not a name taken: the folder refuses
                path = base + QStringLiteral(" (%1).xlsx").arg(n);
            }
        }
    }
    if (reserved) {
        m_path = path;
        lxw_workbook_options options{};
        options.constant_memory = LXW_FALSE;
        m_workbook = workbook_new_opt(path.toUtf8().constData(), &options);
    }
    if (!m_workbook || !(m_sheet = workbook_add_worksheet(m_workbook, nullptr))) {
        close();
        if (reserved)
            QFile::remove(path);
        m_path.clear();
        m_problem = SpreadsheetProblem{QStringLiteral("Ошибка"),
                                       QStringLiteral("Ошибка открытия файла Microsoft Excel.")};
        return;
    }
    m_locale = QLocale();
    m_text = workbook_add_format(m_workbook);
    format_set_num_format(m_text, "@");
    m_bold = workbook_add_format(m_workbook);
    format_set_bold(m_bold);
    m_boldText = workbook_add_format(m_workbook);
    format_set_num_format(m_boldText, "@");
    format_set_bold(m_boldText);
}

Workbook::Workbook(Workbook &&o) noexcept
    : m_path(std::move(o.m_path)), m_finished(o.m_finished), m_problem(std::move(o.m_problem)),
      m_workbook(std::exchange(o.m_workbook, nullptr)), m_sheet(std::exchange(o.m_sheet, nullptr)),
      m_text(o.m_text), m_bold(o.m_bold), m_boldText(o.m_boldText), m_locale(o.m_locale),
      m_fitWidths(std::move(o.m_fitWidths))
{
    o.m_path.clear();
}

Workbook::~Workbook()
{
    if (m_finished || m_path.isEmpty())
        return;
    // Never finished: what was written goes.
    close();
    QFile::remove(m_path);
}

void Workbook::close()
{
    if (m_workbook)
        workbook_close(m_workbook);
    m_workbook = nullptr;
    m_sheet = nullptr;
}

double Workbook::readNumber(const QString &text, bool *ok) const
{
    // The common case, plain digits with a sign and the locale's separator, read without the
    // locale's general parser; anything else (grouping, exponents) goes to it.
    const QChar point = m_locale.decimalPoint().at(0);
    char buffer[64];
    qsizetype n = 0;
    bool seenPoint = false, plain = text.size() < qsizetype(sizeof buffer);
    for (qsizetype i = 0; plain && i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            buffer[n++] = char(c.unicode());
        else if (c == point && !seenPoint)
            buffer[n++] = '.', seenPoint = true;
        else if (i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+')))
            buffer[n++] = char(c.unicode());
        else
            plain = false;
    }
    if (!plain)
        return m_locale.toDouble(text, ok);
    const char *begin = buffer + (n > 0 && buffer[0] == '+' ? 1 : 0); // from_chars takes no plus
    double v = 0;
    const auto [end, error] = std::from_chars(begin, buffer + n, v); // the same in every C locale
    *ok = error == std::errc() && end == buffer + n && std::isfinite(v);
    return *ok ? v : 0;
}

bool Workbook::write(int column, int row, const QString &text, CellOptions options)
{
    if (text.isEmpty())
        return true;
    auto failed = [&](const QString &caption) {
        if (!m_problem)
            m_problem = SpreadsheetProblem{
                caption,
                QStringLiteral("Ошибка при записи: лист 1, столбец %1, строка %2").arg(column).arg(row)};
        return false;
    };
    if (!m_sheet)
        return failed(QStringLiteral("Ошибочный номер листа Microsoft Excel"));
    const bool asText = options.testFlag(CellOption::Text), bold = options.testFlag(CellOption::Bold);
    lxw_format *format = asText ? (bold ? m_boldText : m_text) : (bold ? m_bold : nullptr);
    // Only what can start a number is read as one (a mark or a name is not parsed at all).
    bool isNumber = false;
    double number = 0;
    const QChar first = text.at(0);
    if (!asText && (first.isDigit() || first == QLatin1Char('-') || first == QLatin1Char('+') ||
                    first == m_locale.decimalPoint().at(0)))
        number = readNumber(text, &isNumber);
    lxw_error result;
    if (row < 1 || column < 1 || row > LXW_ROW_MAX || column > LXW_COL_MAX)
        result = LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE;
    else if (isNumber && std::isfinite(number))
        result = worksheet_write_number(m_sheet, lxw_row_t(row - 1), lxw_col_t(column - 1), number, format);
    else
        result = worksheet_write_string(m_sheet, lxw_row_t(row - 1), lxw_col_t(column - 1),
                                        text.toUtf8().constData(), format);
    if (result != LXW_NO_ERROR)
        return failed(QStringLiteral("Ошибка Microsoft Excel"));
    if (options.testFlag(CellOption::FitColumn)) {
        int &width = m_fitWidths[column - 1];
        width = std::max(width, int(text.size()));
    }
    return true;
}

bool Workbook::finish()
{
    if (!m_workbook)
        return m_finished;
    // No autofit in the file format's writer: the width of the widest text, as a spreadsheet
    // program's autofit would give it.
    for (auto it = m_fitWidths.cbegin(); it != m_fitWidths.cend(); ++it)
        worksheet_set_column(m_sheet, lxw_col_t(it.key()), lxw_col_t(it.key()), it.value() * 1.1 + 2,
                             nullptr);
    const lxw_error result = workbook_close(m_workbook);
    m_workbook = nullptr;
    m_sheet = nullptr;
    if (result != LXW_NO_ERROR) {
        m_problem =
            SpreadsheetProblem{QStringLiteral("Ошибка"), QStringLiteral("Файл %1 не записан.").arg(m_path)};
        QFile::remove(m_path);
        m_path.clear();
        return false;
    }
    m_finished = true;
    return true;
}

} // namespace tabel
