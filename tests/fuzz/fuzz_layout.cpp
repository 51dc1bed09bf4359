// Layout files: load and validate any JSON.
#include "reportengine/formula.h"
#include "reportengine/layout.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    try {
        tabel::report::Layout::fromJson(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)),
                                        QStringLiteral("fuzz.json"));
    } catch (const tabel::report::ReportError &) {
    }
    return 0;
}
