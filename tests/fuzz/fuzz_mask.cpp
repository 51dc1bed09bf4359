// Number masks: the first 8 bytes are the value, the rest the mask.
#include "reportengine/mask.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    double value = 0;
    if (size >= sizeof value) {
        std::memcpy(&value, data, sizeof value);
        data += sizeof value;
        size -= sizeof value;
    }
    const QString mask = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    static const QLocale russian(QLocale::Russian, QLocale::Russia);
    tabel::report::formatNumber(value, mask, russian);
    tabel::report::formatNumber(value, mask, QLocale::c());
    tabel::report::maskDecimals(mask);
    return 0;
}
