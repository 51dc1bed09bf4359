#include "app/buildstamp.h"
#include "app/loginwindow.h"
#include "app/startup.h"
#include "ui/boxmessageservice.h"
#include "ui/windowsetup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tabel"));
    tabel::useShopLocale();

    tabel::BoxMessageService messages;
    tabel::WindowServices services;
    services.messages = &messages;
    tabel::Startup startup(services, tabel::thisBuild());
    if (!startup.start(QApplication::arguments()))
        return 1;
    startup.loginWindow()->openAtStart();
    return QApplication::exec();
}
