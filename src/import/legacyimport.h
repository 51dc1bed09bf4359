#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace tabel {

class Connection;

struct ImportSettings
{
    QString legacySource = QStringLiteral("Tabel"); // ODBC data source (extra keywords may follow: "Tabel;Database=…")
    QString legacyPassword = QStringLiteral("qolatmuvs");
    QString target = QStringLiteral("Tabel_PgSQL;UID=sys");
    // The entries are read through the program's own connection; an administrator whose legacy
    // source holds them too may read them from there.
    bool entriesFromLegacy = false;
    int blockRows = 2000; // rows read, and written by one statement, at a time
    int lockWaitMs = 30000; // how long a table is waited for while another client writes to it
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
    void run(const Progress &progress);

    // "H_TABEL: 5 из 120 записей"
    static QString statusText(const QString &table, qint64 done, qint64 total);

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace tabel
