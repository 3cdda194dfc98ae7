// located_json.h - JSON read into an order-preserving tree that remembers where each value begins
// in the text, so that a scene's errors can name a line and a column.
#ifndef PITWALL_LOCATED_JSON_H
#define PITWALL_LOCATED_JSON_H

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>
#include <unordered_map>

namespace pitwall {

// Objects keep their members in file order.
using json = nlohmann::ordered_json;

class located_json {
public:
    // Deeper nesting than this is refused: no scene needs it, and it bounds the work per byte.
    static constexpr size_t max_depth = 256;

    // Parse the whole text. On failure, *err is "LINE:COLUMN: cause" (syntax errors, numbers out of
    // range, duplicate keys, nesting too deep, an empty text).
    bool parse(const std::string &text, std::string *err);

    const json &root() const { return root_; }

    // "LINE:COLUMN" where a value of the tree begins (both counted from 1); "1:1" for a value that
    // is not part of it.
    std::string where(const json &value) const;
    // "LINE:COLUMN" of a byte offset in the text.
    std::string where(size_t offset) const;

private:
    std::string text_;
    json root_;
    std::unordered_map<const json *, size_t> starts_;
};

} // namespace pitwall

#endif // PITWALL_LOCATED_JSON_H
