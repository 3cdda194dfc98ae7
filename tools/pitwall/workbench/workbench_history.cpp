// The workbench's undo and redo: every edit keeps the document before and after it, and going back
// or forth builds the scene from that document again; see workbench.h.
#include "workbench.h"

namespace pitwall::cli {

void workbench::remember_locked(std::string what, nlohmann::ordered_json before, bool merge) {
    if (merge && !undo_.empty() && undo_.back().what == what) {
        undo_.back().after = document_;
    } else {
        undo_.push_back({std::move(what), std::move(before), document_});
        if (undo_.size() > max_history) undo_.pop_front();
    }
    redo_.clear();
    unsaved_ = document_ != saved_;
}

error workbench::restore_locked(const nlohmann::ordered_json &document) {
    if (error e = rebuild_locked(document); !e.empty()) return e;
    unsaved_ = document_ != saved_;
    return {};
}

bool workbench::undo(error *err) {
    std::lock_guard lock(mutex_);
    if (!now_ || undo_.empty()) return false;
    if (error e = restore_locked(undo_.back().before); !e.empty()) {
        if (err != nullptr) *err = "cannot undo " + undo_.back().what + ": " + e;
        return false;
    }
    redo_.push_back(std::move(undo_.back()));
    undo_.pop_back();
    return true;
}

bool workbench::redo(error *err) {
    std::lock_guard lock(mutex_);
    if (!now_ || redo_.empty()) return false;
    if (error e = restore_locked(redo_.back().after); !e.empty()) {
        if (err != nullptr) *err = "cannot redo " + redo_.back().what + ": " + e;
        return false;
    }
    undo_.push_back(std::move(redo_.back()));
    redo_.pop_back();
    return true;
}

} // namespace pitwall::cli
