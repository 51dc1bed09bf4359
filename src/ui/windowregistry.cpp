#include "ui/windowregistry.h"

namespace tabel {

WindowRegistry::~WindowRegistry()
{
    clear();
}

void WindowRegistry::clear()
{
    // Later windows may lean on earlier ones while they go.
    while (!m_windows.empty())
        m_windows.pop_back();
}

QList<QWidget *> WindowRegistry::windows() const
{
    QList<QWidget *> out;
    for (const Entry &e : m_windows)
        out << e.window.get();
    return out;
}

QWidget *WindowRegistry::find(const QString &objectName) const
{
    for (const Entry &e : m_windows)
        if (e.window->objectName() == objectName)
            return e.window.get();
    return nullptr;
}

} // namespace tabel
