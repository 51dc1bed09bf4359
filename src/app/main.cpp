#include "boxmessageservice.h"
#include "buildstamp.h"
#include "loginwindow.h"
#include "startup.h"

#include <QApplication>
#include <QLocale>
#include <QScreen>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tabel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Табель"));
    // The shop works in Russian: day-first dates, decimal comma, no digit grouping in the grids.
    QLocale russian(QLocale::Russian, QLocale::Russia);
    russian.setNumberOptions(QLocale::OmitGroupSeparator);
    QLocale::setDefault(russian);

    tabel::BoxMessageService messages;
    tabel::WindowServices services;
    services.messages = &messages;
    tabel::Startup startup(services, tabel::thisBuild());
    if (!startup.start(QApplication::arguments()))
        return 1;
    tabel::LoginWindow *login = startup.loginWindow();
    login->adjustSize();
    login->move(login->screen()->availableGeometry().center() - login->rect().center());
    login->show();
    return QApplication::exec();
}
