// devuzeV7-factory-check: checks a factory day's yield report against the bench's own records.
// Every expected figure is computed here from the runs' record.json files (verdict, host name,
// result document with each port's 1 or 0) and the plan (which processor ID each run had, in
// which fixture); the report's JSON, the per-run JSON export and the store's views must agree
// with them run by run. Every board carries the line's one host name, so the fixture is the run's
// station: the report, the export and the views must give each run its fixture, and the day's
// cut cable must be flagged at its fixture.
// Usage: devuzeV7-factory-check --plan plan.tsv --runs DIR --report report.json --export DIR
//                               --views DIR (runs.tsv, ports.tsv, repair.tsv as factory-day.sh
//                               writes them)
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

int g_failures = 0;

void Fail(const std::string& what) {
    ++g_failures;
    std::cerr << "MISMATCH: " << what << "\n";
}

json ReadJson(const fs::path& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return json::parse(in);
}

// The host name as the tool's log header writes it: control bytes escaped. (The record and the
// export both carry bytes that are not UTF-8 as U+FFFD.)
std::string LoggedHost(const std::string& raw) {
    std::string out;
    char hex[8];
    for (char ch : raw) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += ch;
        }
    }
    return out;
}

struct BenchRun {
    std::string number, fixture, chip, scenario;
    std::string station;  // as the ingest was told, "" where none was set
    std::string host;     // as logged
    std::string stamp;    // the result document's DateTime
    bool passed = false;
    std::map<std::string, bool> ports;  // "RS232-1" -> passed
};

// The result document's start stamp and ports. The document is the tool's text: a host name with
// quotes can break it as JSON before "logDate", so only the part from "logDate" on is parsed.
void ReadResultDocument(const std::string& doc, BenchRun& run) {
    const std::string stampKey = "\"DateTime\":\"";
    size_t s = doc.rfind(stampKey);
    size_t l = doc.rfind("\"logDate\":");
    if (s == std::string::npos || l == std::string::npos)
        throw std::runtime_error("run " + run.number +
                                 ": result document without DateTime/logDate");
    run.stamp = doc.substr(s + stampKey.size(), 19);
    size_t open = doc.find('[', l), close = doc.rfind(']');
    json families = json::parse(doc.substr(open, close - open + 1));
    for (const json& f : families) {
        int number = 0;
        for (const json& p : f["info"])
            run.ports[f["name"].get<std::string>() + "-" + std::to_string(++number)] =
                p["port"].get<int>() == 1;
    }
}

std::vector<BenchRun> ReadRuns(const fs::path& plan, const fs::path& runsDir) {
    std::vector<BenchRun> runs;
    std::ifstream in(plan);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream cols(line);
        BenchRun r;
        std::getline(cols, r.number, '\t');
        std::getline(cols, r.fixture, '\t');
        std::getline(cols, r.chip, '\t');
        std::getline(cols, r.scenario, '\t');
        std::string action;
        std::getline(cols, action, '\t');
        std::getline(cols, r.station, '\t');
        json rec = ReadJson(runsDir / r.number / "record.json");
        if (rec["exit"]["timed_out"].get<bool>() || rec["exit"]["code"].get<int>() != 0)
            Fail("run " + r.number + ": the tool did not complete");
        std::string verdict = rec["verdict"].is_string() ? rec["verdict"].get<std::string>() : "";
        if (verdict != "OK" && verdict != "ERR") Fail("run " + r.number + ": no verdict");
        r.passed = verdict == "OK";
        r.host = LoggedHost(rec["hostname"].get<std::string>());
        // Runs gathered where no station is set are known by their host name.
        r.fixture = r.station.empty() ? r.host : r.station;
        if (!rec["result_document"].is_string())
            throw std::runtime_error("run " + r.number + ": no result document");
        ReadResultDocument(rec["result_document"].get<std::string>(), r);
        runs.push_back(std::move(r));
    }
    if (runs.empty()) throw std::runtime_error("no runs in " + plan.string());
    return runs;
}

std::string FamilyOf(const std::string& port) { return port.substr(0, port.rfind('-')); }

