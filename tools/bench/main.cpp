// Runs the benchmarks with tabular counters unless the command line says otherwise.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

int main(int argc, char** argv) {
    // The default goes first so that a flag given on the command line wins.
    std::string tabular = "--benchmark_counters_tabular=true";
    std::vector<char*> args{argv[0], tabular.data()};
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
