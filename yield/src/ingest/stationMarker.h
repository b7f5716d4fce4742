// Which station (fixture) a log was gathered at. A line's boards may all carry one host name,
// while each fixture keeps its sticks: a marker file at the top of a stick or of a station's
// folder names the station of every log under it.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace yield {

// The marker's file name; it holds one line, the station's name.
constexpr char kStationMarker[] = "devuzeV7-station";
constexpr size_t kMaxStationBytes = 64;

// `text` as a station name: blanks around it trimmed, one line of printable ASCII of at most
// kMaxStationBytes. False with the reason when it is not one.
bool ParseStation(std::string_view text, std::string& station, std::string& why);

// The stations of the logs under the paths an ingest is given, each folder looked at once.
class StationMarkers {
public:
    // The station of `file` found under `root`: the marker nearest to it, from its folder up to
    // `root` and no further (for a file given itself as `root`, its folder alone); "" for none.
    // A bad marker gives no station and stops the search there.
    std::string StationOf(const std::string& root, const std::string& file);
    // The bad markers met since the last call, each once: its path, why.
    std::vector<std::pair<std::string, std::string>> TakeProblems();

private:
    struct Folder {
        bool marked = false;  // a marker is there, good or bad: the search ends here
        std::string station;
    };
    const Folder& Look(const std::string& folder);

    std::map<std::string, Folder> folders_;
    std::vector<std::pair<std::string, std::string>> problems_;
};

}  // namespace yield
