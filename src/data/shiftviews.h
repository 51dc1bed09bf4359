#pragma once

#include <QDate>
#include <QString>

namespace tabel {

class DataModule;
class Dataset;

// The register's four shift views of one date (shifts 1, 2, 3 and overtime, the shared queries
// Smena1..Smena4) and which of them is current (ShiftView, whose dataset is CurrentQuery).
class ShiftViews
{
public:
    explicit ShiftViews(DataModule *data);

    int view() const { return m_view; }
    void setView(int view);   // any value outside 1..4 counts as 1
    Dataset *current() const; // CurrentQuery
    Dataset *dataset(int view) const;

    // The acceptance mark that is never listed (the queries' parameter "ok").
    void setAcceptanceFilter(const QString &mark);
    QString acceptanceFilter() const;

    // Closes the four queries, then opens each in turn for the date.
    void open(const QDate &date);
    // Closes and reopens the four with their parameters unchanged.
    void refresh();
    QDate date() const;

private:
    DataModule *m_data;
    int m_view = 1;
};

} // namespace tabel
