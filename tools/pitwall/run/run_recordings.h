// run_recordings.h - what `pitwall run --record` writes: the values received as a telemetry log
// (FILE.csv, or any name but .log) and the raw CAN frames heard as a candump log (FILE.log). Both
// are new files, written on threads of their own, and outlive the sessions a SIGHUP swaps.
#ifndef PITWALL_RUN_RECORDINGS_H
#define PITWALL_RUN_RECORDINGS_H

#include "pitwall/candump_recorder.h"
#include "pitwall/telemetry_recorder.h"

#include <string>
#include <vector>

namespace pitwall::cli {

class run_recordings {
public:
    // Sorts the --record names into the two kinds; false, saying why, for two of one kind.
    bool choose(const std::vector<std::string> &paths);
    // The raw frames' log, before any feed opens (the CAN feeds write to it). False, saying why.
    bool open_raw();
    candump_recorder *raw() { return raw_open_ ? &raw_ : nullptr; }
    // The values' log, with the table's channels as its columns. False, saying why.
    bool open_values(const latest_values &table);
    value_tap *values() { return values_open_ ? &values_ : nullptr; }
    const std::string &values_path() const { return values_path_; }
    // Everything written, synced and closed; false, saying why, when a write failed.
    bool close();

private:
    std::string values_path_, raw_path_;
    telemetry_recorder values_;
    candump_recorder raw_;
    bool values_open_ = false, raw_open_ = false;
};

} // namespace pitwall::cli

#endif // PITWALL_RUN_RECORDINGS_H
