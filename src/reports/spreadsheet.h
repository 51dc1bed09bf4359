#pragma once

#include <QLocale>
#include <QMap>
#include <QString>

#include <functional>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace tabel {

class MessageService;

// The spreadsheet output every export goes through: a new .xlsx file in the user's documents
// folder, filled cell by cell, and at the end handed to the desktop's program for spreadsheets (or,
// when there is none, the user is told where the file is).
class Spreadsheet
{
public:
    explicit Spreadsheet(MessageService *messages);
    ~Spreadsheet();
    Spreadsheet(const Spreadsheet &) = delete;
    Spreadsheet &operator=(const Spreadsheet &) = delete;

    // Starts a new workbook named after what it holds and when ("Операции 2026-12-10 14-05.xlsx"),
    // never over an earlier one. 1, or -1 with "Ошибка открытия файла Microsoft Excel." shown.
    int openWorkbook(const QString &what);
    // Writes a text into a cell (sheet, column and row from 1). A text that reads as a number in the
    // locale's form becomes a number cell; nothing else is converted. Empty text: nothing is written.
    // 1, or -1 with the cell's error text shown.
    int writeCell(int sheet, int column, int row, const QString &text);
    int writeCell(int sheet, int column, int row, const QString &text, bool textFormat, bool fitColumn,
                  bool bold);
    // A name, a mark or a kind: a text cell whatever it looks like (the mark 0012 stays 0012).
    int writeText(int sheet, int column, int row, const QString &text)
    {
        return writeCell(sheet, column, row, text, true, false, false);
    }
    // true finishes the file and opens it; 1.
    int setVisible(bool visible);
    // An export that failed half-way: its file is removed.
    void discard();

    QString filePath() const { return m_path; }
    // Where the files go; tests and the benchmark point it elsewhere.
    void setFolder(const QString &folder) { m_folder = folder; }
    // How a finished file is opened; by default the desktop's program for .xlsx when one is registered.
    // Answers false when nothing could open it.
    void setOpener(std::function<bool(const QString &)> opener) { m_opener = std::move(opener); }
    static bool openWithDesktop(const QString &path);

private:
    bool finish(); // false when the file could not be written
    double readNumber(const QString &text, bool *ok) const;

    MessageService *m_messages;
    QString m_folder;
    QString m_path;
    std::function<bool(const QString &)> m_opener;
    lxw_workbook *m_workbook = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    lxw_format *m_text = nullptr;
    lxw_format *m_bold = nullptr;
    lxw_format *m_boldText = nullptr;
    QLocale m_locale;           // the numbers' form, as the export began
    QMap<int, int> m_fitWidths; // column (from 0) -> widest text written with "fit column", in characters
};

} // namespace tabel
