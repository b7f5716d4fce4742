#include "openStore.h"

#include <string_view>

namespace yield {

std::unique_ptr<RunStore> OpenStore(const std::string& db, bool create) {
    constexpr std::string_view kScheme = "postgresql:";
    if (db.rfind("postgresql://", 0) == 0 || db.rfind("postgres://", 0) == 0)
        return OpenPgStore(db, create);
    if (db == kScheme) return OpenPgStore("", create);
    if (db.rfind(kScheme, 0) == 0) {
        // Not echoed: what follows the scheme may hold a password.
        throw StoreError(
            "cannot open database: a server is named postgresql://... or postgresql: alone "
            "(PG* variables)");
    }
    return OpenSqliteStore(db, create);
}

std::unique_ptr<ReadStore> OpenReadStore(const std::string& db) { return OpenStore(db, false); }

}  // namespace yield
