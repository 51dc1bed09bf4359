#include "windowservices.h"

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
    if (terminate)
        terminate();
    else
        QCoreApplication::quit();
}

} // namespace tabel
