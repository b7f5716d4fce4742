#include "report/reportModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>
#include <unordered_set>

#include "parse/calendar.h"
#include "parse/recordWords.h"
#include "report/reportSelection.h"

namespace yield {
namespace {

// Readings far outside any ADC range are binned at this many hundredths, keeping bins finite.
constexpr double kHistogramClamp = 1e6;

constexpr char kRepairSeparator[] = "; ";

constexpr const char* kFamilyOrder[] = {"RS485", "RS232", "DO", "DI", "USB", "ADC", "LED"};

double Ratio(long long a, long long b) { return b > 0 ? static_cast<double>(a) / b : 0; }

// Cells of one host from `first` on, sorted by port: those of one port (two port keys whose names
// are the same text) become one.
void MergeSamePort(std::vector<FixtureView::Entry>& entries, size_t first) {
    size_t out = first;
    for (size_t i = first; i < entries.size(); ++i) {
        if (out > first && entries[out - 1].port == entries[i].port) {
            entries[out - 1].runs += entries[i].runs;
            entries[out - 1].failures += entries[i].failures;
        } else {
            entries[out++] = entries[i];
        }
    }
    entries.resize(out);
}

// Ranks of `names` in byte order (equal names, equal ranks), and the names in that order.
std::vector<uint32_t> Ranks(const std::vector<std::string>& names,
                            std::vector<std::string>& sorted) {
    sorted = names;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::vector<uint32_t> ranks(names.size());
    for (size_t i = 0; i < names.size(); ++i)
        ranks[i] = static_cast<uint32_t>(std::lower_bound(sorted.begin(), sorted.end(), names[i]) -
                                         sorted.begin());
    return ranks;
}

bool Before(std::string_view stamp, long long id, std::string_view otherStamp, long long otherId) {
    return std::tie(stamp, id) < std::tie(otherStamp, otherId);
}

bool RepairBefore(const RepairRow& a, const RepairRow& b) {
    bool aFailed = a.status == kRepairFailed;
    bool bFailed = b.status == kRepairFailed;
    if (aFailed != bFailed) return aFailed;
    if (a.timeStamp != b.timeStamp) return a.timeStamp > b.timeStamp;
    return a.chipId < b.chipId;
}

}  // namespace

std::string RepairFailures(const std::vector<FailureCause>& causes) {
    std::string out;
    for (const FailureCause& c : causes)
        out += (out.empty() ? "" : kRepairSeparator) + c.Text(kRepairLineBytes);
    return out;
}

std::pair<int, int> PortOrder(const std::string& port) {
    size_t dash = port.rfind('-');
    std::string family = port.substr(0, dash);
    int number = dash == std::string::npos ? 0 : std::atoi(port.c_str() + dash + 1);
    int rank = static_cast<int>(std::size(kFamilyOrder));
    for (size_t i = 0; i < std::size(kFamilyOrder); ++i) {
        if (family == kFamilyOrder[i]) rank = static_cast<int>(i);
    }
    return {rank, number};
}

bool Cpk(double mean, double stddev, double low, double high, double& cpk) {
    if (!(stddev > 0) || !std::isfinite(stddev)) return false;
    cpk = std::min(high - mean, mean - low) / (3 * stddev);
    return true;
}

bool FixtureFlag(long long runs, long long failures, long long othersRuns,
                 long long othersFailures) {
    if (runs < kFlagMinRuns || failures < kFlagMinFailures || othersRuns < kFlagMinRuns) {
        return false;
    }
    double rate = Ratio(failures, runs);
    double others = Ratio(othersFailures, othersRuns);
    return rate - others >= kFlagMinGap && rate >= kFlagMinRatio * others;
}

bool Selected(const RunFilter& filter, const std::string& host, const std::string& station) {
    return (filter.host.empty() || host == filter.host) &&
           (filter.station.empty() || FixtureOf(host, station) == filter.station);
}

bool Selected(const RunFilter& filter, const RunSummary& run) {
    return Selected(filter, run.host, run.station);
}

bool InDays(const RunFilter& filter, const std::string& day) {
    if (!filter.HasDayBound()) return true;
    return !day.empty() && (filter.since.empty() || day >= filter.since) &&
           (filter.until.empty() || day <= filter.until);
}

ReportBuilder::ReportBuilder(RunFilter filter) { m_.filter = std::move(filter); }

uint32_t ReportBuilder::Names::Of(const std::string& name) {
    auto [it, fresh] = index.try_emplace(name, static_cast<uint32_t>(names.size()));
    if (fresh) names.push_back(name);
    return it->second;
}

// A board of the selection, made from its runs: its repair shows its last complete run, else
// its latest.
void ReportBuilder::CloseBoard(const std::string& chipId, const Board& b) {
    if (!b.firstSelected) return;
    const RunMark& shown = b.complete > 0 ? b.lastComplete : unfinished_[chipId];
    BoardFacts f;
    f.chipId = &chipId;
    f.runs = b.runs;
    f.complete = b.complete;
    f.firstId = b.first.id;
    f.firstStamp = Stamp(b.first);
    f.firstStation = b.first.station;
    f.firstDay = b.firstDay;
    f.firstHour = b.firstHour;
    f.firstVerdict = b.first.verdict;
    f.shownStation = &stations_.names[shown.station];
    f.shownStamp = Stamp(shown);
    f.shownRunId = shown.runId;
    f.shownVerdict = shown.verdict;
    CountBoard(f);
}

// A board of the selection as the store keeps it.
void ReportBuilder::AddBoard(const BoardRow& b) {
    if (!Selected(m_.filter, b.first.host, b.first.station) || !InDays(m_.filter, b.first.day))
        return;
    BoardFacts f;
    f.chipId = &b.chipId;
    f.runs = b.runs;
    f.complete = b.complete;
    f.firstId = b.first.id;
    f.firstStamp = b.first.timeStamp;
    f.firstStation = stations_.Of(FixtureOf(b.first.host, b.first.station));
    f.firstDay = dayNames_.Of(b.first.day);
    // An unset clock's stamp says nothing of the hour; only the screen asks for hours.
    if (hours_ && (b.first.day.empty() || IsStampDay(b.first.day, b.first.timeStamp)))
        f.firstHour = StampHour(b.first.timeStamp);
    f.firstVerdict = b.first.verdict;
    f.shownStation = &FixtureOf(b.shown.host, b.shown.station);
    f.shownStamp = b.shown.timeStamp;
    f.shownRunId = b.shown.id;
    f.shownVerdict = b.shown.verdict;
    CountBoard(f);
}

void ReportBuilder::AddPlainBoards(const PlainBoardsRow& t) {
    if (!Selected(m_.filter, t.host, t.station) || !InDays(m_.filter, t.day)) return;
    YieldSummary& s = m_.summary;
    s.boards += t.boards;
    s.firstPassed += t.boards;
    s.finalPassed += t.boards;
    uint32_t station = stations_.Of(FixtureOf(t.host, t.station));
    uint32_t day = dayNames_.Of(t.day);
    BoardCounts& c = boardsByStation_[station];
    c.boards += t.boards;
    c.firstPassed += t.boards;
    c.finalPassed += t.boards;
    auto& tests = firstTests_[(uint64_t{day} << 32) | station];
    tests.first += t.boards;
    tests.second += t.boards;
    if (t.day.empty()) return;
    DayRow& d = DayRowOf(day);
    d.boards += t.boards;
    d.firstPassed += t.boards;
    d.finalPassed += t.boards;
}

DayRow& ReportBuilder::DayRowOf(uint32_t day) {
    if (dayRows_.size() <= day) dayRows_.resize(day + 1, nullptr);
    if (dayRows_[day] == nullptr) {
        const std::string& name = dayNames_.names[day];
        dayRows_[day] = &days_[name];
        dayRows_[day]->day = name;
    }
    return *dayRows_[day];
}

// A board of the selection counted, and queued for repair when its last complete run failed or
// it has none.
void ReportBuilder::CountBoard(const BoardFacts& b) {
    YieldSummary& s = m_.summary;
    bool first = b.firstVerdict == Verdict::Ok;
    Verdict lastVerdict = b.complete > 0 ? b.shownVerdict : Verdict::Incomplete;
    bool last = lastVerdict == Verdict::Ok;
    ++s.boards;
    s.firstPassed += first ? 1 : 0;
    s.finalPassed += last ? 1 : 0;
    if (b.runs > 1) {
        ++s.retestedBoards;
        s.retestRuns += b.runs - 1;
        if (!first && last) ++s.recovered;
        m_.retests.push_back(
            RetestRow{*b.chipId, b.runs, VerdictWord(b.firstVerdict), VerdictWord(lastVerdict)});
    }
    if (b.complete == 0 || lastVerdict == Verdict::Err) {
        m_.repairs.push_back(RepairRow{*b.chipId,
                                       *b.shownStation,
                                       std::string(b.shownStamp),
                                       b.complete > 0 ? kRepairFailed : kRepairNoCompleteRun,
                                       "",
                                       b.shownRunId,
                                       {}});
    }
    BoardCounts& c = boardsByStation_[b.firstStation];
    ++c.boards;
    c.firstPassed += first ? 1 : 0;
    c.finalPassed += last ? 1 : 0;
    c.retestRuns += b.runs - 1;
    auto& tests = firstTests_[(uint64_t{b.firstDay} << 32) | b.firstStation];
    ++tests.first;
    tests.second += first ? 1 : 0;
    if (recentWindow_ > 0)
        recentBoards_.push_back(Recent{std::string(b.firstStamp), b.firstId, b.firstStation, first});
    if (hours_ && b.firstHour >= 0) {
        BoardCounts& h = boardsByHour_[{b.firstStation, b.firstHour}];
        ++h.boards;
        h.firstPassed += first ? 1 : 0;
        h.finalPassed += last ? 1 : 0;
    }
    if (dayNames_.names[b.firstDay].empty()) return;
    DayRow& d = DayRowOf(b.firstDay);
    ++d.boards;
    d.firstPassed += first ? 1 : 0;
    d.finalPassed += last ? 1 : 0;
}

void ReportBuilder::AddRun(const RunSummary& run) {
    bool inDays = InDays(m_.filter, run.day);
    bool selected = inDays && Selected(m_.filter, run);
    uint32_t station = stations_.Of(FixtureOf(run));
    if (!tallied_) AddToBoard(run, station, selected);
    if (!inDays) return;  // another day's run: only its board's history
    if (selected && run.clockUnset) AddUnsetClock(run);
    if (tallied_) {
        if (selected && run.verdict != Verdict::Incomplete) {
            ListIntermittent(run);
            causes_.Add(run);
        }
        return;
    }
    if (selected) {
        AddSelectedRun(run, station, dayNames_.Of(run.day));
    } else if (run.verdict != Verdict::Incomplete) {
        for (const PortResult& p : run.ports) {
            auto& total = portTotals_[PortKey(p)];
            ++total.first;
            total.second += p.passed ? 0 : 1;
        }
    }
}

void ReportBuilder::AddUnsetClock(const RunSummary& run) {
    m_.clockUnset.push_back(
        ClockRow{run.chipId, FixtureOf(run), run.timeStamp, run.day, VerdictWord(run.verdict)});
    m_.selection.clockUnsetRuns = static_cast<long long>(m_.clockUnset.size());
}

void ReportBuilder::AddToBoard(const RunSummary& run, uint32_t station, bool selected) {
    long long id = run.id != 0 ? run.id : ++nextId_;
    size_t stampAt = std::string::npos;  // the run's stamp is kept once, when a mark takes it
    auto mark = [&]() {
        if (stampAt == std::string::npos) {
            stampAt = stampText_.size();
            stampText_ += run.timeStamp;
        }
        auto size = static_cast<uint32_t>(run.timeStamp.size());
        return RunMark{stampAt, size, station, id, run.id, run.verdict};
    };
    Board& b = boards_[run.chipId];
    if (b.runs++ == 0 || Before(run.timeStamp, id, Stamp(b.first), b.first.id)) {
        b.first = mark();
        b.firstDay = dayNames_.Of(run.day);
        b.firstHour = run.hour;
        b.firstSelected = selected;
    }
    if (run.verdict == Verdict::Incomplete) {
        if (b.complete > 0) return;
        auto [it, fresh] = unfinished_.try_emplace(run.chipId);
        if (fresh || Before(Stamp(it->second), it->second.id, run.timeStamp, id))
            it->second = mark();
        return;
    }
    if (b.complete++ == 0) unfinished_.erase(run.chipId);
    if (b.complete == 1 || Before(Stamp(b.lastComplete), b.lastComplete.id, run.timeStamp, id))
        b.lastComplete = mark();
}

// `n` selected runs of `day` at `station` with `verdict` counted; whether they were complete.
bool ReportBuilder::CountRuns(uint32_t station, const std::string& day, Verdict verdict,
                              long long n) {
    YieldSummary& s = m_.summary;
    s.runs += n;
    if (stationRuns_.size() <= station) stationRuns_.resize(station + 1, 0);
    stationRuns_[station] += n;
    DayRow noDay;
    DayRow& row = day.empty() ? noDay : days_[day];
    row.day = day;
    s.noDayRuns += day.empty() ? n : 0;
    if (verdict == Verdict::Incomplete) {
        s.incompleteRuns += n;
        row.incomplete += n;
        return false;
    }
    s.completeRuns += n;
    row.runs += n;
    row.passed += verdict == Verdict::Ok ? n : 0;
    return true;
}

void ReportBuilder::AddSelectedRun(const RunSummary& run, uint32_t station, uint32_t day) {
    if (!CountRuns(station, run.day, run.verdict, 1)) return;
    CountPorts(run, day);
    causes_.Add(run);
}

void ReportBuilder::AddPortTally(const PortTallyRow& t) {
    PortResult port{t.family, t.number, false, false};
    uint32_t key = PortKey(port);
    portTotals_[key].first += t.runs;
    portTotals_[key].second += t.failures;
    if (!Selected(m_.filter, t.host, t.station)) return;
    HostCells& host = cells_[FixtureOf(t.host, t.station)];
    Cell& cell = host.cells[FindCell(host, port)];
    cell.runs += t.runs;
    cell.failures += t.failures;
    uint32_t day = dayNames_.Of(t.day);
    if (portsByDay_.size() <= day) portsByDay_.resize(day + 1);
    auto& byPort = portsByDay_[day];
    if (byPort.size() <= key) byPort.resize(key + 1, {0, 0});
    byPort[key].first += t.runs;
    byPort[key].second += t.failures;
    portFailures_[key] += t.failures;
}

void ReportBuilder::AddRunTally(const RunTallyRow& t) {
    if (t.runs == 0 || !InDays(m_.filter, t.day) || !Selected(m_.filter, t.host, t.station))
        return;
    const std::string& fixture = FixtureOf(t.host, t.station);
    if (CountRuns(stations_.Of(fixture), t.day, t.verdict, t.runs))
        cells_[fixture];  // a station with runs is in the fixture view, ports or not
}

void ReportBuilder::ListIntermittent(const RunSummary& run) {
    for (const PortResult& p : run.ports) {
        if (p.intermittent)
            m_.intermittent.push_back(
                IntermittentRow{FixtureOf(run), run.chipId, run.timeStamp, p.Name()});
    }
}

void ReportBuilder::CountPorts(const RunSummary& run, uint32_t day) {
    const std::string& station = FixtureOf(run);
    HostCells& host = cells_[station];
    std::vector<Cell>& cells = host.cells;
    if (portsByDay_.size() <= day) portsByDay_.resize(day + 1);
    auto& byPort = portsByDay_[day];
    auto* boards = recentWindow_ > 0 ? &portBoards_[station] : nullptr;
    uint32_t chip = boards != nullptr ? chips_.Of(run.chipId) : 0;
    size_t next = 0;
    for (const PortResult& p : run.ports) {
        if (next >= cells.size() || !SamePort(cells[next].port, p)) next = FindCell(host, p);
        Cell& cell = cells[next++];
        if (boards != nullptr) {
            if (boards->size() <= cell.port) boards->resize(cell.port + 1);
            (*boards)[cell.port].push_back(chip);
        }
        if (byPort.size() <= cell.port) byPort.resize(cell.port + 1, {0, 0});
        long long failed = p.passed ? 0 : 1;
        ++cell.runs;
        ++byPort[cell.port].first;
        ++portTotals_[cell.port].first;
        cell.failures += failed;
        byPort[cell.port].second += failed;
        portTotals_[cell.port].second += failed;
        portFailures_[cell.port] += failed;
    }
    ListIntermittent(run);
}

bool ReportBuilder::SamePort(uint32_t key, const PortResult& p) const {
    return portKeys_[key].second == p.number && portKeys_[key].first == p.family;
}

uint32_t ReportBuilder::PortKey(const PortResult& p) {
    auto& numbers = portNumbers_[p.family];
    auto [it, fresh] = numbers.try_emplace(p.number, static_cast<uint32_t>(portKeys_.size()));
    if (fresh) {
        portKeys_.emplace_back(p.family, p.number);
        portFailures_.push_back(0);
        portTotals_.emplace_back(0, 0);
    }
    return it->second;
}

size_t ReportBuilder::FindCell(HostCells& host, const PortResult& p) {
    uint32_t key = PortKey(p);
    std::vector<Cell>& cells = host.cells;
    if (host.index.empty()) {
        for (size_t i = 0; i < cells.size(); ++i) {
            if (cells[i].port == key) return i;
        }
    } else {
        auto it = host.index.find(key);
        if (it != host.index.end()) return it->second;
    }
    cells.push_back(Cell{key, 0, 0});
    if (cells.size() > kLinearCells) {
        if (host.index.empty()) {
            for (size_t i = 0; i < cells.size(); ++i) host.index.emplace(cells[i].port, i);
        } else {
            host.index.emplace(key, cells.size() - 1);
        }
    }
    return cells.size() - 1;
}

void ReportBuilder::AddReading(const NamedValue& v, long long count) {
    if (count <= 0) return;
    Acc& a = analogue_[v.name];
    if (a.n == 0 || v.value < a.min) a.min = v.value;
    if (a.n == 0 || v.value > a.max) a.max = v.value;
    // Welford's update for a group of `count` equal readings (merged as a group whose own spread
    // is zero): the squares grow by delta^2 * n_old * count / n, never by a rounding difference.
    double before = static_cast<double>(a.n);
    a.n += count;
    double delta = v.value - a.mean;
    double share = static_cast<double>(count) / static_cast<double>(a.n);
    a.mean = before == 0 ? v.value : a.mean + delta * share;
    a.m2 += delta * delta * before * share;
    if (v.value < kAnalogueLow - 1e-9 || v.value > kAnalogueHigh + 1e-9) a.outside += count;
    double hundredths = std::clamp(v.value * 100, -kHistogramClamp, kHistogramClamp);
    a.histogram[static_cast<int>(std::lround(hundredths))] += count;
}

// Every port's name once, in byte order, and the name of each port key.
ReportBuilder::PortNames ReportBuilder::NamePorts() const {
    std::vector<std::pair<std::string, uint32_t>> byName;  // name, port key
    byName.reserve(portKeys_.size());
    for (size_t k = 0; k < portKeys_.size(); ++k) {
        const auto& [family, number] = portKeys_[k];
        byName.emplace_back(PortResult{family, number, false, false}.Name(),
                            static_cast<uint32_t>(k));
    }
    std::sort(byName.begin(), byName.end());
    PortNames n;
    n.ofKey.resize(portKeys_.size());
    for (auto& [name, key] : byName) {
        if (n.names.empty() || n.names.back() != name) {
            n.names.push_back(std::move(name));
            n.order.push_back(PortOrder(n.names.back()));
        }
        n.ofKey[key] = static_cast<uint32_t>(n.names.size() - 1);
    }
    return n;
}

// Failures per port, most first, then in family order.
void ReportBuilder::BuildPareto(const PortNames& n) {
    std::vector<long long> failures(n.names.size(), 0);
    for (size_t k = 0; k < portFailures_.size(); ++k) failures[n.ofKey[k]] += portFailures_[k];
    std::vector<uint32_t> rows;
    long long total = 0;
    for (size_t i = 0; i < failures.size(); ++i) {
        if (failures[i] == 0) continue;
        rows.push_back(static_cast<uint32_t>(i));
        total += failures[i];
    }
    std::stable_sort(rows.begin(), rows.end(), [&](uint32_t a, uint32_t b) {
        if (failures[a] != failures[b]) return failures[a] > failures[b];
        return n.order[a] < n.order[b];
    });
    double running = 0;
    m_.pareto.reserve(rows.size());
    for (uint32_t i : rows) {
        ParetoRow r{n.names[i], failures[i], Ratio(failures[i], total), 0};
        running += r.share;
        r.cumulative = running;
        m_.pareto.push_back(std::move(r));
    }
}

// Ports in family order; each station's cells in that order, the comparison from every station.
void ReportBuilder::BuildFixture(const PortNames& n) {
    std::vector<uint32_t> sorted(n.names.size());
    for (size_t i = 0; i < sorted.size(); ++i) sorted[i] = static_cast<uint32_t>(i);
    std::sort(sorted.begin(), sorted.end(),
              [&n](uint32_t a, uint32_t b) { return n.order[a] < n.order[b]; });
    std::vector<std::string> ports;
    ports.reserve(sorted.size());
    std::vector<uint32_t> place(sorted.size());  // name -> place in `ports`
    for (size_t i = 0; i < sorted.size(); ++i) {
        place[sorted[i]] = static_cast<uint32_t>(i);
        ports.push_back(n.names[sorted[i]]);
    }
    std::vector<uint32_t> column(portKeys_.size());  // port key -> place in `ports`
    for (size_t k = 0; k < portKeys_.size(); ++k) column[k] = place[n.ofKey[k]];

    std::vector<std::string> hosts;
    std::vector<FixtureView::Entry> entries;
    size_t cells = 0;
    for (const auto& [name, host] : cells_) cells += host.cells.size();
    entries.reserve(cells);
    for (auto& [name, host] : cells_) {
        auto h = static_cast<uint32_t>(hosts.size());
        hosts.push_back(name);
        size_t first = entries.size();
        for (const Cell& c : host.cells) {
            entries.push_back(FixtureView::Entry{h, column[c.port], c.runs, c.failures});
        }
        host = HostCells();
        std::sort(entries.begin() + static_cast<std::ptrdiff_t>(first), entries.end(),
                  [](const FixtureView::Entry& a, const FixtureView::Entry& b) {
                      return a.port < b.port;
                  });
        MergeSamePort(entries, first);
    }
    cells_.clear();
    KeepPortBoards(n);
    std::vector<std::pair<long long, long long>> totals(ports.size(), {0, 0});
    for (size_t k = 0; k < portKeys_.size(); ++k) {
        totals[column[k]].first += portTotals_[k].first;
        totals[column[k]].second += portTotals_[k].second;
    }
    m_.hosts = hosts;
    m_.ports = ports;
    m_.fixture =
        FixtureView(std::move(hosts), std::move(ports), std::move(entries), std::move(totals));
}

void ReportBuilder::KeepPortBoards(const PortNames& n) {
    std::map<std::pair<std::string, std::string>, std::vector<uint32_t>> byName;
    for (const auto& [station, ports] : portBoards_) {
        for (uint32_t key = 0; key < ports.size(); ++key) {
            if (ports[key].empty()) continue;
            std::vector<uint32_t>& chips = byName[{station, n.names[n.ofKey[key]]}];
            chips.insert(chips.end(), ports[key].begin(), ports[key].end());
        }
    }
    portBoards_.clear();
    chips_ = Names();
    for (auto& [key, chips] : byName) {
        std::sort(chips.begin(), chips.end());
        auto distinct = std::unique(chips.begin(), chips.end()) - chips.begin();
        m_.portBoards[key] = static_cast<long long>(distinct);
    }
}

void ReportBuilder::BuildDays() {
    for (auto& [day, row] : days_) {
        row.yield = Ratio(row.passed, row.runs);
        row.firstPassYield = Ratio(row.firstPassed, row.boards);
        row.finalYield = Ratio(row.finalPassed, row.boards);
        m_.days.push_back(row);
    }
}

// Stations with a selected run or a board of the selection, by name.
void ReportBuilder::BuildStations() {
    stationRuns_.resize(stations_.names.size(), 0);
    for (size_t i = 0; i < stations_.names.size(); ++i) {
        auto it = boardsByStation_.find(static_cast<uint32_t>(i));
        if (stationRuns_[i] == 0 && it == boardsByStation_.end()) continue;
        BoardCounts c = it == boardsByStation_.end() ? BoardCounts{} : it->second;
        m_.stations.push_back(StationRow{
            stations_.names[i], stationRuns_[i], c.boards, c.firstPassed, c.finalPassed,
            c.retestRuns, Ratio(c.firstPassed, c.boards), Ratio(c.finalPassed, c.boards)});
    }
    std::sort(m_.stations.begin(), m_.stations.end(),
              [](const StationRow& a, const StationRow& b) { return a.station < b.station; });
}

// Boards per station and hour of their first run, by station name, then hour.
void ReportBuilder::BuildHours() {
    std::map<std::pair<std::string, int>, const BoardCounts*> byName;
    for (const auto& [key, c] : boardsByHour_)
        byName[{stations_.names[key.first], key.second}] = &c;
    for (const auto& [key, c] : byName) {
        m_.hours.push_back(HourRow{key.first, key.second, c->boards, c->firstPassed, c->finalPassed,
                                   Ratio(c->firstPassed, c->boards),
                                   Ratio(c->finalPassed, c->boards)});
    }
    boardsByHour_.clear();
}

// Each station's latest boards, newest first, up to the window; by station name.
void ReportBuilder::BuildRecent() {
    std::sort(recentBoards_.begin(), recentBoards_.end(), [](const Recent& a, const Recent& b) {
        return Before(a.stamp, a.id, b.stamp, b.id);
    });
    std::map<std::string, RecentBoards> windows;
    for (auto t = recentBoards_.rbegin(); t != recentBoards_.rend(); ++t) {
        RecentBoards& w = windows[stations_.names[t->station]];
        if (w.boards >= recentWindow_) continue;
        w.station = stations_.names[t->station];
        ++w.boards;
        w.firstPassed += t->passed ? 1 : 0;
    }
    recentBoards_ = std::vector<Recent>();
    for (auto& [station, w] : windows) {
        w.firstPassYield = Ratio(w.firstPassed, w.boards);
        m_.recent.push_back(std::move(w));
    }
}

std::string ReportBuilder::Period(uint32_t day) const {
    const std::string& d = dayNames_.names[day];
    return weekly_ ? IsoWeek(d) : d;
}

// Each station's first-pass yield per period, by period and station; boards first tested on a
// run without a day are in no period. Sorted by number, so a view of many stations over many
// days holds no text but its rows'.
void ReportBuilder::BuildStationTrend() {
    std::vector<std::string> periods(dayNames_.names.size());
    for (size_t d = 0; d < periods.size(); ++d) periods[d] = Period(static_cast<uint32_t>(d));
    std::vector<std::string> periodNames, stationNames;
    std::vector<uint32_t> periodRank = Ranks(periods, periodNames);
    std::vector<uint32_t> stationRank = Ranks(stations_.names, stationNames);
    // Period, station, boards, first passed.
    std::vector<std::tuple<uint32_t, uint32_t, long long, long long>> tests;
    tests.reserve(firstTests_.size());
    for (const auto& [key, counts] : firstTests_) {
        auto day = static_cast<uint32_t>(key >> 32);
        auto station = static_cast<uint32_t>(key);
        if (dayNames_.names[day].empty()) continue;
        tests.emplace_back(periodRank[day], stationRank[station], counts.first, counts.second);
    }
    firstTests_ = {};
    std::sort(tests.begin(), tests.end());
    for (size_t i = 0; i < tests.size();) {
        auto [period, station, boards, passed] = tests[i];
        StationTrendRow row{periodNames[period], stationNames[station], 0, 0, 0};
        for (; i < tests.size() && std::get<0>(tests[i]) == period &&
               std::get<1>(tests[i]) == station;
             ++i) {
            row.boards += std::get<2>(tests[i]);
            row.firstPassed += std::get<3>(tests[i]);
        }
        row.firstPassYield = Ratio(row.firstPassed, row.boards);
        m_.stationTrend.push_back(std::move(row));
    }
}

// Each port's runs and failures per period, by period and port in family order. Sorted by
// number, as the station trend, so that many ports over many days hold no text but the rows'.
void ReportBuilder::BuildPortTrend(const PortNames& n) {
    std::vector<std::string> periods(dayNames_.names.size()), periodNames;
    for (size_t d = 0; d < periods.size(); ++d) periods[d] = Period(static_cast<uint32_t>(d));
    std::vector<uint32_t> periodRank = Ranks(periods, periodNames);
    periods = {};
    std::vector<uint32_t> byOrder(n.names.size()), nameRank(n.names.size());
    for (size_t i = 0; i < byOrder.size(); ++i) byOrder[i] = static_cast<uint32_t>(i);
    std::sort(byOrder.begin(), byOrder.end(), [&n](uint32_t a, uint32_t b) {
        return std::tie(n.order[a], a) < std::tie(n.order[b], b);  // names are in byte order
    });
    for (size_t i = 0; i < byOrder.size(); ++i) nameRank[byOrder[i]] = static_cast<uint32_t>(i);
    struct Tally {
        uint32_t period, port;  // ranks
        long long runs, failures;
    };
    std::vector<Tally> tallies;
    for (size_t day = 0; day < portsByDay_.size(); ++day) {
        if (dayNames_.names[day].empty()) continue;
        for (size_t k = 0; k < portsByDay_[day].size(); ++k) {
            const auto& [runs, failures] = portsByDay_[day][k];
            if (runs != 0)
                tallies.push_back(Tally{periodRank[day], nameRank[n.ofKey[k]], runs, failures});
        }
    }
    portsByDay_ = {};
    std::sort(tallies.begin(), tallies.end(), [](const Tally& a, const Tally& b) {
        return std::tie(a.period, a.port) < std::tie(b.period, b.port);
    });
    size_t rows = 0;
    for (size_t i = 0; i < tallies.size(); ++i) {
        bool same = rows > 0 && tallies[rows - 1].period == tallies[i].period &&
                    tallies[rows - 1].port == tallies[i].port;
        if (!same) {
            tallies[rows++] = tallies[i];
            continue;
        }
        tallies[rows - 1].runs += tallies[i].runs;
        tallies[rows - 1].failures += tallies[i].failures;
    }
    tallies.resize(rows);
    m_.portTrend.reserve(rows);
    for (const Tally& t : tallies)
        m_.portTrend.push_back(
            PortTrendRow{periodNames[t.period], n.names[byOrder[t.port]], t.runs, t.failures});
}

ReportModel ReportBuilder::Finish() {
    std::vector<const std::string*> chips;
    chips.reserve(boards_.size());
    for (const auto& kv : boards_) chips.push_back(&kv.first);
    std::sort(chips.begin(), chips.end(),
              [](const std::string* a, const std::string* b) { return *a < *b; });
    for (const std::string* chip : chips) CloseBoard(*chip, boards_[*chip]);
    chips = {};
    boards_ = {};
    unfinished_.clear();
    std::sort(m_.repairs.begin(), m_.repairs.end(), RepairBefore);
    std::sort(m_.retests.begin(), m_.retests.end(),
              [](const RetestRow& a, const RetestRow& b) { return a.chipId < b.chipId; });
    stampText_ = {};
    BuildHours();
    BuildRecent();
    std::stable_sort(m_.intermittent.begin(), m_.intermittent.end(),
                     [](const IntermittentRow& a, const IntermittentRow& b) {
                         return std::tie(a.chipId, a.timeStamp) < std::tie(b.chipId, b.timeStamp);
                     });
    YieldSummary& s = m_.summary;
    s.firstPassYield = Ratio(s.firstPassed, s.boards);
    s.finalYield = Ratio(s.finalPassed, s.boards);

    Selection& sel = m_.selection;
    sel.since = m_.filter.since;
    sel.until = m_.filter.until;
    sel.host = m_.filter.host;
    sel.station = m_.filter.station;
    if (!days_.empty()) {
        sel.firstDay = days_.begin()->first;
        sel.lastDay = days_.rbegin()->first;
        weekly_ = DaySpan(sel.firstDay, sel.lastDay) > kDaysBeforeWeeks;
    }
    sel.trendPeriod = weekly_ ? kPeriodWeek : kPeriodDay;

    PortNames names = NamePorts();
    BuildPareto(names);
    m_.causes = causes_.Rows();
    BuildFixture(names);
    BuildStationTrend();
    BuildPortTrend(names);
    BuildStations();

    for (auto& [name, a] : analogue_) {
        AnalogueStats st;
        st.input = name;
        st.count = a.n;
        st.mean = a.mean;
        double var = a.n > 1 ? a.m2 / static_cast<double>(a.n - 1) : 0;
        bool varies = a.max - a.min >= kReadingResolution / 2;
        st.stddev = varies && var > 0 ? std::sqrt(var) : 0;
        st.min = a.min;
        st.max = a.max;
        st.outside = a.outside;
        st.hasCpk = varies && Cpk(st.mean, st.stddev, kAnalogueLow, kAnalogueHigh, st.cpk);
        st.histogram = std::move(a.histogram);
        m_.analogue.push_back(std::move(st));
    }
    std::sort(m_.analogue.begin(), m_.analogue.end(),
              [](const AnalogueStats& a, const AnalogueStats& b) {
                  return std::make_pair(a.input.size(), a.input) <
                         std::make_pair(b.input.size(), b.input);
              });
    BuildDays();
    return std::move(m_);
}

FixtureView::FixtureView(std::vector<std::string> hosts, std::vector<std::string> ports,
                         std::vector<Entry> entries,
                         std::vector<std::pair<long long, long long>> portTotals)
    : hosts_(std::move(hosts)),
      ports_(std::move(ports)),
      entries_(std::move(entries)),
      portTotals_(std::move(portTotals)) {
    if (!portTotals_.empty()) return;
    portTotals_.assign(ports_.size(), {0, 0});
    for (const Entry& e : entries_) {
        portTotals_[e.port].first += e.runs;
        portTotals_[e.port].second += e.failures;
    }
}

FixtureCell FixtureView::operator[](size_t i) const {
    const Entry& e = entries_[i];
    FixtureCell c{hosts_[e.host], ports_[e.port], e.runs, e.failures};
    c.rate = Ratio(c.failures, c.runs);
    c.othersRuns = portTotals_[e.port].first - c.runs;
    long long othersFailures = portTotals_[e.port].second - c.failures;
    c.othersRate = Ratio(othersFailures, c.othersRuns);
    c.flagged = FixtureFlag(c.runs, c.failures, c.othersRuns, othersFailures);
    return c;
}

namespace {

// Each failed board's failures from its run's failing results, all read in one go.
// The failing values of the first `quoted` boards of the queue that failed (`failedRuns`: the runs
// shown of the boards that failed, whatever the desk did with them since).
void QuoteFailures(const FailingSource& failing, std::vector<RepairRow>& repairs,
                   const std::unordered_set<long long>& failedRuns, size_t quoted) {
    std::unordered_map<long long, std::vector<RepairRow*>> byRun;
    std::vector<long long> ids;
    for (size_t i = 0; i < repairs.size() && i < quoted; ++i) {
        RepairRow& r = repairs[i];
        if (failedRuns.count(r.runId) == 0 || r.runId == 0) continue;
        auto& rows = byRun[r.runId];
        if (rows.empty()) ids.push_back(r.runId);
        rows.push_back(&r);
    }
    if (ids.empty()) return;
    std::sort(ids.begin(), ids.end());
    failing(ids, [&byRun](long long id, const RunRecord& run) {
        std::vector<FailureCause> causes = FailureCauses(run);
        std::string text = RepairFailures(causes);
        std::vector<RepairRow*>& rows = byRun[id];
        for (RepairRow* r : rows) r->failures = text;
        // The last row takes them: a run of many causes is not held twice.
        for (size_t i = 0; i + 1 < rows.size(); ++i) rows[i]->causes = causes;
        rows.back()->causes = std::move(causes);
    });
}

}  // namespace

void ForEachRepairPort(const std::vector<RepairRow>& repairs,
                       const std::function<void(const RepairPortRow&)>& take) {
    for (const RepairRow& r : repairs) {
        for (size_t i = 0; i < r.causes.size(); ++i) {
            // One row per cause, its port set in place: a cause of many ports is copied once.
            const FailureCause& c = r.causes[i];
            RepairPortRow row{r.chipId, r.station, r.timeStamp, "", static_cast<long long>(i + 1),
                              c};
            if (c.ports.empty()) take(row);
            for (const std::string& port : c.ports) {
                row.port = port;
                take(row);
            }
        }
    }
}

void ApplyDispositions(std::vector<RepairRow>& repairs, const std::vector<Disposition>& latest) {
    std::unordered_map<std::string, const Disposition*> byChip;
    for (const Disposition& d : latest) byChip[d.chipId] = &d;
    auto covering = [&byChip](const RepairRow& r) -> const Disposition* {
        auto it = byChip.find(r.chipId);
        return it != byChip.end() && DispositionCovers(*it->second, r.runId) ? it->second : nullptr;
    };
    for (RepairRow& r : repairs) {
        const Disposition* d = covering(r);
        if (d != nullptr && d->status == kDisposeRepaired) r.status = kRepairAwaitingRetest;
    }
    auto gone = [&covering](const RepairRow& r) {
        const Disposition* d = covering(r);
        return d != nullptr && d->status != kDisposeRepaired;
    };
    repairs.erase(std::remove_if(repairs.begin(), repairs.end(), gone), repairs.end());
}

void SetQueueTimes(std::vector<RepairRow>& repairs, std::time_t now) {
    for (RepairRow& r : repairs) {
        std::tm clock{};
        r.queueKnown = false;
        if (now <= 0 || !StampClock(r.timeStamp, clock)) continue;
        std::time_t since = std::mktime(&clock);
        if (since == static_cast<std::time_t>(-1) || since > now) continue;
        r.queueKnown = true;
        r.queueSeconds = static_cast<long long>(std::difftime(now, since));
    }
}

std::string QueueTimeText(long long seconds) {
    constexpr long long kMinute = 60, kHour = 3600, kDay = 86400;
    if (seconds < kHour) return std::to_string(seconds / kMinute) + " min";
    if (seconds < 2 * kDay) return std::to_string(seconds / kHour) + " h";
    return std::to_string(seconds / kDay) + " d";
}

ReportModel BuildReport(const RunFilter& filter, const ReportRows& rows, int recentBoards,
                        size_t quotedRepairs, bool hours) {
    ReportBuilder b(filter);
    b.KeepRecentBoards(recentBoards);
    b.CountHours(hours);
    if (filter.HasDayBound()) b.AddRunsLeftOutWithoutDay(rows.runsWithoutDay());
    if (rows.portTallies) {
        b.CountFromTallies();
        rows.portTallies([&b](const PortTallyRow& t) { b.AddPortTally(t); });
        rows.runTallies([&b](const RunTallyRow& t) { b.AddRunTally(t); });
        // A board's own stamp is read only for the recent boards and the hours (the screen).
        if (rows.plainBoards && recentBoards == 0 && !hours) {
            rows.plainBoards([&b](const PlainBoardsRow& t) { b.AddPlainBoards(t); });
            rows.notableBoards([&b](const BoardRow& row) { b.AddBoard(row); });
        } else {
            rows.boards([&b](const BoardRow& row) { b.AddBoard(row); });
        }
    }
    rows.runs([&b](const RunSummary& r) { b.AddRun(r); });
    rows.voltReadings([&b](const NamedValue& v, long long count) { b.AddReading(v, count); });
    ReportModel m = b.Finish();
    std::unordered_set<long long> failedRuns;
    for (const RepairRow& r : m.repairs)
        if (r.status == kRepairFailed) failedRuns.insert(r.runId);
    if (rows.dispositions) {
        std::vector<Disposition> latest;
        rows.dispositions([&latest](const Disposition& d) { latest.push_back(d); });
        ApplyDispositions(m.repairs, latest);
    }
    if (rows.failing) QuoteFailures(rows.failing, m.repairs, failedRuns, quotedRepairs);
    return m;
}

}  // namespace yield
