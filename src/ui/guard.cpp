#include "guard.h"

#include "dataerror.h"
#include "messageservice.h"

#include <QApplication>
#include <QString>

namespace tabel {

bool guarded(MessageService *messages, const std::function<void()> &action)
{
    QString text;
    try {
        action();
        return true;
    } catch (const DataError &e) {
        text = e.message();
    } catch (const std::exception &e) {
        text = QString::fromLocal8Bit(e.what());
    }
    // A failed action may leave a wait cursor behind.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    if (messages)
        messages->standardError(text);
    return false;
}

} // namespace tabel
