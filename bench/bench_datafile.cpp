// The data file writer and reader on a whole 123-record configuration.
#include "datafile/data_file.h"

#include <benchmark/benchmark.h>

namespace {
using namespace halvo;

config::Configuration sample()
{
    config::Configuration c;
    for (int i = 0; i < config::ParamCount; ++i)
        c.typeParam(i, QString::number(i * 7 % 256));
    return c;
}

void BM_WriteDataFile(benchmark::State &state)
{
    const auto c = sample();
    for (auto _ : state)
        benchmark::DoNotOptimize(datafile::Build_Data_File(c));
    state.SetItemsProcessed(state.iterations() * 123);
}

void BM_ReadDataFile(benchmark::State &state)
{
    const QByteArray file = *datafile::Build_Data_File(sample());
    for (auto _ : state)
        benchmark::DoNotOptimize(datafile::Parse_Data_File(file));
    state.SetItemsProcessed(state.iterations() * 123);
}
} // namespace

BENCHMARK(BM_WriteDataFile);
BENCHMARK(BM_ReadDataFile);
BENCHMARK_MAIN();
