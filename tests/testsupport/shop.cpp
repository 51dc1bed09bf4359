#include "testsupport/shop.h"

#include "data/sqlexec.h"
#include "data/transaction.h"
#include "testsupport/testdatabase.h"

#include <QSqlQuery>

namespace tabel::test {

namespace {
int insertReturningId(TestDatabase &db, const QString &sql, const QVariantList &values)
{
    QSqlQuery q = execBound(&db.connection(), sql, values);
    q.next();
    return q.value(0).toInt();
}
} // namespace

int Shop::worker(const QString &fio, const QString &position)
{
    return insertReturningId(
        m_db,
        QStringLiteral("insert into accounts_dep.person (fio, s_staffpos_hl) values (?, ?) "
                       "returning id"),
        {fio, position});
}

int Shop::product(const QString &mark, double massa, const QString &name)
{
    return insertReturningId(
        m_db,
        QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv (s_caption, s_description, "
                       "id_msm_bs, massa, nom) values (?, '', 6, ?, ?) returning id"),
        {mark, massa, name});
}

int Shop::kind(const QString &name)
{
    return insertReturningId(
        m_db, QStringLiteral("insert into accounts_dep.vid_oper (vid) values (?) returning id"), {name});
}

int Shop::operation(int product, int kind, int naimen, const QList<double> &prices)
{
    // With its norms in one transaction, as an editor saves it: the database adds no first norm then.
    Transaction transaction(m_db.connection());
    const int id = insertReturningId(
        m_db,
        QStringLiteral(
            "insert into accounts_dep.oper (vid, naimen, i_id, cena_new) values (?, ?, ?, 0) returning id"),
        {kind, naimen, product});
    for (int i = 0; i < prices.size(); ++i)
        execBound(
            &m_db.connection(),
            QStringLiteral("insert into accounts_dep.norm (o_id, norma, price, prize) values (?, ?, ?, 0)"),
            {id, 100 * (i + 1), prices.at(i)});
    transaction.commit();
    return id;
}

int Shop::entry(const Entry &e)
{
    return insertReturningId(
        m_db,
        QStringLiteral(
            "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, kol_vo, brak, cena, color, "
            "time, ok, vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) "
            "select ?, ?, ?, oper.i_id, oper.id, ?, ?, ?, ?, ?, ?, ?, 0, 0, 0, 0, 0, 0 "
            "from accounts_dep.oper where oper.id = ? returning id"),
        {e.date, e.shift, e.worker, e.quantity, e.rejects, e.price, e.color, e.hours,
         e.ok.isNull() ? QVariant() : QVariant(e.ok), e.date.startOfDay(), e.operation});
}

std::pair<int, int> reportShop(TestDatabase &db)
{
    Shop shop(db);
    const int ivanov = shop.worker(QStringLiteral("Иванов И.И."));
    const int petrov = shop.worker(QStringLiteral("Петров П.П."));
    const int profile = shop.product(QStringLiteral("ПН-27"), 0.5, QStringLiteral("Профиль ПН-27"));
    const int bracket = shop.product(QStringLiteral("КР-40"), 2, QStringLiteral("Кронштейн"));
    const int cut = shop.operation(profile, shop.kind(QStringLiteral("Резка")), 0, {1.5});
    const int paint = shop.operation(bracket, shop.kind(QStringLiteral("Покраска")), 1, {2.125});
    const QDate march(2024, 3, 1);
    shop.entry({march, 1, ivanov, cut, 10, 0, 1.5, 8});
    shop.entry({march.addDays(4), 2, ivanov, paint, 4, 1, 2.125, 8, QStringLiteral("no"), 1});
    shop.entry({march.addDays(30), 1, ivanov, paint, 2, 0, 2.125, 8, QStringLiteral("no"), 1013});
    shop.entry({march.addDays(9), 4, petrov, cut, 5, 0, 1.5, 8});
    shop.entry({QDate(2024, 4, 1), 1, ivanov, cut, 100, 0, 1.5, 8});  // "по" is excluded
    shop.entry({QDate(2024, 2, 29), 1, ivanov, cut, 100, 0, 1.5, 8}); // before "с"
    return {ivanov, petrov};
}

std::tuple<int, int, int, int> cuttingShop(TestDatabase &db)
{
    Shop shop(db);
    const int ivanov = shop.worker(QStringLiteral("Иванов И.И."));
    const int petrov = shop.worker(QStringLiteral("Петров П.П."));
    const int product = shop.product(QStringLiteral("ПН-27"));
    return {ivanov, petrov, product, shop.operation(product, shop.kind(QStringLiteral("Резка")), 0, {10})};
}

EntryDraft cuttingDraft(int worker, int product, int operation, int hours, const QDate &date,
                        const QDate &today)
{
    EntryDraft d;
    d.worker = QStringLiteral("Иванов И.И.");
    d.operation = QStringLiteral("ПН-27; Резка; Готовая продукция");
    d.workerId = worker;
    d.productId = product;
    d.operationId = operation;
    d.quantity = QStringLiteral("10");
    d.rejects = QStringLiteral("0");
    d.hours = QString::number(hours);
    d.price = 12.5;
    d.date = date;
    d.today = today;
    return d;
}

} // namespace tabel::test
