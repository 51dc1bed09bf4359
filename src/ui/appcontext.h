#pragma once

#include "ui/windowservices.h"

namespace tabel {

class DataModule;
class Session;
class WindowRegistry;

// What every window is handed at its creation: the shared data module, the session of this run, the
// message boxes and the modal call, and the registry through which it opens other windows.
struct AppContext
{
    DataModule *data = nullptr;
    Session *session = nullptr;
    WindowServices services;
    WindowRegistry *windows = nullptr;
};

} // namespace tabel
