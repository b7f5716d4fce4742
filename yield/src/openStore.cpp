// Which engine a --db names.
#include <string_view>

#include "store.h"

namespace yield {

std::unique_ptr<RunStore> OpenStore(const std::string& db, bool create) {
    constexpr std::string_view kScheme = "postgresql:";
    if (db.rfind("postgresql://", 0) == 0 || db.rfind("postgres://", 0) == 0)
        return OpenPgStore(db, create);
    if (db == kScheme) return OpenPgStore("", create);
    if (db.rfind(kScheme, 0) == 0) {
        throw StoreError("cannot open database " + db +
                         ": write postgresql://... or postgresql: alone (PG* variables)");
    }
    return OpenSqliteStore(db, create);
}

}  // namespace yield
