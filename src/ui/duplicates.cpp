#include "ui/duplicates.h"

#include "data/datamodule.h"
#include "ui/messageservice.h"

namespace tabel {

bool duplicateFound(DataModule *data, MessageService *messages, const QString &statement,
                    const QString &message)
{
    if (data->duplicateCount(statement) <= 0)
        return false;
    messages->error(QStringLiteral("Ошибка"), message);
    return true;
}

} // namespace tabel
