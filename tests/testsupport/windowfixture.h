#pragma once

#include "data/datamodule.h"
#include "data/session.h"
#include "testsupport/recordingmessages.h"
#include "testsupport/testdatabase.h"
#include "ui/appcontext.h"
#include "ui/windowregistry.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <functional>

class QDialog;
class QWidget;

namespace tabel::test {

// A fresh world for one window test: a data module connected to the test program's database, a
// session, message boxes recorded (questions answered from a list), a modal call that never blocks,
// a registry for the windows under test, and a fixed "today". Make one per test function.
class WindowFixture
{
public:
    explicit WindowFixture(TestDatabase &db, const QDate &today = QDate(2023, 3, 18));
    ~WindowFixture();
    WindowFixture(const WindowFixture &) = delete;
    WindowFixture &operator=(const WindowFixture &) = delete;

    DataModule data;
    Session session;
    RecordingMessages messages;
    WindowRegistry windows;
    AppContext context;
    QDate today;

    // Every window shown modally, in order, and what a test does with it while it is "open" (by
    // default nothing: it shows and returns at once with modalResult). onModal answers the result
    // the modal call returns (usually the dialog's own, after the test pressed its buttons).
    QList<QDialog *> shown;
    // What the test does while a given window is open; the modal call then answers its result.
    QHash<QDialog *, std::function<void()>> whileOpen; // each must run: the fixture fails the test otherwise
    QSet<QDialog *> ran;
    std::function<int(QDialog *)> onModal;
    int modalResult = 0;
    int quits = 0;

    std::function<QDate()> clock()
    {
        return [this] { return today; };
    }
};

// A window's control by its object name; the test program stops when there is none, so that a renamed
// control is found at once and not as a crash further on.
template <typename T> T *child(const QObject *window, const char *name)
{
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("%s has no control %s", qPrintable(window->objectName()), name);
    return found;
}

// Types a text into a widget character by character, as a keyboard would (any alphabet; QTest's
// own key clicks know Latin letters only).
void type(QWidget *widget, const QString &text);

} // namespace tabel::test
