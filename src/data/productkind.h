#pragma once

#include <QString>

namespace tabel {

// The product kind of an operation as the shop names it: naimen 0 finished products, any other blanks.
inline QString productKindText(qint64 naimen)
{
    return naimen == 0 ? QStringLiteral("Готовая продукция") : QStringLiteral("Заготовки");
}

} // namespace tabel