// Every failed port of the bench's run is in a cause that says what failed it (a value or a log
// line), and a run failed before any port says why once.
void CheckCauses(const std::string& id, const std::map<std::string, bool>& benchPorts,
                 const json& causes) {
    std::set<std::string> said;
    for (const json& c : causes) {
        bool says = !c["value"].is_null() || (c["message"].is_string() && c["message"] != "");
        if (!says) Fail(id + ": a cause that says nothing: " + c.dump());
        for (const json& p : c["ports"])
            if (!said.insert(p.get<std::string>()).second) Fail(id + ": " + p.dump() + " twice");
    }
    bool anyFailed = false;
    for (const auto& [port, ok] : benchPorts) {
        anyFailed = anyFailed || !ok;
        if (!ok && said.count(port) == 0) Fail(id + ": failed port " + port + " without a cause");
        if (ok && said.count(port) != 0) Fail(id + ": passed port " + port + " given a cause");
    }
    if (!anyFailed && causes.empty()) Fail(id + ": failed without a cause");
}

// The ports of the run's failed measurements are its failed ports: a measurement of a family
// (the stick count) belongs to a failed port of that family.
void CheckFailedMeasurements(const std::string& id, const std::map<std::string, bool>& benchPorts,
                             const json& record) {
    std::set<std::string> failedFamilies;
    for (const auto& [port, ok] : benchPorts)
        if (!ok) failedFamilies.insert(FamilyOf(port));
    for (const json& phase : record["phases"]) {
        if (phase["name"] == "ports") continue;
        for (const json& m : phase["measurements"]) {
            if (m["outcome"] != "FAIL") continue;
            std::string port = m["port"].get<std::string>();
            auto it = benchPorts.find(port);
            bool ok = it != benchPorts.end() ? !it->second : failedFamilies.count(port) != 0;
            if (!ok)
                Fail(id + ": " + m["name"].dump() + " failed under " + port + ", which passed");
        }
    }
}

// Each bench run must be exported once, with its host, verdict and every port's outcome.
void CheckExport(const std::vector<BenchRun>& runs, const fs::path& dir) {
    std::map<std::pair<std::string, std::string>, json> exported;
    for (const auto& e : fs::directory_iterator(dir)) {
        json j = ReadJson(e.path());
        auto key = std::make_pair(j["dut"]["device_id"].get<std::string>(),
                                  j["start_stamp"].get<std::string>());
        if (!exported.emplace(key, j).second) Fail("run exported twice: " + key.first);
    }
    if (exported.size() != runs.size())
        Fail("exported " + std::to_string(exported.size()) + " runs, the bench ran " +
             std::to_string(runs.size()));
    for (const BenchRun& r : runs) {
        std::string id =
            "run " + r.number + " (" + r.chip + " " + r.stamp + ", " + r.scenario + ")";
        auto it = exported.find({r.chip, r.stamp});
        if (it == exported.end()) {
            Fail(id + ": not in the export");
            continue;
        }
        const json& j = it->second;
        if (j["dut"]["host"] != r.host)
            Fail(id + ": host " + j["dut"]["host"].dump() + ", bench " + json(r.host).dump());
        json station = r.station.empty() ? json() : json(r.station);
        if (j["dut"]["station"] != station)
            Fail(id + ": station " + j["dut"]["station"].dump() + ", bench " + station.dump());
        if (j["outcome"] != (r.passed ? "PASS" : "FAIL"))
            Fail(id + ": outcome " + j["outcome"].dump() + ", bench " + (r.passed ? "OK" : "ERR"));
        std::map<std::string, bool> ports;
        for (const json& phase : j["phases"]) {
            if (phase["name"] != "ports") continue;
            for (const json& m : phase["measurements"])
                ports[m["name"].get<std::string>()] = m["outcome"] == "PASS";
        }
        if (ports != r.ports) {
            std::string failing;
            for (const auto& [port, ok] : ports) failing += ok ? "" : " " + port;
            Fail(id + ": ports differ from the result document (export fails:" + failing + ")");
        }
        CheckFailedMeasurements(id, r.ports, j);
        if (!r.passed) CheckCauses(id, r.ports, j["failures"]);
        if (r.passed && !j["failures"].empty()) Fail(id + ": passed with failures");
    }
}

bool Near(double a, double b) { return std::fabs(a - b) < 1e-9; }

void Expect(const std::string& what, const json& got, long long want) {
    if (!got.is_number() || got.get<long long>() != want)
        Fail(what + ": report " + got.dump() + ", bench " + std::to_string(want));
}

void ExpectRatio(const std::string& what, const json& got, double want) {
    if (!got.is_number() || !Near(got.get<double>(), want))
        Fail(what + ": report " + got.dump() + ", bench " + std::to_string(want));
}

