#include "reports/paystatements.h"

#include "data/connectionstring.h"
#include "data/dataset.h"
#include "reportengine/fonts.h"
#include "reportengine/report.h"
#include "reports/datasetreportdata.h"
#include "reports/spreadsheet.h"
#include "shop/moneywords.h"

#include <QHash>
#include <QLocale>
#include <QScopeGuard>
#include <QSet>

#include <array>
#include <memory>

static void initPayStatementResources()
{
    Q_INIT_RESOURCE(reports);
}

namespace tabel {

namespace {
const QString kLayout = QStringLiteral(":/reports/layouts/paystatement.json");
} // namespace

// The period's entries, a worker's rows together and in date order. The worker's name joins as in the
// report by workers, so that the same entries count in both.
QStringList payStatementLinesStatement(const PayStatementRequest &r)
{
    QStringList sql = {
        QStringLiteral("select smena.w_id, person.s_caption fio, to_char(smena.data, 'DD.MM.YYYY') as day, "
                       "izdel.marka, vid_oper.vid, oper.naimen, smena.color, smena.kol_vo, smena.brak, "
                       "smena.cena, (smena.kol_vo-smena.brak)*smena.cena as summa"),
        QStringLiteral(
            "from accounts_dep.smena join cmn_contractor.person person on smena.w_id=s_code::integer "
            "join accounts_dep.izdel on izdel.id=smena.i_id "
            "join accounts_dep.oper on oper.id=smena.o_id "
            "join accounts_dep.vid_oper on vid_oper.id=oper.vid"),
        QStringLiteral("where smena.data>=:data1 and smena.data<:data2"),
    };
    if (r.kind == ProductKindChoice::Finished)
        sql << QStringLiteral("and oper.naimen=0");
    else if (r.kind == ProductKindChoice::Blanks)
        sql << QStringLiteral("and oper.naimen=1");
    if (r.worker != 0)
        sql << QStringLiteral("and smena.w_id=:worker");
    sql << QStringLiteral(
        "order by fio, smena.w_id, smena.data, smena.smena, izdel.marka, vid_oper.vid, smena.id");
    return sql;
}

// The hours of the time sheet (its rows, as the time sheet window shows them), the days of the
// period only; every entry of the worker counts there, whatever its product kind. A row of a month
// that is no month is left out.
QStringList payStatementHoursStatement(const PayStatementRequest &r)
{
    QStringList days;
    for (int d = 1; d <= 31; ++d)
        days << QStringLiteral("(%1, t.d%1)").arg(d);
    QStringList sql = {
        QStringLiteral("select t.w_id, t.smena, sum(coalesce(v.h, 0)) as hours from accounts_dep.h_tabel t"),
        QStringLiteral("cross join lateral (values %1) v(day, h)").arg(days.join(QStringLiteral(", "))),
        QStringLiteral("where t.month between 1 and 12 and t.year between 1900 and 9999"),
        QStringLiteral("and make_date(t.year, t.month, 1) >= date_trunc('month', :data1::date) "
                       "and make_date(t.year, t.month, 1) < :data2::date"),
        QStringLiteral("and v.day <= extract(day from make_date(t.year, t.month, 1) + interval '1 month' - "
                       "interval '1 day')"),
        QStringLiteral("and make_date(t.year, t.month, 1) + (v.day - 1) >= :data1::date "
                       "and make_date(t.year, t.month, 1) + (v.day - 1) < :data2::date"),
    };
    if (r.worker != 0)
        sql << QStringLiteral("and t.w_id=:worker");
    sql << QStringLiteral("group by t.w_id, t.smena");
    return sql;
}

namespace {
void bind(Dataset &query, const PayStatementRequest &r)
{
    query.setParam(QStringLiteral("data1"), r.from);
    query.setParam(QStringLiteral("data2"), r.to);
    if (r.worker != 0)
        query.setParam(QStringLiteral("worker"), r.worker);
}

// The money line split where it would run past the page: the figures first, the words after.
std::pair<QString, QString> moneyLines(qint64 kopecks, const report::Layout &layout)
{
    const QString whole =
        QStringLiteral("Итого к начислению: %1 (%2)").arg(moneyFigures(kopecks), moneyInWords(kopecks));
    report::FontSpec font = layout.page.font;
    if (const report::Band *band = layout.band(QStringLiteral("money"))) {
        for (const report::Item &item : band->items)
            if (item.name == QLatin1String("MoneyLabel"))
                font = item.font;
    }
    const double room = layout.page.printableWidth() - 1;
    if (report::textWidth(font, whole) <= room)
        return {whole, QString()};
    QStringList words = whole.split(u' ');
    QString first;
    qsizetype used = 0;
    for (; used < words.size(); ++used) {
        const QString next = first.isEmpty() ? words.at(used) : first + u' ' + words.at(used);
        if (!first.isEmpty() && report::textWidth(font, next) > room)
            break;
        first = next;
    }
    return {first, words.mid(used).join(u' ')};
}

QString hoursText(const QString &what, qint64 hours)
{
    return QStringLiteral("%1: %2 ч").arg(what).arg(hours);
}
} // namespace

QString shopNameSetting()
{
    return settingsValues().value(QStringLiteral("shop/name"));
}

QString payStatementFolderName(const QDate &from)
{
    return QStringLiteral("Листки ") + from.toString(QStringLiteral("yyyy-MM"));
}

QString noPayStatementsMessage()
{
    return QStringLiteral("За период нет позиций: расчётных листков нет.");
}

QStringList payStatementFileNames(const std::vector<PayStatement> &statements)
{
    QStringList bases;
    QHash<QString, int> uses;
    for (const PayStatement &s : statements) {
        QString name = fileSafeName(s.name).trimmed();
        while (name.startsWith(u'.')) // no hidden files, no "..": the name stays in the folder
            name.remove(0, 1);
        while (name.toUtf8().size() > 200) // a file system takes 255 bytes, the suffixes included
            name.chop(1);
        name = name.trimmed();
        if (name.isEmpty())
            name = QStringLiteral("Работник %1").arg(s.worker);
        bases << name;
        ++uses[name.toLower()];
    }
    // A name two workers share gets each one's number; a name still taken (a worker called so) gets
    // a count too, so that no file is written over another.
    QSet<QString> taken;
    QStringList names;
    for (size_t i = 0; i < statements.size(); ++i) {
        const QString &base = bases.at(qsizetype(i));
        QString name = uses.value(base.toLower()) > 1
                           ? QStringLiteral("%1 (%2)").arg(base).arg(statements[i].worker)
                           : base;
        for (int n = 2; taken.contains(name.toLower()); ++n)
            name = QStringLiteral("%1 (%2-%3)").arg(base).arg(statements[i].worker).arg(n);
        taken.insert(name.toLower());
        names << name + QStringLiteral(".pdf");
    }
    return names;
}

std::vector<PayStatement> preparePayStatements(Connection *connection, const PayStatementRequest &r,
                                               const std::function<void(int, int)> &progress)
{
    initPayStatementResources();
    Dataset lines(connection, QStringLiteral("p_Statement"));
    lines.setSql(payStatementLinesStatement(r));
    bind(lines, r);
    Dataset hours(connection, QStringLiteral("p_Hours"));
    hours.setSql(payStatementHoursStatement(r));
    bind(hours, r);
    const auto closeQueries = qScopeGuard([&] {
        lines.close();
        hours.close();
    });
    hours.open();
    QHash<int, std::array<qint64, 5>> hoursOf; // shifts 1–4 and the total
    for (int row = 0; row < hours.recordCount(); ++row) {
        std::array<qint64, 5> &h = hoursOf[hours.valueAt(row, 0).toInt()];
        const int shift = hours.valueAt(row, 1).toInt();
        const qint64 n = hours.valueAt(row, 2).toLongLong();
        if (shift >= 1 && shift <= 4)
            h[size_t(shift - 1)] += n;
        h[4] += n;
    }
    lines.open();

    const report::Layout layout = report::Layout::fromFile(kLayout);
    const QLocale locale;
    const QString period =
        r.to.addDays(-1) > r.from
            ? QStringLiteral("Период: с %1 по %2")
                  .arg(locale.toString(r.from, QLocale::ShortFormat),
                       locale.toString(r.to.addDays(-1), QLocale::ShortFormat))
            : QStringLiteral("Период: %1").arg(locale.toString(r.from, QLocale::ShortFormat));
    const int idField = lines.fieldIndex(QStringLiteral("w_id"));
    const int nameField = lines.fieldIndex(QStringLiteral("fio"));
    const int sumField = lines.fieldIndex(QStringLiteral("summa"));

    // The rows of one worker, from begin to end.
    std::vector<std::pair<int, int>> ranges;
    const int n = lines.recordCount();
    for (int row = 0; row < n;) {
        const QVariant id = lines.valueAt(row, idField);
        int end = row + 1;
        while (end < n && lines.valueAt(end, idField) == id)
            ++end;
        ranges.emplace_back(row, end);
        row = end;
    }

    std::vector<PayStatement> out;
    out.reserve(ranges.size());
    if (progress)
        progress(0, int(ranges.size()));
    for (const auto &[begin, end] : ranges) {
        PayStatement s;
        s.worker = lines.valueAt(begin, idField).toInt();
        s.name = lines.valueAt(begin, nameField).toString();
        double sum = 0;
        for (int row = begin; row < end; ++row)
            sum += lines.valueAt(row, sumField).toDouble();
        s.kopecks = toKopecks(sum);

        report::Report statement(layout);
        statement.setLabel(QStringLiteral("ShopLabel"), r.shopName);
        statement.setLabel(QStringLiteral("WorkerLabel"), QStringLiteral("Работник: ") + s.name);
        statement.setLabel(QStringLiteral("PeriodLabel"), period);
        statement.setLabel(QStringLiteral("PageWorkerLabel"), s.name);
        const auto [money, moneyRest] = moneyLines(s.kopecks, layout);
        statement.setLabel(QStringLiteral("MoneyLabel"), money);
        statement.setLabel(QStringLiteral("MoneyLabel2"), moneyRest);
        const std::array<qint64, 5> h = hoursOf.value(s.worker);
        statement.setLabel(QStringLiteral("Hours1"), hoursText(QStringLiteral("1 смена"), h[0]));
        statement.setLabel(QStringLiteral("Hours2"), hoursText(QStringLiteral("2 смена"), h[1]));
        statement.setLabel(QStringLiteral("Hours3"), hoursText(QStringLiteral("3 смена"), h[2]));
        statement.setLabel(QStringLiteral("Hours4"), hoursText(QStringLiteral("Переработка"), h[3]));
        statement.setLabel(QStringLiteral("HoursTotal"), hoursText(QStringLiteral("Всего"), h[4]));
        DatasetRowsData data(&lines, begin, end);
        s.document = statement.prepare(data);
        out.push_back(std::move(s));
        if (progress)
            progress(int(out.size()), int(ranges.size()));
    }
    return out;
}

report::Document joinPayStatements(std::vector<PayStatement> &&statements)
{
    report::Document all;
    for (PayStatement &s : statements)
        all.append(std::move(s.document));
    statements.clear();
    return all;
}

} // namespace tabel
