// The statements on a whole run, made once from the runs table's one column list.
#include <string>

#include "store/sqlText.h"

namespace yield::sql {
namespace {

std::string Param(int i) { return kParamMark + std::to_string(i + 1); }

// Each column's part of a statement, joined with ", ".
template <class Part>
std::string EachColumn(Part part) {
    std::string out;
    for (int i = 0; i < kRunColumnCount; ++i) out += (i ? kListSeparator : "") + part(i);
    return out;
}

std::string Names() {
    return EachColumn([](int i) { return std::string(kRunColumnNames[i]); });
}

}  // namespace

const char* InsertRunText() {
    static const std::string text =
        kInsertRunHead + Names() + kInsertRunValues + EachColumn(Param) + kInsertRunTail;
    return text.c_str();
}

const char* UpdateRunText() {
    static const std::string text =
        kUpdateRunHead +
        EachColumn([](int i) { return kRunColumnNames[i] + (kUpdateRunAssign + Param(i)); }) +
        kUpdateRunTail + Param(kRunColumnCount);
    return text.c_str();
}

const char* RunByIdText() {
    static const std::string text = kRunByIdHead + Names() + kRunByIdTail;
    return text.c_str();
}

const char* InsertRunWithSourceText() {
    static const std::string text = [] {
        std::string values;
        int param = kRunColumnCount;
        for (int i = 0; i < Col(SourceColumn::kCount); ++i) {
            values += i ? kListSeparator : "";
            values += i == Col(SourceColumn::run_id) ? kNewRunSourceRun : Param(param++);
        }
        return kNewRunWith + std::string(InsertRunText()) + kNewRunSource + kSourceNames +
               kNewRunSourceValues + values + kNewRunSourceFrom + kSourceConflictTail + kNewRunTail;
    }();
    return text.c_str();
}

}  // namespace yield::sql
