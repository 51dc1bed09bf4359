#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace tabel {

class Connection;

// One line of the history of changes as the windows, the export and the print show it: names
// instead of ids, values as the grids show them.
struct HistoryLine
{
    qint64 id = 0;
    QString at;          // "15.03.2023 14:05:31", server time in the session's time zone
    QString who;         // "Ввод (цех-1, master)"; outside the program what the server knew
    QString what;        // "Позиция № 12", "Норма № 5 операции № 3", "Табель"
    QString action;      // "добавлена", "изменена", "удалена", …
    QStringList changes; // "Кол-во: 10 → 12", "Часы: 8 → 6"; a new or deleted row: each of its fields
    QString note;        // the warnings saved past, a bulk change's month or row count
};

// Which lines a period shows.
enum class HistoryKind { All, Entries, Norms, Bulk };

struct HistoryFilter
{
    QDate from, to; // both days included
    QString who;    // as the lines name it ("Ввод (цех-1, master)"); empty: everybody
    HistoryKind kind = HistoryKind::All;
};

// Reads the database's history of changes (accounts_dep.tabel_history) for the windows. Read-only.
class ChangeHistory
{
public:
    explicit ChangeHistory(Connection *connection) : m_connection(connection) {}

    // Whether the database keeps a history at all (its change applied).
    static bool isKept(Connection *connection);

    // An entry's changes, newest first.
    QList<HistoryLine> forEntry(int entryId) const;
    // An operation's price and its norms (deleted ones too), newest first.
    QList<HistoryLine> forOperation(int operationId) const;
    // The changes of a period, newest first, at most limit of them (more is no list to read: the
    // caller says so); progress gets lines done and the total.
    static constexpr int kPeriodLimit = 100000;
    QList<HistoryLine> forPeriod(const HistoryFilter &filter, int limit = kPeriodLimit,
                                 const std::function<void(qint64, qint64)> &progress = {}) const;
    // Who changed anything in the period (the role and where), as the lines name them, for the filter.
    QStringList people(const QDate &from, const QDate &to) const;

    // "ПН-27; Резка; Готовая продукция"; empty for an operation that is no more.
    QString operationName(int operationId) const;
    static QString kindText(HistoryKind kind);

private:
    QList<HistoryLine> read(const QString &where, const QVariantList &values, int limit = 0,
                            const std::function<void(qint64, qint64)> &progress = {}) const;
    Connection *m_connection;
};

} // namespace tabel
