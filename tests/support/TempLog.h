// Points the trace log at a fresh temporary file for the length of a test.
#pragma once

#include <string>
#include <vector>

class TempLog {
public:
    TempLog();
    ~TempLog();
    const std::string& Path() const { return path_; }
    std::string Text() const;
    // The log's lines, each without its "<n>=[RtLog][date time] " head and its tab tail.
    std::vector<std::string> Messages() const;

private:
    std::string dir_;
    std::string path_;
    const char* saved_;
};
