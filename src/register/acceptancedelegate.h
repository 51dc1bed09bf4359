#pragma once

#include <QStyledItemDelegate>

namespace tabel {

// An entry is accepted when its mark is exactly "ok" or "да".
bool isAcceptedMark(const QString &mark);

// Draws the acceptance mark bold, green when accepted and red otherwise.
class AcceptanceDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};

} // namespace tabel
