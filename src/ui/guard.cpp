#include "ui/guard.h"

#include "data/dataerror.h"
#include "ui/messageservice.h"

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
    } catch (...) {
        text = QStringLiteral("Непредвиденная ошибка");
    }
    if (messages)
        messages->standardError(text);
    return false;
}

} // namespace tabel
