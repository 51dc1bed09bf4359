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
#include <cmath>
#include <charconv>

namespace tabel {

namespace {
const QString kSpreadsheetType = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");

// A file name is made of what the user sees; only characters no file system takes are replaced.
QString fileSafe(QString name)
{
    for (QChar &c : name)
        if (QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    return name;
}
} // namespace

Spreadsheet::Spreadsheet(MessageService *messages)
    : m_messages(messages),
      m_folder(QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(QStringLiteral("Табель"))),
      m_opener(&Spreadsheet::openWithDesktop)
{
}

Spreadsheet::~Spreadsheet()
{
    finish();
}

bool Spreadsheet::openWithDesktop(const QString &path)
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), kSpreadsheetType});
    if (!query.waitForFinished(5000) || query.readAllStandardOutput().trimmed().isEmpty())
        return false; // no program for .xlsx: xdg-open would "succeed" and show nothing
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

int Spreadsheet::openWorkbook(const QString &what)
{
    finish();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH-mm"));
    const QString base = QDir(m_folder).filePath(fileSafe(what) + QLatin1Char(' ') + stamp);
    QString path = base + QStringLiteral(".xlsx");
    // The name is taken at once (a file nobody else may then create): a second export in the same
    // minute, here or by another copy of the program, gets the next one, and an unwritable folder
    // fails here rather than at the end.
    bool reserved = false;
    if (QDir().mkpath(m_folder)) {
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
        lxw_workbook_options options{};
        options.constant_memory = LXW_FALSE;
        m_workbook = workbook_new_opt(path.toUtf8().constData(), &options);
    }
    if (!m_workbook || !(m_sheet = workbook_add_worksheet(m_workbook, nullptr))) {
        finish();
        if (reserved)
            QFile::remove(path);
        m_messages->error(QStringLiteral("Ошибка"), QStringLiteral("Ошибка открытия файла Microsoft Excel."));
        return -1;
    }
    m_path = path;
    m_locale = QLocale();
    m_text = workbook_add_format(m_workbook);
    format_set_num_format(m_text, "@");
    m_bold = workbook_add_format(m_workbook);
    format_set_bold(m_bold);
    m_boldText = workbook_add_format(m_workbook);
    format_set_num_format(m_boldText, "@");
    format_set_bold(m_boldText);
    m_fitWidths.clear();
    return 1;
}

double Spreadsheet::readNumber(const QString &text, bool *ok) const
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

int Spreadsheet::writeCell(int sheet, int column, int row, const QString &text)
{
    return writeCell(sheet, column, row, text, false, false, false);
}

int Spreadsheet::writeCell(int sheet, int column, int row, const QString &text, bool textFormat, bool fitColumn,
                           bool bold)
{
    if (text.isEmpty())
        return 1;
    auto error = [&] {
        return QStringLiteral("Ошибка при записи: лист %1, столбец %2, строка %3").arg(sheet).arg(column).arg(row);
    };
    if (!m_sheet || sheet != 1) {
        m_messages->error(QStringLiteral("Ошибочный номер листа Microsoft Excel"), error());
        return -1;
    }
    lxw_format *format = textFormat ? (bold ? m_boldText : m_text) : (bold ? m_bold : nullptr);
    // Only what can start a number is read as one (a mark or a name is not parsed at all).
    bool isNumber = false;
    double number = 0;
    const QChar first = text.at(0);
    if (!textFormat && (first.isDigit() || first == QLatin1Char('-') || first == QLatin1Char('+') ||
                        first == m_locale.decimalPoint().at(0)))
        number = readNumber(text, &isNumber);
    lxw_error result;
    if (row < 1 || column < 1 || row > LXW_ROW_MAX || column > LXW_COL_MAX)
        result = LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE;
    else if (isNumber && std::isfinite(number))
        result = worksheet_write_number(m_sheet, lxw_row_t(row - 1), lxw_col_t(column - 1), number, format);
    else
        result = worksheet_write_string(m_sheet, lxw_row_t(row - 1), lxw_col_t(column - 1), text.toUtf8().constData(),
                                        format);
    if (result != LXW_NO_ERROR) {
        m_messages->error(QStringLiteral("Ошибка Microsoft Excel"), error());
        return -1;
    }
    if (fitColumn) {
        int &width = m_fitWidths[column - 1];
        width = std::max(width, int(text.size()));
    }
    return 1;
}

int Spreadsheet::setVisible(bool visible)
{
    if (!visible || !m_workbook)
        return 1;
    const QString path = m_path;
    if (!finish()) {
        m_messages->error(QStringLiteral("Ошибка"), QStringLiteral("Файл %1 не записан.").arg(path));
        return 1;
    }
    if (!m_opener || !m_opener(path))
        m_messages->show(QStringLiteral("Excel"),
                         QStringLiteral("Программа для таблиц не найдена. Файл сохранен: %1").arg(path),
                         MessageService::Icon::Information);
    return 1;
}

void Spreadsheet::discard()
{
    if (!m_workbook)
        return;
    finish();
    QFile::remove(m_path);
}

bool Spreadsheet::finish()
{
    if (!m_workbook)
        return true;
    // No autofit in the file format's writer: the width of the widest text, as a spreadsheet
    // program's autofit would give it.
    for (auto it = m_fitWidths.cbegin(); it != m_fitWidths.cend(); ++it)
        worksheet_set_column(m_sheet, lxw_col_t(it.key()), lxw_col_t(it.key()), it.value() * 1.1 + 2, nullptr);
    const lxw_error result = workbook_close(m_workbook);
    m_workbook = nullptr;
    m_sheet = nullptr;
    return result == LXW_NO_ERROR;
}

} // namespace tabel
