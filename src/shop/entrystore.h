#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace tabel {

class DataModule;

// Where an entry's hours are posted: a worker's day in one shift (4 is overtime).
struct EntryKey
{
    int worker = 0;
    QDate date;
    int shift = 0;
    bool operator==(const EntryKey &) const = default;
};

// What the entry editor holds at saving: its texts as typed and the values the pickers gave.
struct EntryDraft
{
    QString worker;    // "ФИО"
    QString operation; // "Операция": also decides whether a colour is asked for
    QString quantity, rejects, hours, colour;
    int workerId = 0, productId = 0, operationId = 0;
    double price = 0; // the entry price, before rounding
    QDate date;
    int shift = 1;
    QDate today; // the saving day, written to vvod
    // An edit: the entry's id, taken when the editor opened. The day it leaves is where the
    // database holds it at saving.
    std::optional<int> entryId;
    // Kept with the entry's line in the history of changes: the warnings the user saved past.
    QString note;
};

// The number boxes of an entry, checked into the columns' ranges.
struct EntryNumbers
{
    qint64 quantity = 0, rejects = 0, hours = 0;
    int colour = 0; // 0: none asked for
};

// Saving, deleting and accepting production entries, with the day's hours posted to the time sheet.
// Each action is one transaction under the time sheet month's lock (shared) and the worker's lock, so
// that the time sheet cell of a worker's day always holds the sum of that day's hours, whatever
// several clients do at once. No window: the entry editor, the register and the tests use it alike.
class EntryStore
{
public:
    explicit EntryStore(DataModule *data) : m_data(data) {}

    // Empty when the entry has been written and posted; otherwise the refusal's message (caption
    // "Ошибка"), and nothing has been written. A database failure throws DataError, also with
    // nothing written.
    QString save(const EntryDraft &draft);

    // Deletes the entry and posts again the day it was posted to (its own worker, date and shift, as
    // the database holds them); that day's cell keeps the hours of the entries that remain. False
    // when another client deleted it first.
    bool remove(int entryId);

    // The mark a double click writes: "no" for an accepted entry ("ok" or "да"), "ok" for any other.
    static QString toggledMark(const QString &mark);
    void setMark(int entryId, const QString &mark);

    // The draft's number boxes as numbers; nothing, with the message, when a box holds anything but
    // digits or more than its column takes.
    static std::optional<EntryNumbers> numbers(const EntryDraft &draft, QString *message);
    // The checks of a save that need no database: every field filled and every number in range. The
    // numbers, or nothing with the refusal's message.
    static std::optional<EntryNumbers> checked(const EntryDraft &draft, QString *refusal);

    // The statements in the shapes the old program sent them; values are numbers, dates and constants.
    static QString duplicateStatement(const EntryDraft &draft, const EntryNumbers &values);
    static QString insertStatement(const EntryDraft &draft, const EntryNumbers &values);
    static QString updateStatement(const EntryDraft &draft, const EntryNumbers &values);
    // Posting a day's hours: whether the month's row is there, the day's total, and the cell written.
    static QString postingRowsStatement(const EntryKey &key);
    static QString dayTotalStatement(const EntryKey &key);
    static QString postingUpdateStatement(const EntryKey &key, qint64 total);
    static QString postingInsertStatement(const EntryKey &key, qint64 total);

private:
    // Sets the day's cell to the day's total hours and answers that total; a new total above 24
    // (createRow) is answered without writing it.
    qint64 post(const EntryKey &key, bool createRow);
    DataModule *m_data;
};

// DD.MM.YYYY whatever the locale.
QString statementDate(const QDate &date);

} // namespace tabel
