#pragma once

#include <QString>

namespace tabel {

class DataModule;
class MessageService;

// Refuses a row that repeats an existing one: runs the counting statement and, when the count is
// above 0, shows the message under "Ошибка" and answers true.
bool duplicateFound(DataModule *data, MessageService *messages, const QString &statement,
                    const QString &message = QString());

} // namespace tabel
