#pragma once

#include "data/locks.h"

#include <QString>

#include <optional>
#include <vector>

namespace tabel::legacy {

// How a legacy value is written into its target column. An empty value is written as 0 (numbers),
// as an empty text (texts), or left empty (the entry's hours, date and entry time).
enum class Copy {
    Integer,         // 32-bit integer; empty → 0
    Floating,        // double; empty → 0
    Text,            // empty → ''
    NullableInteger, // empty → null
    Date,            // the date of a date-and-time; empty → null
    Timestamp,       // date and time to the second; empty → null
};

struct Field
{
    QString name; // as the target names it; the source's is matched without regard to letter case
    Copy copy;
};

// Where the legacy table is read: the legacy data source, or the program's own connection.
enum class Origin { Legacy, Shared };

// Replace: the target's rows with a positive id are deleted and the source's written. AddAbsent:
// only the source rows whose id the target lacks are written, nothing is deleted (the enterprise's
// goods, which the shop does not own).
enum class Write { Replace, AddAbsent };

struct Table
{
    QString source;   // legacy table name, also the status line's
    QString target;   // schema-qualified
    QString keyTable; // the table whose id sequence follows the copied ids
    std::vector<Field> fields;
    bool sortedById;
    Origin origin;
    Write write;
    std::optional<locks::BookId> book; // the reference book whose writers wait for the import
};

// The seven tables, in the order they are imported.
const std::vector<Table> &tables();

} // namespace tabel::legacy
