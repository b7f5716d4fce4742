// The two peer INI readers that SimpleIni is compared with, each loading a whole file into a
// document that answers look-ups by section and key.
#pragma once

#include <boost/property_tree/ptree.hpp>
#include <map>
#include <optional>
#include <string>

namespace devbench {

// Boost.PropertyTree's INI reader. Throws boost::property_tree::ini_parser_error on a file it
// rejects (a missing file or a duplicate key, for example).
boost::property_tree::ptree LoadWithPropertyTree(const std::string& path);
std::optional<std::string> LookUp(const boost::property_tree::ptree& tree,
                                  const std::string& section, const std::string& key);

// The callback parser, its handler storing every pair into ordered maps (the same shape of
// document SimpleIni builds).
struct InihDocument {
    std::map<std::string, std::map<std::string, std::string>> sections;
    int parseResult = -1;  // ini_parse: 0, or the first line in error, or -1 when not opened
};
InihDocument LoadWithInih(const std::string& path);
std::optional<std::string> LookUp(const InihDocument& document, const std::string& section,
                                  const std::string& key);

}  // namespace devbench
