#include "shop/listfilter.h"

#include "data/dataset.h"
#include "data/sqlparams.h"

namespace tabel {

QString beginsWithFilter(const QString &field, const QString &typed)
{
    return field + QStringLiteral(" like ") + quoted(typed + QLatin1Char('%'));
}

void applySearch(Dataset *dataset, const QString &field, const QString &typed)
{
    if (typed.isEmpty()) {
        dataset->setFiltered(false);
        return;
    }
    dataset->setFilter(beginsWithFilter(field, typed));
    dataset->setFiltered(true);
}

} // namespace tabel
