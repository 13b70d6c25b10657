// libFuzzer target: arbitrary bytes as a configuration data file. The reader takes
// a file whole or refuses it; whatever it takes must be written back and read
// again to exactly the same file.
#include "datafile/data_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
using namespace halvo;

QByteArray rewrite(const std::vector<datafile::DataRecord> &records)
{
    config::Configuration c;
    datafile::Apply_Records(records, c, datafile::Parameter0::Load);
    const auto file = datafile::Build_Data_File(c);
    if (!file)
        std::abort(); // whatever the reader takes, the writer can write
    return *file;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto records = datafile::Parse_Data_File(
        QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    if (!records)
        return 0;
    const QByteArray once = rewrite(*records);
    const auto again = datafile::Parse_Data_File(once);
    if (!again || again->size() != 123 || rewrite(*again) != once)
        std::abort();
    return 0;
}
