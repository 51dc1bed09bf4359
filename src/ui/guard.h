#pragma once

#include <functional>

namespace tabel {

class MessageService;

// Runs one user action. A failure stops it and is shown in the application's standard error box; the
// program goes on. Returns false when the action failed.
bool guarded(MessageService *messages, const std::function<void()> &action);

} // namespace tabel
