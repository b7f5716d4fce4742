// The tallies the reports read, compared with what the stored rows give (`check`).
#pragma once

#include "store/sqlConnection.h"

namespace yield {

TallyCheckResult CheckTallies(SqlConnection& conn);

}  // namespace yield
