#pragma once

#include "ui/messageservice.h"

class QWidget;

namespace tabel {

// Message boxes on screen.
class BoxMessageService : public MessageService
{
public:
    void show(const QString &caption, const QString &text, Icon icon) override;
    bool ask(const QString &caption, const QString &text) override;
    void standardError(const QString &text) override;
};

} // namespace tabel
