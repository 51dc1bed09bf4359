#include "app/buildstamp.h"
#include "app/databasecommand.h"
#include "app/importcommand.h"
#include "app/loginwindow.h"
#include "app/reportcommand.h"
#include "app/startup.h"
#include "ui/boxmessageservice.h"
#include "ui/windowsetup.h"

#include <QApplication>
#include <QGuiApplication>

int main(int argc, char *argv[])
{
    {
        // The administrator's commands need no display.
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        if (tabel::isInfoCommand(arguments)) {
            QCoreApplication app(argc, argv);
            return tabel::runInfoCommand(QCoreApplication::arguments());
        }
        if (tabel::isDatabaseCommand(arguments)) {
            QCoreApplication app(argc, argv);
            return tabel::runDatabaseCommand(QCoreApplication::arguments());
        }
        if (tabel::isReportCommand(arguments)) {
            // Pages need fonts, not a display: the same from cron as at a desk.
            qputenv("QT_QPA_PLATFORM", "offscreen");
            QGuiApplication app(argc, argv);
            tabel::useShopLocale();
            return tabel::runReportCommand(QCoreApplication::arguments());
        }
        if (tabel::isImportCommand(arguments)) {
            QCoreApplication app(argc, argv);
            return tabel::runImportCommand(QCoreApplication::arguments());
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tabel"));
    tabel::useShopLocale();
    tabel::useShopTranslations();

    tabel::BoxMessageService messages;
    tabel::WindowServices services;
    services.messages = &messages;
    tabel::Startup startup(services, tabel::thisBuild());
    startup.setLoginFirst(true);
    if (!startup.start(QApplication::arguments()))
        return 1;
    startup.loginWindow()->openAtStart();
    return QApplication::exec();
}
