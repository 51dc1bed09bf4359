#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <tuple>
#include <utility>

#include "shop/entrystore.h"

namespace tabel::test {

class TestDatabase;

// Builds a small shop in a test database, one row at a time, and answers the keys it got.
class Shop
{
public:
    explicit Shop(TestDatabase &db) : m_db(db) {}

    // A worker of the book (the enterprise person follows).
    int worker(const QString &fio, const QString &position = QString());
    // A product: an enterprise goods row, read back through accounts_dep.izdel.
    int product(const QString &mark, double massa = 0, const QString &name = QString());
    int kind(const QString &name);
    // An operation of a kind on a product (naimen 0 finished products, 1 blanks) with one norm per
    // price, norm figures 100, 200, ... (none given: the first norm the database adds, norm 0 at price 0).
    int operation(int product, int kind, int naimen, const QList<double> &prices);

    struct Entry
    {
        QDate date;
        int shift = 1;
        int worker = 0;
        int operation = 0; // its product is taken from the operation
        int quantity = 10;
        int rejects = 0;
        double price = 1;
        int hours = 8;
        QString ok = QStringLiteral("no");
        int color = 0;
    };
    int entry(const Entry &e);

private:
    TestDatabase &m_db;
};

// The shop the entry tests share: the workers Иванов И.И. and Петров П.П., the product ПН-27 and its
// cutting ("Резка", finished products, one norm at 10). Their ids: ivanov, petrov, product, cutting.
std::tuple<int, int, int, int> cuttingShop(TestDatabase &db);

// The period reports' shop, whose totals are known: Иванов И.И. and Петров П.П.; ПН-27 (0.5 kg, its
// cutting "Резка", finished products at 1.5) and КР-40 (2 kg, its painting "Покраска", blanks at
// 2.125); in March 2024 Иванов cuts 10 on the 1st (shift 1), paints 4 with 1 reject in primer on the
// 5th (shift 2) and 2 in RAL 1013 on the 31st (shift 1), Петров cuts 5 on the 10th (overtime); each
// entry 8 hours; Иванов also cuts 100 on 29.02 and 01.04, outside the month. Answers the workers.
std::pair<int, int> reportShop(TestDatabase &db);

// An entry of an operation on the product ПН-27 ("ПН-27; Резка; Готовая продукция") as the entry
// editor hands it to the store: 10 pieces, no rejects, price 12.5, shift 1.
EntryDraft cuttingDraft(int worker, int product, int operation, int hours, const QDate &date,
                        const QDate &today);

} // namespace tabel::test
