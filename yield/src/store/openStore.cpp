#include "store/openStore.h"

#include <string_view>

namespace yield {

bool NamesServer(const std::string& db, std::string& conninfo) {
    constexpr std::string_view kScheme = "postgresql:";
    if (db.rfind("postgresql://", 0) == 0 || db.rfind("postgres://", 0) == 0) {
        conninfo = db;
        return true;
    }
    if (db == kScheme) {
        conninfo.clear();
        return true;
    }
    if (db.rfind(kScheme, 0) == 0) {
        // Not echoed: what follows the scheme may hold a password.
        throw StoreError(
            "cannot open database: a server is named postgresql://... or postgresql: alone "
            "(PG* variables)");
    }
    return false;
}

namespace {

std::unique_ptr<RunStore> Open(const std::string& db, SchemaUse use) {
    std::string conninfo;
    if (NamesServer(db, conninfo)) return OpenPgStore(conninfo, use);
    return OpenSqliteStore(db, use);
}

}  // namespace

std::unique_ptr<RunStore> OpenStore(const std::string& db, bool create) {
    return Open(db, create ? SchemaUse::Create : SchemaUse::Read);
}

std::unique_ptr<RunStore> OpenUpgradeStore(const std::string& db) {
    return Open(db, SchemaUse::Upgrade);
}

std::unique_ptr<ReadStore> OpenReadStore(const std::string& db) { return OpenStore(db, false); }

}  // namespace yield
