#include "ui/windowservices.h"

#include <QCoreApplication>
#include <QDialog>

namespace tabel {

int WindowServices::exec(QDialog *dialog) const
{
    if (showModal)
        return showModal(dialog);
    return dialog->exec();
}

} // namespace tabel

namespace tabel {

void WindowServices::quit() const
{
    if (terminate) {
        terminate();
        return;
    }
    // Ends every loop that runs now (a modal window's included), and the main loop too when it has
    // not started yet (a check made while the first window opens).
    QCoreApplication::exit(0);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

} // namespace tabel
