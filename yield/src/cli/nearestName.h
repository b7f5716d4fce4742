// The valid name a mistyped one most likely meant: for "unknown subcommand 'reprot'; did you
// mean 'report'?".
#pragma once

#include <string>
#include <vector>

namespace yield {

// The name of `names` fewest edits (insert, delete, change, swap of neighbours) away from
// `typed`, the first of equals; "" when even that one is too far to be a slip (more than a third
// of the name, and at least 2).
std::string NearestName(const std::string& typed, const std::vector<std::string>& names);

// "unknown subcommand 'reprot'; did you mean 'report'?", or without the question when no name
// is near. `what` names the kind: "subcommand", "option".
std::string UnknownName(const char* what, const std::string& typed,
                        const std::vector<std::string>& names);

}  // namespace yield
