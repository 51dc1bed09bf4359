#pragma once

#include <QString>

namespace tabel {

// Every message box of the program goes through this, so that tests can answer and record them.
class MessageService
{
public:
    enum class Icon { Error, Question, Information, Warning };
    virtual ~MessageService() = default;

    // A box with an OK button.
    virtual void show(const QString &caption, const QString &text, Icon icon) = 0;
    // A box with Yes and No; true for Yes.
    virtual bool ask(const QString &caption, const QString &text) = 0;
    // The application's standard error box, for failures that stop a user action.
    virtual void standardError(const QString &text) = 0;

    void error(const QString &caption, const QString &text) { show(caption, text, Icon::Error); }
};

} // namespace tabel
