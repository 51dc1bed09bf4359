#include "refbooks/listsearch.h"

#include "data/dataset.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace tabel {

SearchKeys::SearchKeys(QLineEdit *box, Dataset *dataset, Keys keys)
    : QObject(box), m_box(box), m_dataset(dataset), m_keys(keys)
{
    box->installEventFilter(this);
}

bool SearchKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_box || event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Up:
        if (m_dataset->isOpen())
            m_dataset->prior();
        return true;
    case Qt::Key_Down:
        if (m_dataset->isOpen())
            m_dataset->next();
        return true;
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        return m_keys == Keys::TypingOnly;
    default:
        return false;
    }
}

} // namespace tabel
