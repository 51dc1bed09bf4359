// Formulas of the layouts: parse against a query's fields, evaluate and accumulate on a record.
#include "reportengine/formula.h"

#include <QDate>

#include <cstddef>
#include <cstdint>

namespace {
class Context : public tabel::report::FormulaContext
{
public:
    QVariant field(int index) const override
    {
        static const QVariantList row = {QStringLiteral("Иванов"), 12.5, 0, QVariant(), QDate(2024, 1, 31)};
        return row.value(index);
    }
    double aggregate(int id) const override { return id * 1.5; }
    int pageNumber() const override { return 3; }
    int totalPages() const override { return 7; }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    static const QStringList fields = {QStringLiteral("fio"), QStringLiteral("summa"),
                                       QStringLiteral("color"), QStringLiteral("nom"),
                                       QStringLiteral("data")};
    try {
        int next = 0;
        const auto f = tabel::report::Formula::parse(text, QStringLiteral("t_Report"), fields, &next);
        const Context context;
        f.evaluate(context).toText();
        f.accumulate(context, [](int, double) {});
    } catch (const tabel::report::ReportError &) {
    }
    return 0;
}
