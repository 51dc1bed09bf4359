#pragma once

#include "ui/messageservice.h"

#include <QList>
#include <QString>

namespace tabel::test {

// Records every box instead of showing it, and answers questions from a list (Yes when it runs out).
class RecordingMessages : public MessageService
{
public:
    struct Box
    {
        QString caption;
        QString text;
        Icon icon;
        bool standard = false;
    };

    void show(const QString &caption, const QString &text, Icon icon) override;
    bool ask(const QString &caption, const QString &text) override;
    void standardError(const QString &text) override;

    QList<Box> boxes;
    QList<bool> answers;
    void clear() { boxes.clear(); }
    QString last() const { return boxes.isEmpty() ? QString() : boxes.last().text; }
};

} // namespace tabel::test
