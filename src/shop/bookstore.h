#pragma once

#include "shop/bookrows.h"

#include <QString>

#include <vector>

namespace tabel {

class DataModule;

// What a write to a book answers: the row's id, or why nothing was written (the message a window
// shows under "Ошибка").
struct BookResult
{
    qint64 id = 0;
    QString refusal;
    bool refused() const { return !refusal.isEmpty(); }
    static BookResult refuse(const QString &message) { return {0, message}; }
};

// The reference books' writes: every statement, lock, check and transaction of the workers, products,
// operation kinds, operations and norms, with no window. A refusal rolls everything back and is
// answered; a database failure throws DataError, also with nothing written.
//
// Each check-then-write runs in one transaction under the book's advisory lock, taken before any
// answer is given, so that two clients cannot both add the same row and nobody waits on an open box.
// A row still used elsewhere is not deleted.
class BookStore
{
public:
    explicit BookStore(DataModule *data) : m_data(data) {}

    BookResult saveWorker(const WorkerRow &row); // row.id 0: a new worker
    // The enterprise person stays, so that the history still prints under the name.
    void deleteWorker(int id);

    BookResult saveProduct(const ProductRow &row);
    BookResult deleteProduct(qint64 id); // refused while operations or entries name it

    BookResult saveKind(const OperationKindRow &row);
    BookResult deleteKind(int id); // refused while operations name it

    // A new operation gets its first norm from the database; its price stays as it was on a change.
    BookResult saveOperation(const OperationRow &row);
    BookResult deleteOperation(int id); // refused while entries name it; its norms go with it

    // The operation's norms, by norm figure.
    std::vector<NormRow> norms(int operation);
    // A new norm of row.operation, refused when the operation is gone.
    BookResult addNorm(const NormRow &row);
    // One cell of a saved norm; refused when another client deleted the norm.
    BookResult changeNorm(int id, NormRow::Column column, const QVariant &value);
    // False for the operation's last norm, which stays, also when two clients delete at once.
    bool deleteNorm(int operation, int id);

    // The statements in the shapes the old program sent them; texts are quoted, numbers written plain.
    static QString workerInsertStatement(const QString &name, const QString &position);
    static QString workerUpdateStatement(int id, const QString &name, const QString &position);
    static QString workerDeleteStatement(int id);
    static QString productDuplicateStatement(const ProductRow &row);
    static QString productInsertStatement(const ProductRow &row);
    static QString productUpdateStatement(const ProductRow &row);
    static QString productDeleteStatement(qint64 id);
    static QString kindDuplicateStatement(const OperationKindRow &row);
    static QString operationDuplicateStatement(const OperationRow &row);
    static QString operationInsertStatement(const OperationRow &row);
    static QString operationUpdateStatement(const OperationRow &row);

private:
    DataModule *m_data;
};

} // namespace tabel
