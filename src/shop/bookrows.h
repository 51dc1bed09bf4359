#pragma once

#include <QString>
#include <QVariant>

namespace tabel {

class Dataset;

// The rows of the reference books as their editors hand them to the store. An id of 0 is a row to add.

struct WorkerRow
{
    int id = 0;
    QString name;     // fio
    QString position; // s_staffpos_hl: the department's text
};

struct ProductRow
{
    qint64 id = 0;
    QString mark;      // marka
    double number = 0; // massa: pieces to a box
};

struct OperationKindRow
{
    int id = 0;
    QString name; // vid
};

// One row of Oper: an operation with its product, kind and lowest norm price, as the operation list
// shows it and hands it back to whoever picked it.
struct OperationRow
{
    int id = 0;
    qint64 productId = 0; // i_id
    int kindId = 0;       // oper_vid
    QString mark;         // MARKA
    QString kind;         // VID
    int naimen = 0;       // 0 finished products, otherwise blanks
    qint64 norms = 0;     // norma: the number of norm rows
    double price = 0;     // cena: the lowest norm price
    static OperationRow current(const Dataset *oper);
};

// One norm of an operation. A null value is a cell left empty.
struct NormRow
{
    enum Column { Norma = 0, Price = 1, Prize = 2 };
    int id = 0;
    int operation = 0; // o_id
    QVariant norma, price, prize;
    QVariant value(Column column) const { return column == Norma ? norma : column == Price ? price : prize; }
};

} // namespace tabel
