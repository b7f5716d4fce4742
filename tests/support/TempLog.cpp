#include "TempLog.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "vxLog.h"

TempLog::TempLog() : saved_(filename) {
    char tmpl[] = "/tmp/devuze-log-XXXXXX";
    dir_ = mkdtemp(tmpl);
    path_ = dir_ + "/deVuzeV7.log";
    filename = path_.c_str();
    vxlog::ResetLineNumber();
}

TempLog::~TempLog() {
    filename = saved_;
    vxlog::ResetLineNumber();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string TempLog::Text() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> TempLog::Messages() const {
    std::vector<std::string> out;
    std::istringstream in(Text());
    std::string line;
    while (std::getline(in, line)) {
        auto head = line.find("] ");
        if (line.find("=[RtLog][") != std::string::npos && head != std::string::npos) {
            line = line.substr(head + 2);
        }
        auto tail = line.rfind('\t');
        out.push_back(tail == std::string::npos ? line : line.substr(0, tail));
    }
    return out;
}
