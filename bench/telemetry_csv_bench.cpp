// Telemetry logs read through the scene loader: the time a hostile field of quotes takes, and the
// peak memory of logs at the 64 MiB file cap. The peak is that of a child process doing one load
// (ru_maxrss from wait4), so that what other benchmarks left in the heap does not count; "base_MiB"
// is what the child starts with, its copy of this program.
#include "pitwall/scene.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A temporary folder holding one log, removed with the object.
class log_folder {
public:
    log_folder() {
        char pattern[] = "/tmp/pitwall_csv_bench.XXXXXX";
        if (mkdtemp(pattern) != nullptr) dir_ = pattern;
    }
    ~log_folder() {
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }
    log_folder(const log_folder &) = delete;
    log_folder &operator=(const log_folder &) = delete;

    bool ok() const { return !dir_.empty(); }
    const std::string &dir() const { return dir_; }
    std::string path() const { return dir_ + "/log.csv"; }

private:
    std::string dir_;
};

// A scene mapping each of `columns` (comma-separated names) to a control's value.
std::string scene_of(const std::string &columns) {
    // A value box per column, for its channel to drive: a channel must name a control.
    std::string controls, channels;
    size_t start = 0;
    for (;;) {
        const size_t end = columns.find(',', start);
        const std::string name = columns.substr(start, end - start);
        if (!controls.empty()) controls += ", ", channels += ", ";
        controls += R"({"widget": "Basic Box", "name": ")" + name + "\"}";
        channels += "\"" + name + "\": {\"control\": \"" + name + "\", \"attribute\": \"value\"}";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return R"({"controls": [)" + controls + R"(], "telemetry": {"file": "log.csv", "channels": {)" + channels + "}}}";
}

bool load(const log_folder &folder, const std::string &json) {
    pitwall::scene s;
    pitwall::error err;
    return pitwall::parse_scene(json, folder.dir(), s, &err);
}

// One row whose note field is `x` and then a million quotes, each of which used to re-trim the
// whole field read so far.
void telemetry_field_of_quotes(benchmark::State &state) {
    log_folder folder;
    if (!folder.ok()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    std::ofstream(folder.path(), std::ios::binary)
        << "t,rpm,note\n0,1,x" << std::string(size_t(state.range(0)), '"') << "\n";
    const std::string json = scene_of("rpm");
    bool accepted = false;
    for (auto _ : state) accepted = load(folder, json);
    state.counters["accepted"] = accepted ? 1 : 0;
}
BENCHMARK(telemetry_field_of_quotes)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

enum log_kind { zero_rows, empty_columns, widest_log, quoted_notes };

// Logs just under the 64 MiB cap. zero_rows: "0,0" on every line. empty_columns: a header of
// 64 M empty column names. widest_log: a million rows of four mapped channels and an
// unmapped note, 64 bytes a row. quoted_notes: 5000 rows of two notes just within the field limit,
// 4000 quotes after an x and 4000 quotes escaped in a quoted field.
std::string columns_of(log_kind kind) { return kind == widest_log ? "a,b,c,d" : "rpm"; }

void write_log(const std::string &path, log_kind kind) {
    std::ofstream out(path, std::ios::binary);
    if (kind == zero_rows) {
        out << "t,rpm\n";
        std::string rows;
        for (int i = 0; i < 4096; ++i) rows += "0,0\n";
        for (int i = 0; i < 4095; ++i) out << rows; // 64 MiB less one block, for the header
    } else if (kind == empty_columns) {
        out << "t,rpm" << std::string((64u << 20) - 16, ',') << "\n";
    } else if (kind == quoted_notes) {
        out << "t,rpm,note,quote\n";
        const std::string notes = ",x" + std::string(4000, '"') + ",\"" + std::string(8000, '"') + "\"\n";
        for (int i = 0; i < 5000; ++i) out << i << "," << i % 9000 << notes;
    } else {
        out << "t,a,b,c,d,note\n";
        char row[80];
        for (int i = 0; i < 1000000; ++i) {
            const int n = std::snprintf(row, sizeof row, "%d.%02d,%d,%d.5,%d,-%d,", i / 100, i % 100, i % 9000,
                                        i % 120, i % 7, i % 50);
            out.write(row, n);
            out << std::string(size_t(63 - n), '.') << '\n';
        }
    }
}

// Resident megabytes of this process now.
double resident_mib() {
    long pages = 0, resident = 0;
    if (std::FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

void telemetry_peak_memory(benchmark::State &state, log_kind kind) {
    log_folder folder;
    if (!folder.ok()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    write_log(folder.path(), kind);
    const std::string json = scene_of(columns_of(kind));
    double peak_mib = 0;
    int status = 0;
    for (auto _ : state) {
        const pid_t child = fork();
        if (child == 0) _exit(load(folder, json) ? 0 : 1);
        struct rusage usage {};
        if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status)) {
            state.SkipWithError("the loading child did not finish");
            return;
        }
        peak_mib = double(usage.ru_maxrss) / 1024; // kilobytes
    }
    state.counters["peak_MiB"] = peak_mib;
    state.counters["base_MiB"] = resident_mib();
    state.counters["accepted"] = WEXITSTATUS(status) == 0 ? 1 : 0;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(std::filesystem::file_size(folder.path())));
}

// Two loads each: a load is a whole log, and its peak does not vary. Real time, since the work is
// the child's.
void loads(benchmark::internal::Benchmark *b) { b->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond); }
BENCHMARK_CAPTURE(telemetry_peak_memory, zero_rows, zero_rows)->Apply(loads);
BENCHMARK_CAPTURE(telemetry_peak_memory, empty_columns, empty_columns)->Apply(loads);
BENCHMARK_CAPTURE(telemetry_peak_memory, widest_log, widest_log)->Apply(loads);
BENCHMARK_CAPTURE(telemetry_peak_memory, quoted_notes, quoted_notes)->Apply(loads);

} // namespace