// Yields and retests: each board's runs in start order.
void CheckSummary(const std::vector<BenchRun>& runs, const json& report) {
    std::map<std::string, std::map<std::string, bool>> boards;  // chip -> stamp -> passed
    for (const BenchRun& r : runs) boards[r.chip][r.stamp] = r.passed;
    long long first = 0, final = 0, retested = 0, retestRuns = 0, recovered = 0;
    std::map<std::string, json> retests;
    for (const auto& [chip, byStamp] : boards) {
        bool f = byStamp.begin()->second, l = byStamp.rbegin()->second;
        first += f;
        final += l;
        if (byStamp.size() > 1) {
            ++retested;
            retestRuns += static_cast<long long>(byStamp.size()) - 1;
            recovered += !f && l;
            retests[chip] = {{"runs", byStamp.size()},
                             {"first_verdict", f ? "OK" : "ERR"},
                             {"final_verdict", l ? "OK" : "ERR"}};
        }
    }
    const json& s = report["summary"];
    auto n = static_cast<long long>(boards.size());
    Expect("runs", s["runs"], static_cast<long long>(runs.size()));
    Expect("complete runs", s["complete_runs"], static_cast<long long>(runs.size()));
    Expect("incomplete runs", s["incomplete_runs"], 0);
    Expect("boards", s["boards"], n);
    Expect("first passed", s["first_passed"], first);
    Expect("final passed", s["final_passed"], final);
    ExpectRatio("first-pass yield", s["first_pass_yield"], static_cast<double>(first) / n);
    ExpectRatio("final yield", s["final_yield"], static_cast<double>(final) / n);
    Expect("retested boards", s["retested_boards"], retested);
    Expect("retest runs", s["retest_runs"], retestRuns);
    Expect("recovered", s["recovered"], recovered);
    std::map<std::string, json> reported;
    for (const json& r : report["retests"])
        reported[r["chip_id"].get<std::string>()] = {{"runs", r["runs"]},
                                                     {"first_verdict", r["first_verdict"]},
                                                     {"final_verdict", r["final_verdict"]}};
    if (reported != retests)
        Fail("retests: report " + json(reported).dump() + ", bench " + json(retests).dump());
    std::printf(
        "boards %lld, runs %zu: first-pass yield %lld/%lld, final %lld/%lld, "
        "%lld boards retested (%lld runs), %lld recovered\n",
        n, runs.size(), first, n, final, n, retested, retestRuns, recovered);
}

// The repair queue: the boards whose last run failed, each at its last run's fixture, newest
// first, every failing port with a value or a line; no board without a complete run.
void CheckRepairs(const std::vector<BenchRun>& runs, const json& report) {
    std::map<std::string, std::map<std::string, const BenchRun*>> boards;  // chip -> stamp -> run
    for (const BenchRun& r : runs) boards[r.chip][r.stamp] = &r;
    std::map<std::string, std::string> queued;  // chip -> station
    std::set<std::string> withPort;
    for (const auto& [chip, byStamp] : boards) {
        const BenchRun& last = *byStamp.rbegin()->second;
        if (last.passed) continue;
        queued[chip] = last.fixture;
        for (const auto& [port, ok] : last.ports)
            if (!ok) withPort.insert(chip);
    }
    std::map<std::string, std::string> reported;
    std::string previous;
    for (const json& r : report["repair_queue"]) {
        std::string chip = r["chip_id"].get<std::string>(), stamp = r["start_stamp"];
        if (r["status"] != "failed") Fail("repair queue: " + chip + " is " + r["status"].dump());
        if (!previous.empty() && stamp > previous) Fail("repair queue: not newest first");
        if (withPort.count(chip) != 0 && r["failures"].empty())
            Fail("repair queue: " + chip + " without its failing ports");
        auto board = boards.find(chip);
        if (board != boards.end())
            CheckCauses("repair queue: " + chip, board->second.rbegin()->second->ports,
                        r["failures"]);
        previous = stamp;
        reported[chip] = r["station"].get<std::string>();
    }
    if (reported != queued)
        Fail("repair queue: report " + json(reported).dump() + ", bench " + json(queued).dump());
    std::printf("repair queue: %zu boards\n", queued.size());
}

struct Rule {
    long long minRuns = 0, minFailures = 0;
    double minGap = 0, minRatio = 0;
};

using CellKey = std::pair<std::string, std::string>;               // fixture, port
using Cells = std::map<CellKey, std::pair<long long, long long>>;  // runs, failures

