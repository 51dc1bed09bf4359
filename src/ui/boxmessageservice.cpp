#include "ui/boxmessageservice.h"

#include <QApplication>
#include <QMessageBox>

namespace tabel {

namespace {
QMessageBox::Icon boxIcon(MessageService::Icon icon)
{
    switch (icon) {
    case MessageService::Icon::Error:
        return QMessageBox::Critical;
    case MessageService::Icon::Question:
        return QMessageBox::Question;
    case MessageService::Icon::Warning:
        return QMessageBox::Warning;
    case MessageService::Icon::Information:
        break;
    }
    return QMessageBox::Information;
}
} // namespace

void BoxMessageService::show(const QString &caption, const QString &text, Icon icon)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool BoxMessageService::ask(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void BoxMessageService::standardError(const QString &text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Табель"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

} // namespace tabel
