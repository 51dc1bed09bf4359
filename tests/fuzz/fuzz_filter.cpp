// Filter expressions as a list window builds them from typed text: parse, then match a few rows.
#include "data/dataerror.h"
#include "data/filterexpression.h"

#include <QDate>
#include <QVariant>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    static const QStringList fields = {QStringLiteral("fio"), QStringLiteral("id"), QStringLiteral("naimen"),
                                       QStringLiteral("cena"), QStringLiteral("data")};
    static const QVariantList rows[] = {
        {QStringLiteral("Щербаков Ё.Ж."), 42, 0, 12.5, QDate(2024, 3, 1)},
        {QVariant(), QVariant(), 1, -0.25, QVariant()},
        {QStringLiteral("%_'\\"), 0, 7, 1e300, QDate()},
    };
    try {
        const auto f = tabel::FilterExpression::parse(text, fields);
        for (const QVariantList &row : rows)
            f.matches([&row](int c) { return row.value(c); });
    } catch (const tabel::DataError &) {
    }
    tabel::likeMatch(text, text.left(text.size() / 2) + QStringLiteral("%"));
    return 0;
}
