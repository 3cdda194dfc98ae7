// Raw CAN frames recorded as a candump log.
#include "pitwall/candump_recorder.h"

namespace pitwall {

std::string candump_recorder::open(const std::string &path) {
    if (std::string why = file_.create(path, {}); !why.empty()) return why;
    frames_ = 0;
    dropped_ = 0;
    return {};
}

void candump_recorder::record(const can::can_frame_record &frame) {
    std::string line = can::candump_line(frame);
    line += '\n';
    if (file_.append(line)) frames_.fetch_add(1, std::memory_order_relaxed);
    else dropped_.fetch_add(1, std::memory_order_relaxed);
}

std::string candump_recorder::close() { return file_.close(); }

} // namespace pitwall
