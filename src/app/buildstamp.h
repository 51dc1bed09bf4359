#pragma once

#include <QString>

namespace tabel {

// The build stamp every copy of the program carries: build date as YYYYMMDD and build time as seconds
// since midnight, computed from the build tools' texts "Mmm dd yyyy" and "hh:mm:ss".
struct BuildStamp
{
    int date = 0;
    int time = 0;
    bool operator==(const BuildStamp &) const = default;
};

BuildStamp buildStamp(const QString &dateText, const QString &timeText);

// The stamp of this build, from the texts generated when it was built.
BuildStamp thisBuild();

} // namespace tabel
