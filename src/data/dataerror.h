#pragma once

#include <QString>
#include <stdexcept>

namespace tabel {

// The one error type of the data layer: a rejected statement, a lost connection, a bad field name or
// filter. Carries the driver's (or our own) message text as the user is to see it.
class DataError : public std::runtime_error
{
public:
    explicit DataError(const QString &message, bool connectionLost = false)
        : std::runtime_error(message.toStdString()), m_message(message), m_connectionLost(connectionLost)
    {
    }
    QString message() const { return m_message; }
    // The server could not be reached or dropped the connection; the next action reconnects.
    bool connectionLost() const { return m_connectionLost; }

private:
    QString m_message;
    bool m_connectionLost;
};

} // namespace tabel
