#pragma once

#include <QFlags>
#include <QLocale>
#include <QMap>
#include <QString>

#include <functional>
#include <optional>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace tabel {

class MessageService;

// How a cell is written: as text whatever it looks like (the mark 0012 stays 0012), its column
// widened to the widest text written so, in bold.
enum class CellOption { Text = 0x1, FitColumn = 0x2, Bold = 0x4 };
Q_DECLARE_FLAGS(CellOptions, CellOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(CellOptions)

// What the user is told about an export: a failure, or where a file went that nothing could open.
struct SpreadsheetProblem
{
    QString caption;
    QString text;
    bool information = false; // not a failure: the file is there
};

// One .xlsx file being written. Unless finish() is called and succeeds, its file is removed when the
// object goes: an export that stops half-way (a failure, an exception) leaves nothing behind. It
// shows nothing itself; what went wrong is kept for the window to show.
class Workbook
{
public:
    Workbook(Workbook &&other) noexcept;
    Workbook &operator=(Workbook &&) = delete;
    Workbook(const Workbook &) = delete;
    ~Workbook();

    bool isOpen() const { return m_workbook != nullptr; }
    // Writes a text into a cell of the one sheet (column and row from 1). Without CellOption::Text a
    // text that reads as a number in the locale's form becomes a number cell; nothing else is
    // converted. Empty text: nothing is written. False when the cell could not be written: the first
    // such problem is kept, and the export may go on.
    bool write(int column, int row, const QString &text, CellOptions options = {});
    // Writes the file to its end; false with the problem kept when it could not be.
    bool finish();
    bool finished() const { return m_finished; }
    const std::optional<SpreadsheetProblem> &problem() const { return m_problem; }
    QString path() const { return m_path; }

private:
    friend class Spreadsheet;
    Workbook(const QString &folder, const QString &what);
    double readNumber(const QString &text, bool *ok) const;
    void close();

    QString m_path;
    bool m_finished = false;
    std::optional<SpreadsheetProblem> m_problem;
    lxw_workbook *m_workbook = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    lxw_format *m_text = nullptr;
    lxw_format *m_bold = nullptr;
    lxw_format *m_boldText = nullptr;
    QLocale m_locale;           // the numbers' form, as the export began
    QMap<int, int> m_fitWidths; // column (from 0) -> widest text written with FitColumn, in characters
};

// Where a window's exports go, the user's documents folder, and how a finished one is opened: the
// desktop's program for spreadsheets (or, when there is none, the user is told where the file is).
class Spreadsheet
{
public:
    Spreadsheet();

    // A new workbook named after what it holds and when ("Операции 2026-12-10 14-05.xlsx"), never
    // over an earlier one; when it cannot be made, not open, with "Ошибка открытия файла Microsoft
    // Excel." as its problem.
    Workbook create(const QString &what) const;
    // Finishes the workbook and opens its file. Answers what the user must be told, if anything: the
    // file not written, a cell that could not be written, or the file's place when nothing opened it.
    std::optional<SpreadsheetProblem> deliver(Workbook &book) const;

    // Where the files go; tests and the benchmark point it elsewhere.
    void setFolder(const QString &folder) { m_folder = folder; }
    QString folder() const { return m_folder; }
    // How a finished file is opened; by default the desktop's program for .xlsx when one is registered.
    // Answers false when nothing could open it.
    void setOpener(std::function<bool(const QString &)> opener) { m_opener = std::move(opener); }
    static bool openWithDesktop(const QString &path);

private:
    QString m_folder;
    std::function<bool(const QString &)> m_opener;
};

// A file name made of what the user sees: only characters no file system takes are replaced.
QString fileSafeName(QString name);

// The box a window shows for a spreadsheet's problem.
void showSpreadsheetProblem(MessageService *messages, const SpreadsheetProblem &problem);

} // namespace tabel
