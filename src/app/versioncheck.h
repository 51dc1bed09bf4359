#pragma once

#include "app/buildstamp.h"

#include <QObject>

#include <functional>

namespace tabel {

class Connection;
class MessageService;

// Keeps every client on the newest build: a newer copy raises the record in accounts_dep.ver, an older
// one is told to stop.
class VersionCheck : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Current, Raised, Outdated, Failed };
    // The login's check reports every failure; the timer's check stays quiet while the server is away
    // and never runs while an earlier check still shows its message.
    enum class Trigger { Login, Timer };

    VersionCheck(Connection *connection, MessageService *messages, BuildStamp stamp,
                 QObject *parent = nullptr);

    BuildStamp stamp() const { return m_stamp; }
    // How the program is asked to terminate (the start-up hands over the window services' way).
    void setTerminate(std::function<void()> terminate) { m_terminate = std::move(terminate); }

    Outcome run(Trigger trigger = Trigger::Timer);

Q_SIGNALS:
    // Emitted before the message is shown, so that the 5-second termination timer starts first.
    void outdated();

private:
    Connection *m_connection;
    MessageService *m_messages;
    BuildStamp m_stamp;
    std::function<void()> m_terminate;
    bool m_running = false;
};

} // namespace tabel
