#pragma once

#include <functional>

class QDialog;

namespace tabel {

class MessageService;

// What every window is handed: the message boxes and the one way to show a window modally, both
// replaceable by tests.
struct WindowServices
{
    MessageService *messages = nullptr;
    // Shows the dialog modally and returns its result; tests install a non-blocking one.
    std::function<int(QDialog *)> showModal;
    // Asks the application to terminate; tests record it instead.
    std::function<void()> terminate;

    int exec(QDialog *dialog) const;
    void quit() const;
};

} // namespace tabel
