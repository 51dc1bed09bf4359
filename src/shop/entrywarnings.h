#pragma once

#include "shop/entrystore.h"

#include <QList>
#include <QMap>
#include <QString>

namespace tabel {

class Connection;
class PreparedStatement;

// What makes an entry look implausible before it is saved. These only warn: the user may save all
// the same. The settings file may change each limit ([warnings] in tabel.conf).
struct WarningLimits
{
    int entryHours = 12;      // entry_hours: hours of one entry above this
    int dayHours = 16;        // day_hours: a worker's hours of a day over all shifts above this
    double piecesFactor = 3;  // pieces_factor: pieces above this many times the largest recent quantity
    int piecesDays = 90;      // pieces_days: how many days before the entry's date count as recent
    int piecesMinEntries = 5; // pieces_min_entries: fewer recent entries than this say nothing
    int pastDays = 45;        // past_days: a date more than this many days before today

    // The defaults, with each key the settings give (lower-cased, as settingsValues() answers) that
    // holds a sensible number.
    static WarningLimits fromSettings(const QMap<QString, QString> &settings);
};

// The entry editor's fields a warning concerns, in the order the focus visits them.
enum class EntryField { Worker, Operation, Quantity, Hours, Date, Rejects };

struct EntryWarning
{
    EntryField field;
    QString text;
};

// The shop's own figures a warning compares the entry with, all read in one statement: the
// worker's other hours of the day, the largest recent quantities of the operation (the worker's and
// the shop's, with how many entries they come from) and the other shifts that already hold the same
// worker, operation and day. The entry being edited counts in none of them.
struct EntryContext
{
    qint64 otherDayHours = 0;
    qint64 workerEntries = 0, workerMax = 0;
    qint64 shopEntries = 0, shopMax = 0;
    QList<int> otherShifts;
};
// The statement is kept prepared: its plan costs more than its run.
EntryContext readEntryContext(PreparedStatement &statement, Connection *connection, const EntryDraft &draft,
                              const WarningLimits &limits);

// Every reason the entry looks wrong, in the order the rules go; empty when nothing does.
QList<EntryWarning> entryWarnings(const EntryDraft &draft, const EntryNumbers &numbers,
                                  const EntryContext &context, const WarningLimits &limits);

// The question asked before saving anyway, and the line the history keeps when the user does.
QString warningQuestion(const QList<EntryWarning> &warnings);
QString warningNote(const QList<EntryWarning> &warnings);

} // namespace tabel
