// devuzeV7-bare: does nothing but report its own peak resident memory (VmHWM, in kB), for
// scale beside the tool's: the same compiler, flags and libraries, none of the work.
#include <fstream>
#include <iostream>
#include <string>

int main() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            std::cout << std::stol(line.substr(6)) << "\n";
            return 0;
        }
    }
    return 1;
}
