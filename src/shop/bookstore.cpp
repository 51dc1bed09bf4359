#include "shop/bookstore.h"

#include "data/dataerror.h"
#include "data/datamodule.h"
#include "data/inputcheck.h"
#include "data/locks.h"
#include "data/sqlexec.h"
#include "data/sqlparams.h"
#include "data/transaction.h"

#include <QLocale>
#include <QSqlQuery>

namespace tabel {

namespace {
const QString kAllFields = QStringLiteral("Все поля должны быть заполнены!");

QString n(qint64 v)
{
    return QString::number(v);
}

// Every statement of the books goes through here: named values bound, or none where the statement
// keeps the old program's text with its values in it.
QSqlQuery run(DataModule *data, const QString &statement, const QHash<QString, QVariant> &values = {})
{
    return execStatement(&data->connection(), statement, values);
}

int written(DataModule *data, const QString &statement, const QHash<QString, QVariant> &values = {})
{
    return run(data, statement, values).numRowsAffected();
}

qint64 number(DataModule *data, const QString &statement, const QHash<QString, QVariant> &values)
{
    QSqlQuery q = run(data, statement, values);
    return q.next() ? q.value(0).toLongLong() : 0;
}

// A name as a book stores it: present, and free of what a column cannot hold.
QString nameRefusal(const QString &field, const QString &name, int maxLength, const QString &empty)
{
    if (name.isEmpty())
        return empty;
    return textRefusal(field, name, maxLength);
}
} // namespace

OperationRow OperationRow::current(const Dataset *oper)
{
    OperationRow r;
    r.id = int(oper->asInt(QStringLiteral("id")));
    r.productId = oper->asInt(QStringLiteral("i_id"));
    r.kindId = int(oper->asInt(QStringLiteral("oper_vid")));
    r.mark = oper->asString(QStringLiteral("MARKA"));
    r.kind = oper->asString(QStringLiteral("VID"));
    r.naimen = int(oper->asInt(QStringLiteral("NAIMEN")));
    r.norms = oper->asInt(QStringLiteral("norma"));
    r.price = oper->asDouble(QStringLiteral("cena"));
    return r;
}

// Workers

QString BookStore::workerInsertStatement(const QString &name, const QString &position)
{
    return QStringLiteral("INSERT INTO accounts_dep.person (fio, s_staffpos_hl)VALUES(") + quoted(name) +
           QStringLiteral(", ") + quoted(position) + QStringLiteral(")");
}

QString BookStore::workerUpdateStatement(int id, const QString &name, const QString &position)
{
    return QStringLiteral("UPDATE accounts_dep.person SET fio=") + quoted(name) +
           QStringLiteral(", s_staffpos_hl=") + quoted(position) +
           QStringLiteral(" where accounts_dep.person.id=") + n(id);
}

QString BookStore::workerDeleteStatement(int id)
{
    return QStringLiteral("delete from accounts_dep.person where id =") + n(id);
}

BookResult BookStore::saveWorker(const WorkerRow &row)
{
    const QString name = row.name.trimmed();
    if (const QString refusal =
            nameRefusal(QStringLiteral("ФИО"), name, 254, QStringLiteral("ФИО нужно заполнить!"));
        !refusal.isEmpty())
        return BookResult::refuse(refusal);
    Transaction transaction(m_data->connection());
    qint64 id = row.id;
    if (row.id == 0) {
        written(m_data, workerInsertStatement(name, row.position));
        // The statement answers no key: the newest worker of that name is the one just written.
        id = number(m_data, QStringLiteral("select max(id) from accounts_dep.person where fio = :fio"),
                    {{QStringLiteral("fio"), name}});
    } else if (written(m_data, workerUpdateStatement(row.id, name, row.position)) == 0) {
        return BookResult::refuse(QStringLiteral("Работник не найден: его удалил другой пользователь"));
    }
    transaction.commit();
    return {id, {}};
}

void BookStore::deleteWorker(int id)
{
    written(m_data, workerDeleteStatement(id));
}

// Products

QString BookStore::productDuplicateStatement(const ProductRow &row)
{
    QString statement = QStringLiteral("select count(*) as cnt from accounts_dep.izdel where upper(marka)=") +
                        quoted(QLocale().toUpper(row.mark.trimmed()));
    if (row.id != 0)
        statement += QStringLiteral("and id<>") + n(row.id);
    return statement;
}

QString BookStore::productInsertStatement(const ProductRow &row)
{
    return QStringLiteral("INSERT INTO cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, "
                          "massa)VALUES(") +
           quoted(row.mark.trimmed()) + QStringLiteral(", '', 6, ") + sqlNumber(row.number) +
           QStringLiteral("::t_float)");
}

QString BookStore::productUpdateStatement(const ProductRow &row)
{
    return QStringLiteral("UPDATE cmn_gds_and_srv.gds_and_srv SET s_caption=") + quoted(row.mark.trimmed()) +
           QStringLiteral(", massa=") + sqlNumber(row.number) + QStringLiteral("::t_float where id=") +
           n(row.id);
}

QString BookStore::productDeleteStatement(qint64 id)
{
    return QStringLiteral("delete from cmn_gds_and_srv.gds_and_srv  where id=") + n(id);
}

BookResult BookStore::saveProduct(const ProductRow &row)
{
    const QString mark = row.mark.trimmed();
    if (const QString refusal = nameRefusal(QStringLiteral("Марка"), mark, 254, kAllFields);
        !refusal.isEmpty())
        return BookResult::refuse(refusal);
    const QString insert =
        row.id == 0 ? productInsertStatement(row) : QString(); // throws for a non-finite number
    const QString update = row.id == 0 ? QString() : productUpdateStatement(row);
    Transaction transaction(m_data->connection());
    transaction.lock(locks::book(locks::Products));
    if (m_data->duplicateCount(productDuplicateStatement(row)) > 0)
        return BookResult::refuse(QStringLiteral("Такая марка изделия уже заведена!"));
    qint64 id = row.id;
    if (row.id == 0) {
        written(m_data, insert);
        id = number(m_data, QStringLiteral("select max(id) from accounts_dep.izdel where marka = :mark"),
                    {{QStringLiteral("mark"), mark}});
    } else if (written(m_data, update) == 0) {
        return BookResult::refuse(QStringLiteral("Изделие не найдено: его удалил другой пользователь"));
    }
    transaction.commit();
    return {id, {}};
}

BookResult BookStore::deleteProduct(qint64 id)
{
    // Operations and entries name their product; the register, the reports and the time sheet would
    // silently lose what still uses it.
    Transaction transaction(m_data->connection());
    transaction.lock(locks::book(locks::Products));
    QSqlQuery used = run(m_data,
                         QStringLiteral("select (select count(*) from accounts_dep.oper where i_id = :id), "
                                        "(select count(*) from accounts_dep.smena where i_id = :id)"),
                         {{QStringLiteral("id"), id}});
    used.next();
    const qint64 operations = used.value(0).toLongLong(), entries = used.value(1).toLongLong();
    used.finish();
    if (operations > 0 || entries > 0)
        return BookResult::refuse(
            QStringLiteral("Изделие используется (операций: %1, записей: %2), удалить его нельзя.")
                .arg(operations)
                .arg(entries));
    written(m_data, productDeleteStatement(id));
    transaction.commit();
    return {id, {}};
}

// Operation kinds

QString BookStore::kindDuplicateStatement(const OperationKindRow &row)
{
    QString statement =
        QStringLiteral("select count(*) as cnt from accounts_dep.vid_oper where upper(vid)=") +
        quoted(QLocale().toUpper(row.name.trimmed()));
    if (row.id != 0)
        statement += QStringLiteral(" and id<>") + n(row.id);
    return statement;
}

BookResult BookStore::saveKind(const OperationKindRow &row)
{
    const QString name = row.name.trimmed();
    if (const QString refusal = nameRefusal(QStringLiteral("Операция"), name, 128, kAllFields);
        !refusal.isEmpty())
        return BookResult::refuse(refusal);
    Transaction transaction(m_data->connection());
    transaction.lock(locks::book(locks::OperationKinds));
    if (m_data->duplicateCount(kindDuplicateStatement(row)) > 0)
        return BookResult::refuse(QStringLiteral("Такая операция уже заведена!"));
    qint64 id = row.id;
    if (row.id == 0) {
        id = number(m_data,
                    QStringLiteral("insert into accounts_dep.vid_oper (vid) values (:vid) returning id"),
                    {{QStringLiteral("vid"), name}});
    } else if (written(m_data, QStringLiteral("update accounts_dep.vid_oper set vid = :vid where id = :id"),
                       {{QStringLiteral("vid"), name}, {QStringLiteral("id"), row.id}}) == 0) {
        return BookResult::refuse(QStringLiteral("Вид операции не найден: его удалил другой пользователь"));
    }
    transaction.commit();
    return {id, {}};
}

BookResult BookStore::deleteKind(int id)
{
    // Operations name their kind; entries reach theirs through them.
    Transaction transaction(m_data->connection());
    transaction.lock(locks::book(locks::OperationKinds));
    const qint64 operations =
        number(m_data, QStringLiteral("select count(*) from accounts_dep.oper where vid = :id"),
               {{QStringLiteral("id"), id}});
    if (operations > 0)
        return BookResult::refuse(
            QStringLiteral("Вид операции используется в операциях (%1), удалить его нельзя.")
                .arg(operations));
    written(m_data, QStringLiteral("delete from accounts_dep.vid_oper where id = :id"),
            {{QStringLiteral("id"), id}});
    transaction.commit();
    return {id, {}};
}

// Operations

QString BookStore::operationDuplicateStatement(const OperationRow &row)
{
    const QString head = row.id == 0
                             ? QStringLiteral("select count(ID) as cnt from accounts_dep.OPER where vid=")
                             : QStringLiteral("select count(*) as cnt from accounts_dep.OPER where vid=");
    QString statement = head + n(row.kindId) + QStringLiteral(" and naimen=") + n(row.naimen) +
                        QStringLiteral(" and i_id=") + n(row.productId);
    if (row.id != 0)
        statement += QStringLiteral(" and id<>") + n(row.id);
    return statement;
}

QString BookStore::operationInsertStatement(const OperationRow &row)
{
    return QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new)values (") +
           n(row.kindId) + QStringLiteral(", ") + n(row.naimen) + QStringLiteral(", ") + n(row.productId) +
           QStringLiteral(", 0)");
}

QString BookStore::operationUpdateStatement(const OperationRow &row)
{
    return QStringLiteral("update accounts_dep.oper set vid=") + n(row.kindId) + QStringLiteral(", naimen=") +
           n(row.naimen) + QStringLiteral(",  i_id=") + n(row.productId) + QStringLiteral(" where id=") +
           n(row.id);
}

BookResult BookStore::saveOperation(const OperationRow &row)
{
    if (row.productId <= 0 || row.kindId <= 0)
        return BookResult::refuse(kAllFields);
    // In the order every book takes them: the product and the kind cannot go meanwhile, and two clients
    // cannot both add the same operation.
    Transaction transaction(m_data->connection());
    transaction.lock(locks::book(locks::Products));
    transaction.lock(locks::book(locks::OperationKinds));
    transaction.lock(locks::book(locks::Operations));
    QSqlQuery exists =
        run(m_data,
            QStringLiteral("select (select count(*) from accounts_dep.izdel where id = :product), "
                           "(select count(*) from accounts_dep.vid_oper where id = :kind)"),
            {{QStringLiteral("product"), row.productId}, {QStringLiteral("kind"), row.kindId}});
    exists.next();
    const bool there = exists.value(0).toLongLong() > 0 && exists.value(1).toLongLong() > 0;
    exists.finish();
    if (!there)
        return BookResult::refuse(
            QStringLiteral("Изделие или вид операции больше не существует. Выберите их заново."));
    if (m_data->duplicateCount(operationDuplicateStatement(row)) > 0)
        return BookResult::refuse(QStringLiteral("Операция с такими параметрами уже заведена!"));
    qint64 id = row.id;
    if (row.id == 0) {
        written(m_data, operationInsertStatement(row)); // its first norm comes with it
        id = number(
            m_data,
            QStringLiteral("select max(id) from accounts_dep.oper where vid = :kind and naimen = :naimen "
                           "and i_id = :product"),
            {{QStringLiteral("kind"), row.kindId},
             {QStringLiteral("naimen"), row.naimen},
             {QStringLiteral("product"), row.productId}});
    } else if (written(m_data, operationUpdateStatement(row)) == 0) {
        return BookResult::refuse(QStringLiteral("Операция не найдена: её удалил другой пользователь"));
    }
    transaction.commit();
    return {id, {}};
}

BookResult BookStore::deleteOperation(int id)
{
    // Entries reach their product and kind through their operation.
    Transaction transaction(m_data->connection());
    transaction.lock(locks::book(locks::Operations));
    const qint64 entries =
        number(m_data, QStringLiteral("select count(*) from accounts_dep.smena where o_id = :id"),
               {{QStringLiteral("id"), id}});
    if (entries > 0)
        return BookResult::refuse(
            QStringLiteral("Операция используется в записях (%1), удалить её нельзя.").arg(entries));
    written(m_data, m_data->operDel()->text(), {{QStringLiteral("id"), id}});
    // Its norms go with it: left behind they would belong to no operation.
    written(m_data, QStringLiteral("delete from accounts_dep.norm where o_id = :id"),
            {{QStringLiteral("id"), id}});
    transaction.commit();
    return {id, {}};
}

// Norms

std::vector<NormRow> BookStore::norms(int operation)
{
    std::vector<NormRow> rows;
    QSqlQuery q = run(m_data,
                      QStringLiteral("select id, norma, price, prize from accounts_dep.norm where o_id = :o "
                                     "order by norma, id"),
                      {{QStringLiteral("o"), operation}});
    while (q.next())
        rows.push_back({q.value(0).toInt(), operation, q.value(1), q.value(2), q.value(3)});
    return rows;
}

BookResult BookStore::addNorm(const NormRow &row)
{
    // The operation must still be there: its deletion takes the book's lock exclusively.
    Transaction transaction(m_data->connection());
    transaction.lock(locks::book(locks::Operations), Transaction::Mode::Shared);
    if (number(m_data, QStringLiteral("select count(*) from accounts_dep.oper where id = :o"),
               {{QStringLiteral("o"), row.operation}}) == 0)
        return BookResult::refuse(
            QStringLiteral("Операция удалена другим пользователем: норматив не записан."));
    auto typed = [](const QVariant &v, QMetaType type) { return v.isNull() ? QVariant(type) : v; };
    const qint64 id = number(m_data,
                             QStringLiteral("insert into accounts_dep.norm (o_id, norma, price, prize) "
                                            "values (:o, :norma, :price, :prize) returning id"),
                             {{QStringLiteral("o"), row.operation},
                              {QStringLiteral("norma"), typed(row.norma, QMetaType::fromType<int>())},
                              {QStringLiteral("price"), typed(row.price, QMetaType::fromType<double>())},
                              {QStringLiteral("prize"), typed(row.prize, QMetaType::fromType<int>())}});
    transaction.commit();
    return {id, {}};
}

BookResult BookStore::changeNorm(int id, NormRow::Column column, const QVariant &value)
{
    static const char *const columns[] = {"norma", "price", "prize"};
    const QVariant bound = value.isNull() ? QVariant(column == NormRow::Price ? QMetaType::fromType<double>()
                                                                              : QMetaType::fromType<int>())
                                          : value;
    if (written(m_data,
                QStringLiteral("update accounts_dep.norm set %1 = :v where id = :id")
                    .arg(QLatin1String(columns[column])),
                {{QStringLiteral("v"), bound}, {QStringLiteral("id"), id}}) == 0)
        return BookResult::refuse(QStringLiteral("Норматив не найден: его удалил другой пользователь"));
    return {id, {}};
}

bool BookStore::deleteNorm(int operation, int id)
{
    Transaction transaction(m_data->connection());
    transaction.lock({locks::Book, locks::Norms, operation});
    if (number(m_data, QStringLiteral("select count(*) from accounts_dep.norm where o_id = :o"),
               {{QStringLiteral("o"), operation}}) <= 1)
        return false;
    written(m_data, QStringLiteral("delete from accounts_dep.norm where id = :id"),
            {{QStringLiteral("id"), id}});
    transaction.commit();
    return true;
}

} // namespace tabel
