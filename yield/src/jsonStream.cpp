#include "jsonStream.h"

namespace yield {

void JsonStream::NewLine(int depth) {
    out_ << '\n';
    for (int i = 0; i < depth * 2; ++i) out_ << ' ';
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

void JsonStream::Key(const char* key) {
    Item();
    out_ << nlohmann::json(key).dump() << ": ";
}

void JsonStream::Value(const nlohmann::json& value) {
    std::string text = value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    std::string indent(brackets_.size() * 2, ' ');
    size_t from = 0;
    for (size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', from)) {
        out_.write(text.data() + from, static_cast<std::streamsize>(nl + 1 - from));
        out_ << indent;
        from = nl + 1;
    }
    out_.write(text.data() + from, static_cast<std::streamsize>(text.size() - from));
}

}  // namespace yield