// The report's flag rule for one cell against the same port at every other fixture.
bool Flagged(const Cells& cells, const CellKey& key, const Rule& rule) {
    const auto& [runs, fails] = cells.at(key);
    long long otherRuns = 0, otherFails = 0;
    for (const auto& [k, v] : cells) {
        if (k.second != key.second || k.first == key.first) continue;
        otherRuns += v.first;
        otherFails += v.second;
    }
    double rate = static_cast<double>(fails) / runs;
    double others = otherRuns ? static_cast<double>(otherFails) / otherRuns : 0;
    return runs >= rule.minRuns && fails >= rule.minFailures && otherRuns >= rule.minRuns &&
           rate - others >= rule.minGap && rate >= rule.minRatio * others;
}

Rule RuleOf(const json& report) {
    const json& r = report["flag_rule"];
    return Rule{r["min_runs"].get<long long>(), r["min_failures"].get<long long>(),
                r["min_gap"].get<double>(), r["min_ratio"].get<double>()};
}

Cells BenchCells(const std::vector<BenchRun>& runs) {
    Cells cells;
    for (const BenchRun& r : runs) {
        for (const auto& [port, ok] : r.ports) {
            auto& c = cells[{r.fixture, port}];
            ++c.first;
            c.second += ok ? 0 : 1;
        }
    }
    return cells;
}

// Tab-separated rows as factory-day.sh writes a view.
std::vector<std::vector<std::string>> ReadRows(const fs::path& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::vector<std::vector<std::string>> rows;
    std::string line, field;
    while (std::getline(in, line)) {
        std::istringstream cols(line);
        rows.emplace_back();
        while (std::getline(cols, field, '\t')) rows.back().push_back(field);
    }
    return rows;
}

// The store's views: each run at its fixture's station, the ports by station with the cut cable
// flagged at fixture C, and the repair queue at each board's last fixture.
void CheckViews(const std::vector<BenchRun>& runs, const json& report, const fs::path& dir) {
    std::map<std::pair<std::string, std::string>, std::string> stations;  // chip, stamp
    for (const auto& row : ReadRows(dir / "runs.tsv")) {
        if (row.size() == 3) stations[{row[0], row[1]}] = row[2];
    }
    std::map<std::string, const BenchRun*> lastRun;
    for (const BenchRun& r : runs) {
        auto it = stations.find({r.chip, r.stamp});
        std::string got = it == stations.end() ? "(no run)" : it->second;
        if (got != r.fixture) Fail("run " + r.number + ": station " + got + ", bench " + r.fixture);
        const BenchRun*& last = lastRun[r.chip];
        if (last == nullptr || r.stamp > last->stamp) last = &r;
    }
    if (stations.size() != runs.size())
        Fail("views: " + std::to_string(stations.size()) + " runs stored, the bench ran " +
             std::to_string(runs.size()));
    Cells stored;
    for (const auto& row : ReadRows(dir / "ports.tsv")) {
        if (row.size() != 3) continue;
        auto& c = stored[{row[0], row[1]}];
        ++c.first;
        c.second += row[2] == "0" ? 1 : 0;
    }
    Cells bench = BenchCells(runs);
    if (stored != bench) Fail("views: the ports by station differ from the bench's");
    Rule rule = RuleOf(report);
    bool cutFlagged = false;
    for (const auto& [key, counts] : bench) {
        if (!Flagged(bench, key, rule)) continue;
        std::printf("fixture flag by station: %s %s\n", key.first.c_str(), key.second.c_str());
        cutFlagged = cutFlagged || key.first == "fixture-C";
    }
    if (!cutFlagged) Fail("the day's cut fixture cable is not flagged at fixture-C");
    std::map<std::string, std::string> queued, viewed;
    for (const auto& [chip, last] : lastRun) {
        if (!last->passed) queued[chip] = last->fixture + " failed";
    }
    for (const auto& row : ReadRows(dir / "repair.tsv")) {
        if (row.size() == 4) viewed[row[0]] = row[1] + " " + row[3];
    }
    if (viewed != queued)
        Fail("repair queue view: " + json(viewed).dump() + ", bench " + json(queued).dump());
    std::printf("views: %zu runs at their stations\n", stations.size());
}

