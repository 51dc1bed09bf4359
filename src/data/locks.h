#pragma once

#include <QList>

namespace tabel::locks {

// The first integer of every advisory lock key the program takes, in the order they are taken.
enum Space {
    TimesheetMonth = 1, // {1, year * 100 + month}: shared by saves and deletions, exclusive by the rebuild
    // {2, worker id, shift, year * 100 + month}, folded: one worker's shift of a month, in the order
    // of the folded keys
    WorkerShift = 2,
    Book = 3, // {3, book}: a reference book's duplicate check and write, or a deletion's check
    // 4 is taken by the schema's worker-to-person trigger.
    // {5, random}: the import target session, briefly, so the program's connection can find it.
    ImportProbe = 5,
    // {6, 0}: held by the session preparing the database, across its changes.
    SchemaPrepare = 6,
};

enum BookId { Products = 1, OperationKinds = 2, Operations = 3, Norms = 4 };

inline QList<int> book(BookId id)
{
    return {Book, id};
}

} // namespace tabel::locks
