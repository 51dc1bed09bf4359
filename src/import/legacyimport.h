#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace tabel {

class Connection;

// What an import did, table by table: rows copied, source rows left out because the target keeps a
// row under their id, and for the entries how many have no date (-1 for the other tables).
struct ImportSummary
{
    struct TableResult
    {
        QString table;
        qint64 copied = 0;
        qint64 left = 0;
        qint64 withoutDate = -1;
    };
    std::vector<TableResult> tables;
    // "Импорт завершён." and a line per table, as the end of the import shows them.
    QStringList lines() const;
};

struct ImportSettings
{
    QString legacySource =
        QStringLiteral("Tabel"); // ODBC data source (extra keywords may follow: "Tabel;Database=…")
    QString legacyPassword = QStringLiteral("qolatmuvs");
    QString target = QStringLiteral("Tabel_PgSQL;UID=sys");
    // The entries are read through the program's own connection; an administrator whose legacy
    // source holds them too may read them from there.
    bool entriesFromLegacy = false;
    int blockRows = 2000;   // rows read, and written by one statement, at a time
    int lockWaitMs = 30000; // how long a table is waited for while another client writes to it
    // From this many rows a table replaced whole loads without its secondary indexes, built after.
    qint64 bulkRows = 20000;
    // The target must be the database the program works on (the window's import); the command line
    // names its target itself.
    bool programDatabaseOnly = true;
};

// Copies the seven shop tables from the legacy data source into the shop's schema. Each table is
// one transaction on the target, with the table locked against other writers: a failure leaves that
// table as it was, the tables before it imported, and stops the import.
class LegacyImport
{
public:
    using Progress = std::function<void(const QString &status)>;

    LegacyImport(Connection *shared, ImportSettings settings = {});
    ~LegacyImport();
    LegacyImport(const LegacyImport &) = delete;
    LegacyImport &operator=(const LegacyImport &) = delete;

    // Connects to both data sources, then imports the tables in order, reporting the status line
    // after each block of rows. Throws DataError with the text to show at the first failure.
    ImportSummary run(const Progress &progress);

    // "H_TABEL: 5 из 120 записей"
    static QString statusText(const QString &table, qint64 done, qint64 total);

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace tabel
