#pragma once

#include "shop/listfilter.h"

#include <QObject>

class QLineEdit;
class QPushButton;

namespace tabel {

class Dataset;

// The keys of a list's search box. Up and Down move the list's current row while the focus stays in
// the box. With Keys::UpDownOnly nothing else is touched; with Keys::TypingOnly the box also ignores
// Delete, Left, Right, Home and End (typed characters, Backspace and the clipboard still edit it).
class SearchKeys : public QObject
{
public:
    enum class Keys { UpDownOnly, TypingOnly };
    SearchKeys(QLineEdit *box, Dataset *dataset, Keys keys);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_box;
    Dataset *m_dataset;
    Keys m_keys;
};

} // namespace tabel
