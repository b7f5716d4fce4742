// JSON written piece by piece, byte for byte as nlohmann::json's dump(2) of the whole document
// would write it (members in key order, which the callers keep), without holding the document.
#pragma once

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <ostream>

namespace yield {

class JsonStream {
public:
    explicit JsonStream(std::ostream& out);

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
    // An object of scalars as the next item, its members given in key order: what a small
    // object held whole would write, without building one.
    void FlatItem(std::initializer_list<std::pair<const char*, nlohmann::json>> members);

private:
    void Open(char bracket);
    void NewLine(int depth);

    std::ostream& out_;
    // nlohmann::json's own writer, straight into the stream at the depth of the value.
    nlohmann::detail::serializer<nlohmann::json> serializer_;
    std::string brackets_;  // the open ones
    std::vector<bool> empty_;
};

}  // namespace yield
