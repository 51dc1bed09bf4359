#pragma once

#include <QList>

namespace tabel {

class Connection;

// One transaction on a connection: begun by the constructor, committed only by commit(), rolled back
// by the destructor otherwise (a failure, an early return). Works the same over ODBC and libpq.
class Transaction
{
public:
    explicit Transaction(Connection &connection); // throws DataError
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit(); // throws DataError; the transaction is then rolled back
    bool isActive() const { return m_active; }

    enum class Mode { Exclusive, Shared };
    // A transaction-scoped advisory lock on a key of several integers, held until the transaction
    // ends. Clients that lock the same key wait for each other; take keys always in the same order.
    void lock(const QList<int> &key, Mode mode = Mode::Exclusive);
    // Several keys in one statement, taken in the order given.
    struct LockRequest
    {
        QList<int> key;
        Mode mode = Mode::Exclusive;
    };
    void lock(const QList<LockRequest> &keys);

private:
    Connection &m_connection;
    bool m_active = false;
};

// The advisory lock of a key: its first integer names what is locked, the others are folded into the
// second half of the lock's two-integer key (exact for a key of one or two integers).
struct AdvisoryKey
{
    int space;
    int value;
};
AdvisoryKey advisoryKey(const QList<int> &key);

} // namespace tabel