// The Pareto and the fixture view: failures per port, and per station and port with the flag
// rule; the cut cable must be flagged at its station, though every board has the same host name.
void CheckPorts(const std::vector<BenchRun>& runs, const json& report) {
    std::map<std::string, long long> failures;
    Cells cells = BenchCells(runs);
    for (const BenchRun& r : runs) {
        for (const auto& [port, ok] : r.ports) failures[port] += ok ? 0 : 1;
    }
    for (auto it = failures.begin(); it != failures.end();)
        it = it->second == 0 ? failures.erase(it) : std::next(it);
    std::map<std::string, long long> pareto;
    for (const json& p : report["pareto"]) pareto[p["port"].get<std::string>()] = p["failures"];
    if (pareto != failures)
        Fail("pareto: report " + json(pareto).dump() + ", bench " + json(failures).dump());
    Rule rule = RuleOf(report);
    int flagged = 0;
    size_t seen = 0;
    for (const json& c : report["fixture"]) {
        auto key = std::make_pair(c["station"].get<std::string>(), c["port"].get<std::string>());
        auto it = cells.find(key);
        std::string id = "fixture " + json(key.first).dump() + " " + key.second;
        if (it == cells.end()) {
            Fail(id + ": not run on the bench");
            continue;
        }
        ++seen;
        Expect(id + " runs", c["runs"], it->second.first);
        Expect(id + " failures", c["failures"], it->second.second);
        bool flag = Flagged(cells, key, rule);
        if (c["flagged"] != flag) Fail(id + ": flagged " + c["flagged"].dump());
        flagged += flag;
        if (flag) std::printf("fixture flag: %s %s\n", key.first.c_str(), key.second.c_str());
    }
    if (seen != cells.size())
        Fail("fixture view: " + std::to_string(seen) + " cells of " + std::to_string(cells.size()));
    if (flagged == 0) Fail("the day's cut fixture cable is not flagged");
}

constexpr const char* kStationFigures[] = {"runs", "boards", "first_passed", "final_passed",
                                           "retest_runs"};

// The station table: each board under the station of its first run, its final result from its
// last run on any station; each station's runs.
void CheckStations(const std::vector<BenchRun>& runs, const json& report) {
    std::map<std::string, std::map<std::string, const BenchRun*>> boards;  // chip -> stamp -> run
    std::map<std::string, std::map<std::string, long long>> want;          // station -> figure
    for (const BenchRun& r : runs) {
        boards[r.chip][r.stamp] = &r;
        for (const char* key : kStationFigures) want[r.fixture][key] += 0;
        ++want[r.fixture]["runs"];
    }
    for (const auto& [chip, byStamp] : boards) {
        std::map<std::string, long long>& s = want[byStamp.begin()->second->fixture];
        ++s["boards"];
        s["first_passed"] += byStamp.begin()->second->passed ? 1 : 0;
        s["final_passed"] += byStamp.rbegin()->second->passed ? 1 : 0;
        s["retest_runs"] += static_cast<long long>(byStamp.size()) - 1;
    }
    std::map<std::string, std::map<std::string, long long>> got;
    for (const json& row : report["stations"]) {
        std::map<std::string, long long>& s = got[row["station"].get<std::string>()];
        for (const char* key : kStationFigures) s[key] = row[key].get<long long>();
    }
    if (got != want) Fail("stations: report " + json(got).dump() + ", bench " + json(want).dump());
    std::printf("stations: %zu\n", want.size());
}

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> args;
    for (int i = 1; i + 1 < argc; i += 2) args[argv[i]] = argv[i + 1];
    for (const char* need : {"--plan", "--runs", "--report", "--export", "--views"}) {
        if (!args.count(need)) {
            std::fprintf(
                stderr, "usage: %s --plan FILE --runs DIR --report FILE --export DIR --views DIR\n",
                argv[0]);
            return 2;
        }
    }
    try {
        std::vector<BenchRun> runs = ReadRuns(args["--plan"], args["--runs"]);
        json report = ReadJson(args["--report"]);
        CheckExport(runs, args["--export"]);
        CheckSummary(runs, report);
        CheckRepairs(runs, report);
        CheckPorts(runs, report);
        CheckStations(runs, report);
        CheckViews(runs, report, args["--views"]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "devuzeV7-factory-check: %s\n", e.what());
        return 2;
    }
    if (g_failures) {
        std::fprintf(stderr, "devuzeV7-factory-check: %d mismatches\n", g_failures);
        return 1;
    }
    std::printf("the report agrees with the bench's records run by run\n");
    return 0;
}
