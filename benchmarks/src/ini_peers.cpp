#include "ini_peers.h"

#include <ini.h>

#include <boost/property_tree/ini_parser.hpp>

namespace devbench {

namespace {
int StorePair(void* user, const char* section, const char* name, const char* value) {
    auto* document = static_cast<InihDocument*>(user);
    document->sections[section][name] = value;
    return 1;
}
}  // namespace

boost::property_tree::ptree LoadWithPropertyTree(const std::string& path) {
    boost::property_tree::ptree tree;
    boost::property_tree::ini_parser::read_ini(path, tree);
    return tree;
}

std::optional<std::string> LookUp(const boost::property_tree::ptree& tree,
                                  const std::string& section, const std::string& key) {
    auto child = tree.get_child_optional(boost::property_tree::ptree::path_type(section, '\0'));
    if (!child) return std::nullopt;
    auto value =
        child->get_optional<std::string>(boost::property_tree::ptree::path_type(key, '\0'));
    if (!value) return std::nullopt;
    return *value;
}

InihDocument LoadWithInih(const std::string& path) {
    InihDocument document;
    document.parseResult = ini_parse(path.c_str(), StorePair, &document);
    return document;
}

std::optional<std::string> LookUp(const InihDocument& document, const std::string& section,
                                  const std::string& key) {
    auto sec = document.sections.find(section);
    if (sec == document.sections.end()) return std::nullopt;
    auto entry = sec->second.find(key);
    if (entry == sec->second.end()) return std::nullopt;
    return entry->second;
}

}  // namespace devbench
