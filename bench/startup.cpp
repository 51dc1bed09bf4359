// Start-up: the program launched to its login window shown, as a whole process on Qt's offscreen
// platform, side by side with a minimal Qt Widgets program showing one dialog (7 pairs, medians);
// then, in a process of its own, the password accepted to the register shown, and the program's peak
// memory with the register open.
//
//   bench_startup [DEMO_DATABASE [LARGE_DATABASE]]
//   bench_startup --register DATABASE      (the second part, run by the first)

#include "app/startup.h"
#include "app/buildstamp.h"
#include "app/loginwindow.h"
#include "psqltime.h"
#include "register/registerwindow.h"
#include "ui/boxmessageservice.h"
#include "ui/windowservices.h"
#include "ui/windowsetup.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>

#include <cstdio>
#include <vector>

using namespace tabel;

namespace {
// Milliseconds from the launch to the line saying the window is shown.
double launchToShown(const QString &program, const QStringList &arguments)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TABEL_STARTUP_MARKS"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.setReadChannel(QProcess::StandardError); // where the mark comes
    QElapsedTimer t;
    t.start();
    p.start(program, arguments);
    QByteArray err;
    double shown = -1;
    while (p.waitForReadyRead(30000) || p.state() == QProcess::Running) {
        err += p.readAllStandardError();
        if (err.contains("tabel: shown")) {
            shown = t.nsecsElapsed() / 1e6;
            break;
        }
        if (t.elapsed() > 30000)
            break;
    }
    p.kill();
    p.waitForFinished();
    if (shown < 0) {
        std::fprintf(stderr, "%s showed nothing: %s\n", qPrintable(program), err.constData());
        std::exit(1);
    }
    return shown;
}

long peakKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("VmHWM:\\s+(\\d+)")).match(QString::fromLatin1(f.readAll()));
    return m.captured(1).toLong();
}

// The login as a user does it: the password typed, "Войти" pressed; the register shown and its views
// open for today. Prints milliseconds and the peak memory.
int registerAfterPassword(int argc, char *argv[], const QString &database)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    useShopLocale();
    BoxMessageService messages;
    WindowServices services;
    services.messages = &messages;
    services.showModal = [](QDialog *d) {
        d->show(); // returns once shown: the register's views are open by then
        return 0;
    };
    services.terminate = [] {};
    Startup startup(services, thisBuild());
    if (!startup.start({QStringLiteral("tabel"), database, QStringLiteral("127.0.0.1")}))
        return 1;
    startup.loginWindow()->openAtStart();
    QCoreApplication::processEvents();
    startup.loginWindow()
        ->findChild<QLineEdit *>(QStringLiteral("passwordEdit"))
        ->setText(QStringLiteral("9926"));
    QElapsedTimer t;
    t.start();
    startup.loginWindow()->findChild<QPushButton *>(QStringLiteral("loginButton"))->click();
    const double ms = t.nsecsElapsed() / 1e6;
    if (!startup.registerWindow()->isVisible())
        return 1;
    std::printf("%.1f %ld\n", ms, peakKb());
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc > 2 && QByteArray(argv[1]) == "--register")
        return registerAfterPassword(argc, argv, QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString demo = args.value(1, QStringLiteral("tabel_demo"));
    const QString large = args.value(2, QStringLiteral("tabel_large"));
    const QString here = QCoreApplication::applicationDirPath();

    std::vector<double> ours, minimal;
    for (int i = 0; i < 8; ++i) { // the first pair warms the caches and is not counted
        const double a = launchToShown(QStringLiteral(TABEL_PROGRAM), {demo, QStringLiteral("127.0.0.1")});
        const double b = launchToShown(here + QStringLiteral("/bench_minimal_dialog"), {});
        if (i > 0) {
            ours.push_back(a);
            minimal.push_back(b);
        }
    }
    const double o = median(ours), m = median(minimal);
    std::printf("start-up on %s: launch to the login window shown %.1f ms; a minimal Qt dialog %.1f ms; "
                "ratio %.2f (goal at most 1.50)\n",
                qPrintable(demo), o, m, o / m);
    for (const QString &database : {demo, large}) {
        std::vector<double> times;
        long peak = 0;
        for (int i = 0; i < 5; ++i) {
            QProcess p;
            p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--register"), database});
            p.waitForFinished(120000);
            const QStringList out = QString::fromLatin1(p.readAllStandardOutput()).split(u' ');
            if (p.exitCode() != 0 || out.size() < 2) {
                std::fprintf(stderr, "the register did not open on %s: %s\n", qPrintable(database),
                             p.readAllStandardError().constData());
                return 1;
            }
            times.push_back(out.at(0).toDouble());
            peak = std::max(peak, out.at(1).trimmed().toLong());
        }
        std::printf("  %s: the password accepted to the register shown %.1f ms (goal at most 300); peak "
                    "memory with the register open %.1f MB\n",
                    qPrintable(database), median(times), peak / 1024.0);
    }
    return 0;
}
