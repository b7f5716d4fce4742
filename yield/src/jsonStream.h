// JSON written piece by piece, byte for byte as nlohmann::json's dump(2) of the whole document
// would write it (members in key order, which the callers keep), without holding the document.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

namespace yield {

class JsonStream {
public:
    explicit JsonStream(std::ostream& out) : out_(out) {}

    // An object or array opened at the current depth; its members or items follow.
    void OpenObject() { Open('{'); }
    void OpenArray() { Open('['); }
    void Close();
    // The next member's key (in an object) or the next item's place (in an array).
    void Key(const char* key);
    void Item();
    // A whole value at the current place, as dump(2) writes it at this depth.
    void Value(const nlohmann::json& value);
    void Member(const char* key, const nlohmann::json& value) {
        Key(key);
        Value(value);
    }

private:
    void Open(char bracket);
    void NewLine(int depth);

    std::ostream& out_;
    std::string brackets_;  // the open ones
    std::vector<bool> empty_;
};

}  // namespace yield
