#include "ui/windowsetup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLayout>
#include <QLocale>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <cstdio>

namespace tabel {

namespace {
QPointer<QWidget> g_mainWindow;

// Centres its window each time it is shown.
class Centring : public QObject
{
public:
    Centring(QDialog *window, Placement placement) : QObject(window), m_window(window), m_placement(placement)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Show && !m_window->isMaximized())
            centre();
        return false;
    }

private:
    void centre()
    {
        QWidget *over = m_placement == Placement::MainWindowCentre ? g_mainWindow.data() : nullptr;
        if (over == m_window)
            over = nullptr;
        QRect area;
        // The main window keeps its place while hidden (the login hides under the register).
        if (over && over->frameGeometry().isValid() && over->testAttribute(Qt::WA_WState_Created))
            area = over->frameGeometry();
        else if (QScreen *screen = m_window->screen())
            area = screen->availableGeometry();
        if (area.isEmpty())
            return;
        if (m_window->layout())
            m_window->layout()->activate();
        const QSize size = m_window->frameGeometry().size().expandedTo(m_window->size());
        m_window->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
    }

    QDialog *m_window;
    Placement m_placement;
};
} // namespace

void setMainWindow(QWidget *window)
{
    g_mainWindow = window;
}

void markShown(const QWidget *window)
{
    static const bool marks = qEnvironmentVariableIsSet("TABEL_STARTUP_MARKS");
    if (marks) {
        std::fprintf(stderr, "tabel: shown %s\n", window->objectName().toLatin1().constData());
        std::fflush(stderr);
    }
}

void useShopLocale()
{
    QLocale russian(QLocale::Russian, QLocale::Russia);
    russian.setNumberOptions(QLocale::OmitGroupSeparator);
    QLocale::setDefault(russian);
}

void useShopTranslations()
{
    static QTranslator qt;
    if (!qt.isEmpty())
        return;
    if (qt.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qt);
}

void setUpWindow(QDialog *window, Frame frame, Placement placement)
{
    Qt::WindowFlags flags = window->windowFlags() & ~Qt::WindowContextHelpButtonHint;
    if (frame == Frame::Fixed) {
        flags |= Qt::MSWindowsFixedSizeDialogHint;
        flags &= ~(Qt::WindowMaximizeButtonHint | Qt::WindowMinMaxButtonsHint);
        // The layout's size, and nothing else: window managers then offer no resizing either.
        if (window->layout())
            window->layout()->setSizeConstraint(QLayout::SetFixedSize);
        else
            window->setFixedSize(window->size());
    } else {
        flags |= Qt::WindowMinMaxButtonsHint;
    }
    window->setWindowFlags(flags);
    new Centring(window, placement);
}

} // namespace tabel
