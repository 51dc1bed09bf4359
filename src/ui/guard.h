#pragma once

#include <QApplication>
#include <QObject>

#include <functional>
#include <type_traits>
#include <utility>

namespace tabel {

class MessageService;

// Runs one user action. A failure stops it and is shown in the application's standard error box; the
// program goes on. Returns false when the action failed.
bool guarded(MessageService *messages, const std::function<void()> &action);

// Connects a signal to an action run through guarded(), so that no failure ever leaves a slot. The
// action may take the signal's arguments or none.
template <typename Sender, typename Signal, typename Action>
QMetaObject::Connection connectGuarded(Sender *sender, Signal signal, const QObject *context,
                                       MessageService *messages, Action action)
{
    return QObject::connect(sender, signal, context, [messages, action](auto &&...args) {
        guarded(messages, [&] {
            if constexpr (std::is_invocable_v<const Action &, decltype(args)...>)
                std::invoke(action, std::forward<decltype(args)>(args)...);
            else
                std::invoke(action);
        });
    });
}

// The hourglass for as long as it lives, whichever way the work ends.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace tabel
