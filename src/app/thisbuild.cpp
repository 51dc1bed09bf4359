#include "app/buildstamp.h"

namespace tabel {

// Generated at every build.
extern const char *const kBuildDateText;
extern const char *const kBuildTimeText;

BuildStamp thisBuild()
{
    return buildStamp(QString::fromLatin1(kBuildDateText), QString::fromLatin1(kBuildTimeText));
}

} // namespace tabel
