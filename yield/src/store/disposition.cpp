#include "store/disposition.h"

#include <algorithm>

#include "store/utf8.h"

namespace yield {
namespace {

constexpr char kWrongStatus[] = "a disposition is repaired, scrapped or returned";
constexpr char kNoBy[] = "who made the disposition is not given";
constexpr char kByTooLong[] = "who made the disposition takes at most 64 bytes";
constexpr char kNoteTooLong[] = "the note takes at most 1000 bytes";
constexpr char kNotUtf8[] = " is not UTF-8 text";
constexpr char kControl[] = " holds a control character";
constexpr char kByName[] = "who";
constexpr char kNoteName[] = "the note";
constexpr unsigned char kDelete = 0x7F;

// "" for UTF-8 text without control characters (a line feed allowed where `lines`).
std::string CheckText(const std::string& text, const char* name, bool lines) {
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && !(lines && c == '\n')) || c == kDelete)
            return name + std::string(kControl);
        size_t n = Utf8Length(text, i);
        if (n == 0) return name + std::string(kNotUtf8);
        // C1 controls, U+0080 to U+009F.
        if (n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0)
            return name + std::string(kControl);
        i += n;
    }
    return "";
}

}  // namespace

const std::vector<std::string>& DispositionWords() {
    static const std::vector<std::string> words = {kDisposeRepaired, kDisposeScrapped,
                                                   kDisposeReturned};
    return words;
}

std::string CheckDisposition(const std::string& status, const std::string& by,
                             const std::string& note) {
    const auto& words = DispositionWords();
    if (std::find(words.begin(), words.end(), status) == words.end()) return kWrongStatus;
    if (by.empty()) return kNoBy;
    if (by.size() > kDisposeByBytes) return kByTooLong;
    if (note.size() > kDisposeNoteBytes) return kNoteTooLong;
    std::string wrong = CheckText(by, kByName, false);
    return wrong.empty() ? CheckText(note, kNoteName, true) : wrong;
}

}  // namespace yield
