// JSON with value positions: nlohmann's SAX parser drives a small tree builder, and an iterator
// that counts the bytes the parser has consumed tells where each event happened.
#include "located_json.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>
#include <utility>
#include <vector>

namespace pitwall {
namespace {

// A pointer into the text that counts how far the parser has read.
struct counting_iterator {
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char *;
    using reference = const char &;

    const char *at;
    size_t *consumed;

    reference operator*() const { return *at; }
    counting_iterator &operator++() {
        ++at;
        ++*consumed;
        return *this;
    }
    counting_iterator operator++(int) {
        counting_iterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const counting_iterator &other) const { return at == other.at; }
    bool operator!=(const counting_iterator &other) const { return at != other.at; }
};

bool is_number_char(char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E'; }

// Builds the tree and records, in event order, the byte offset where each value begins. Events
// arrive right after their token: the parser has read the token and, for a number, one byte more.
class tree_builder {
public:
    tree_builder(const std::string &text, const size_t &consumed, json &root)
        : text_(text), consumed_(consumed), root_(root) {}

    bool null() { return add(json(nullptr), consumed_ - 4); }
    bool boolean(bool v) { return add(json(v), consumed_ - (v ? 4 : 5)); }
    bool number_integer(json::number_integer_t v) { return add(json(v), number_start()); }
    bool number_unsigned(json::number_unsigned_t v) { return add(json(v), number_start()); }
    bool number_float(json::number_float_t v, const std::string &) { return add(json(v), number_start()); }
    bool string(std::string &v) { return add(json(std::move(v)), string_start()); }
    bool binary(json::binary_t &) { return fail(consumed_, "binary values are not JSON"); }

    bool start_object(size_t) {
        if (!add(json::object(), consumed_ - 1)) return false;
        keys_.emplace_back();
        return open(consumed_ - 1);
    }
    bool end_object() {
        keys_.pop_back();
        stack_.pop_back();
        return true;
    }
    bool key(std::string &name) {
        size_t start = string_start();
        if (!keys_.back().insert(name).second) return fail(start, "duplicate key \"" + name + "\"");
        member_ = &(*stack_.back())[name];
        return true;
    }
    bool start_array(size_t) {
        if (!add(json::array(), consumed_ - 1)) return false;
        return open(consumed_ - 1);
    }
    bool end_array() {
        stack_.pop_back();
        return true;
    }

    bool parse_error(size_t position, const std::string &, const nlohmann::detail::exception &ex) {
        // The message reads "[json.exception.KIND] parse error at line L, column C: cause"; the
        // position is given separately, so keep only the cause.
        std::string what = ex.what();
        size_t cut = what.find("column ");
        cut = cut != std::string::npos ? what.find(": ", cut) : std::string::npos;
        if (cut == std::string::npos) cut = what.find("] ");
        std::string cause = cut != std::string::npos ? what.substr(cut + 2) : what;
        return fail(position > 0 ? position - 1 : 0, cause);
    }

    const std::vector<size_t> &starts() const { return starts_; }
    size_t error_offset() const { return error_offset_; }
    const std::string &error() const { return error_; }

private:
    bool add(json &&value, size_t start) {
        starts_.push_back(start);
        if (stack_.empty()) {
            root_ = std::move(value);
            last_ = &root_;
        } else if (stack_.back()->is_array()) {
            stack_.back()->push_back(std::move(value));
            last_ = &stack_.back()->back();
        } else {
            *member_ = std::move(value);
            last_ = member_;
        }
        return true;
    }
    // The value just added is a container the next values go into (nothing is added to its
    // parent until it is closed, so the pointer stays valid).
    bool open(size_t start) {
        if (stack_.size() >= located_json::max_depth)
            return fail(start, "nested deeper than " + std::to_string(located_json::max_depth) + " levels");
        stack_.push_back(last_);
        return true;
    }
    bool fail(size_t offset, std::string cause) {
        error_offset_ = offset;
        error_ = std::move(cause);
        return false;
    }
    // A string's closing quote is the last byte read; its opening quote is the nearest quote
    // before it that no backslash escapes.
    size_t string_start() const {
        size_t i = consumed_ - 1;
        while (i > 0) {
            --i;
            if (text_[i] != '"') continue;
            size_t backslashes = 0;
            while (backslashes < i && text_[i - 1 - backslashes] == '\\') ++backslashes;
            if (backslashes % 2 == 0) return i;
        }
        return 0;
    }
    // The parser read one byte past a number, unless the number ends the text.
    size_t number_start() const {
        size_t end = consumed_;
        if (end > 0 && !is_number_char(text_[end - 1])) --end;
        while (end > 0 && is_number_char(text_[end - 1])) --end;
        return end;
    }

    const std::string &text_;
    const size_t &consumed_;
    json &root_;
    std::vector<json *> stack_;
    std::vector<std::unordered_set<std::string>> keys_;
    json *member_ = nullptr;
    json *last_ = nullptr;
    std::vector<size_t> starts_;
    size_t error_offset_ = 0;
    std::string error_;
};

} // namespace

bool located_json::parse(const std::string &text, std::string *err) {
    text_ = text;
    root_ = json();
    starts_.clear();
    if (std::all_of(text_.begin(), text_.end(), [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; })) {
        if (err != nullptr) *err = "1:1: the file is empty";
        return false;
    }
    size_t consumed = 0;
    tree_builder builder(text_, consumed, root_);
    counting_iterator first{text_.data(), &consumed};
    counting_iterator last{text_.data() + text_.size(), &consumed};
    if (!json::sax_parse(first, last, &builder)) {
        if (err != nullptr) *err = where(builder.error_offset()) + ": " + builder.error();
        root_ = json();
        return false;
    }
    // The tree in document order meets its values in the order the parser reported them.
    const std::vector<size_t> &starts = builder.starts();
    std::vector<const json *> pending{&root_};
    size_t next = 0;
    while (!pending.empty() && next < starts.size()) {
        const json *value = pending.back();
        pending.pop_back();
        starts_[value] = starts[next++];
        if (value->is_structured()) {
            size_t first_child = pending.size();
            for (const json &child : *value) pending.push_back(&child);
            std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(first_child), pending.end());
        }
    }
    return true;
}

std::string located_json::where(const json &value) const {
    auto it = starts_.find(&value);
    return where(it != starts_.end() ? it->second : 0);
}

std::string located_json::where(size_t offset) const {
    offset = std::min(offset, text_.size());
    size_t line = 1, line_start = 0;
    for (size_t i = 0; i < offset; ++i)
        if (text_[i] == '\n') {
            ++line;
            line_start = i + 1;
        }
    return std::to_string(line) + ":" + std::to_string(offset - line_start + 1);
}

} // namespace pitwall
