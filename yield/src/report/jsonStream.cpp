#include "report/jsonStream.h"

#include <algorithm>
#include <string>

namespace yield {

JsonStream::JsonStream(std::ostream& out)
    : out_(out),
      serializer_(nlohmann::detail::output_adapter<char>(out), ' ',
                  nlohmann::json::error_handler_t::replace) {}

void JsonStream::NewLine(int depth) {
    static const std::string kSpaces(64, ' ');
    out_.put('\n');
    for (size_t left = static_cast<size_t>(depth) * 2; left > 0;) {
        size_t n = std::min(left, kSpaces.size());
        out_.write(kSpaces.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
}

void JsonStream::Open(char bracket) {
    out_ << bracket;
    brackets_.push_back(bracket);
    empty_.push_back(true);
}

void JsonStream::Close() {
    char bracket = brackets_.back();
    bool empty = empty_.back();
    brackets_.pop_back();
    empty_.pop_back();
    if (!empty) NewLine(static_cast<int>(brackets_.size()));
    out_ << (bracket == '{' ? '}' : ']');
}

void JsonStream::Item() {
    if (!empty_.back()) out_ << ',';
    empty_.back() = false;
    NewLine(static_cast<int>(brackets_.size()));
}

// Keys are the writers' own names: nothing in them to escape.
void JsonStream::Key(const char* key) {
    Item();
    out_ << '"' << key << "\": ";
}

void JsonStream::Value(const nlohmann::json& value) {
    serializer_.dump(value, true, false, 2, static_cast<unsigned>(brackets_.size() * 2));
}

void JsonStream::FlatItem(std::initializer_list<std::pair<const char*, nlohmann::json>> members) {
    Item();
    OpenObject();
    for (const auto& [key, value] : members) Member(key, value);
    Close();
}

}  // namespace yield
