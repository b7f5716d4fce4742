// The store's side of the repair desk over one connection: a disposition recorded in a batch of
// its own, and the history read back.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store/disposition.h"
#include "store/sqlConnection.h"

namespace yield {

class SqlDispositions {
public:
    explicit SqlDispositions(SqlConnection& conn) : conn_(conn) {}

    // As RunStore's and ReadStore's methods of the same names.
    std::optional<Disposition> Dispose(const Disposition& asked);
    std::vector<Disposition> DispositionsOf(const std::string& chipId);
    void ForEachLatestDisposition(const DispositionSink& take);

private:
    SqlConnection& conn_;
};

}  // namespace yield
