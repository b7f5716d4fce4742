// The statements on a whole run, made once from the runs table's one column list.
#include <string>

#include "sqlText.h"

namespace yield::sql {
namespace {

constexpr char kSeparator[] = ", ";
constexpr char kParam[] = "$";
constexpr char kInsertHead[] = "INSERT INTO runs (";
constexpr char kInsertValues[] = ") VALUES (";
constexpr char kInsertTail[] = ") ON CONFLICT (host, chip_id, start_stamp) DO NOTHING RETURNING id";
constexpr char kUpdateHead[] = "UPDATE runs SET ";
constexpr char kUpdateAssign[] = " = ";
constexpr char kUpdateTail[] = " WHERE id = ";
constexpr char kSelectHead[] = "SELECT ";
constexpr char kSelectTail[] = " FROM runs WHERE id = $1";

std::string Param(int i) { return kParam + std::to_string(i + 1); }

// Each column's part of a statement, joined with ", ".
template <class Part>
std::string EachColumn(Part part) {
    std::string out;
    for (int i = 0; i < kRunColumnCount; ++i) out += (i ? kSeparator : "") + part(i);
    return out;
}

std::string Names() {
    return EachColumn([](int i) { return std::string(kRunColumnNames[i]); });
}

}  // namespace

const char* InsertRunText() {
    static const std::string text =
        kInsertHead + Names() + kInsertValues + EachColumn(Param) + kInsertTail;
    return text.c_str();
}

const char* UpdateRunText() {
    static const std::string text =
        kUpdateHead +
        EachColumn([](int i) { return kRunColumnNames[i] + (kUpdateAssign + Param(i)); }) +
        kUpdateTail + Param(kRunColumnCount);
    return text.c_str();
}

const char* RunByIdText() {
    static const std::string text = kSelectHead + Names() + kSelectTail;
    return text.c_str();
}

}  // namespace yield::sql
