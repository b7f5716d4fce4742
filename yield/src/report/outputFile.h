// An output file written whole or not at all: the text goes to a temporary file in the same
// folder, renamed over the path only once it is complete, so a full disk or a failure part way
// never leaves half a file and keeps the one that was there. A link is followed (the file it names
// is replaced, the link stays); a device or a pipe is written in place.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace yield {

class OutputFile {
public:
    explicit OutputFile(const std::string& path);
    ~OutputFile();  // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool ok() const { return static_cast<bool>(out_); }
    std::ostream& stream() { return out_; }
    // Closes the temporary file and puts it in the path's place; false when anything failed (the
    // temporary file is then removed).
    bool Commit();

private:
    std::string path_;
    std::string temp_;
    std::vector<char> buffer_;  // the stream's, larger than its own: fewer writes for a big file
    std::ofstream out_;
    bool done_ = false;
};

}  // namespace yield
