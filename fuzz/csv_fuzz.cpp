// Fuzz target: a byte buffer read as a CSV file, then the readers' promises checked
// (fuzz/formats_check.h).
#include <cstddef>
#include <cstdint>

#include "formats/csv.h"
#include "fuzz/formats_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    formatsfuzz::check(zn::formats::readCsv(bytes));
    return 0;
}
