#pragma once

#include "data/dataerror.h"

#include <QDialog>
#include <QList>

#include <memory>
#include <typeindex>
#include <vector>

namespace tabel {

// Owns every window of the program, created once at start-up, hidden, in the order they were added.
// A window reaches another only through here, at the moment it opens it: no window keeps a pointer to
// another.
class WindowRegistry
{
public:
    WindowRegistry() = default;
    ~WindowRegistry();
    WindowRegistry(const WindowRegistry &) = delete;
    WindowRegistry &operator=(const WindowRegistry &) = delete;

    template <typename T> T *add(std::unique_ptr<T> window)
    {
        T *w = window.get();
        m_windows.push_back({std::type_index(typeid(T)), std::move(window)});
        return w;
    }

    // The window of that class; a window the program has not created is an error.
    template <typename T> T *get() const
    {
        for (const Entry &e : m_windows)
            if (e.type == std::type_index(typeid(T)))
                return static_cast<T *>(e.window.get());
        throw DataError(
            QStringLiteral("Окно %1 не создано").arg(QString::fromLatin1(T::staticMetaObject.className())));
    }
    template <typename T> bool has() const
    {
        for (const Entry &e : m_windows)
            if (e.type == std::type_index(typeid(T)))
                return true;
        return false;
    }

    QList<QWidget *> windows() const;
    // Destroys every window, the last created first.
    void clear();
    QWidget *find(const QString &objectName) const;

private:
    struct Entry
    {
        std::type_index type;
        std::unique_ptr<QWidget> window;
    };
    std::vector<Entry> m_windows;
};

} // namespace tabel
