#include "register/acceptancedelegate.h"

#include <QPalette>

namespace tabel {

bool isAcceptedMark(const QString &mark)
{
    return mark == QLatin1String("ok") || mark == QStringLiteral("да");
}

void AcceptanceDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->font.setBold(true);
    const QColor colour =
        isAcceptedMark(index.data(Qt::DisplayRole).toString()) ? QColor(0, 128, 0) : QColor(255, 0, 0);
    option->palette.setColor(QPalette::Text, colour);
    option->palette.setColor(QPalette::HighlightedText, colour);
}

} // namespace tabel
