#include "testsupport/windowfixture.h"

#include "ui/windowsetup.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QTest>

namespace tabel::test {

WindowFixture::WindowFixture(TestDatabase &db, const QDate &day) : session(&data), today(day)
{
    useShopLocale();
    db.connectModule(data);
    context.data = &data;
    context.session = &session;
    context.windows = &windows;
    context.services.messages = &messages;
    context.services.showModal = [this](QDialog *d) {
        shown << d;
        d->show();
        int result = modalResult;
        if (whileOpen.contains(d)) {
            ran.insert(d);
            whileOpen.value(d)();
            result = d->result();
        } else if (onModal) {
            result = onModal(d);
        }
        d->hide();
        return result;
    };
    context.services.terminate = [this] { ++quits; };
}

WindowFixture::~WindowFixture()
{
    // A test whose checks sit in a window's callback must not pass because the window never opened.
    for (auto it = whileOpen.cbegin(); it != whileOpen.cend(); ++it)
        if (!ran.contains(it.key()))
            QTest::qFail(
                qPrintable(QStringLiteral("a window given something to do while open never opened: %1")
                               .arg(it.key() ? it.key()->objectName() : QStringLiteral("null"))),
                __FILE__, __LINE__);
    windows.clear();
}

void type(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

} // namespace tabel::test
