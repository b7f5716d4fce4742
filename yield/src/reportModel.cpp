#include "reportModel.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>

namespace yield {
namespace {

// Readings far outside any ADC range are binned at this many hundredths, keeping bins finite.
constexpr double kHistogramClamp = 1e6;

constexpr const char* kFamilyOrder[] = {"RS485", "RS232", "DO", "DI", "USB", "ADC", "LED"};

double Ratio(long long a, long long b) { return b > 0 ? static_cast<double>(a) / b : 0; }

}  // namespace

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

ReportBuilder::ReportBuilder(RunFilter filter) { m_.filter = std::move(filter); }

void ReportBuilder::CloseBoard(const std::string& chipId, const Board& b) {
    YieldSummary& s = m_.summary;
    bool first = b.first == Verdict::Ok;
    bool last = b.last == Verdict::Ok;
    ++s.boards;
    s.firstPassed += first ? 1 : 0;
    s.finalPassed += last ? 1 : 0;
    if (b.runs > 1) {
        ++s.retestedBoards;
        s.retestRuns += b.runs - 1;
        if (!first && last) ++s.recovered;
        m_.retests.push_back(RetestRow{chipId, b.runs, VerdictWord(b.first), VerdictWord(b.last)});
    }
}

void ReportBuilder::AddRun(const RunSummary& run) {
    ++m_.summary.runs;
    DayRow noDay;
    DayRow& day = run.day.empty() ? noDay : days_[run.day];
    day.day = run.day;
    m_.summary.noDayRuns += run.day.empty() ? 1 : 0;
    if (run.verdict == Verdict::Incomplete) {
        ++m_.summary.incompleteRuns;
        ++day.incomplete;
        return;
    }
    ++m_.summary.completeRuns;
    ++day.runs;
    day.passed += run.verdict == Verdict::Ok ? 1 : 0;
    long long id = run.id != 0 ? run.id : ++nextId_;
    Board& b = boards_[run.chipId];
    if (b.runs++ == 0 || std::tie(run.timeStamp, id) < std::tie(b.firstStamp, b.firstId)) {
        b.firstStamp = run.timeStamp;
        b.firstId = id;
        b.first = run.verdict;
    }
    if (b.runs == 1 || std::tie(run.timeStamp, id) > std::tie(b.lastStamp, b.lastId)) {
        b.lastStamp = run.timeStamp;
        b.lastId = id;
        b.last = run.verdict;
    }
    std::vector<Cell>& cells = cells_[run.host];
    size_t next = 0;
    for (const PortResult& p : run.ports) {
        auto same = [&p](const Cell& c) { return c.number == p.number && c.family == p.family; };
        if (next >= cells.size() || !same(cells[next])) {
            next = static_cast<size_t>(std::find_if(cells.begin(), cells.end(), same) -
                                       cells.begin());
            if (next == cells.size()) cells.push_back(Cell{p.family, p.number, 0, 0});
        }
        Cell& cell = cells[next++];
        ++cell.runs;
        if (!p.passed) {
            ++cell.failures;
            ++portFailures_[p.Name()];
        }
        if (p.intermittent) {
            m_.intermittent.push_back(
                IntermittentRow{run.host, run.chipId, run.timeStamp, p.Name()});
        }
    }
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

ReportModel ReportBuilder::Finish() {
    std::vector<const std::string*> chips;
    chips.reserve(boards_.size());
    for (const auto& kv : boards_) chips.push_back(&kv.first);
    std::sort(chips.begin(), chips.end(),
              [](const std::string* a, const std::string* b) { return *a < *b; });
    for (const std::string* chip : chips) CloseBoard(*chip, boards_[*chip]);
    std::stable_sort(m_.intermittent.begin(), m_.intermittent.end(),
                     [](const IntermittentRow& a, const IntermittentRow& b) {
                         return std::tie(a.chipId, a.timeStamp) < std::tie(b.chipId, b.timeStamp);
                     });
    YieldSummary& s = m_.summary;
    s.firstPassYield = Ratio(s.firstPassed, s.boards);
    s.finalYield = Ratio(s.finalPassed, s.boards);

    long long total = 0;
    for (const auto& kv : portFailures_) total += kv.second;
    for (const auto& kv : portFailures_) m_.pareto.push_back(ParetoRow{kv.first, kv.second, 0, 0});
    std::stable_sort(m_.pareto.begin(), m_.pareto.end(),
                     [](const ParetoRow& a, const ParetoRow& b) {
                         if (a.failures != b.failures) return a.failures > b.failures;
                         return PortOrder(a.port) < PortOrder(b.port);
                     });
    double running = 0;
    for (ParetoRow& r : m_.pareto) {
        r.share = Ratio(r.failures, total);
        running += r.share;
        r.cumulative = running;
    }

    std::set<std::string> hosts;
    std::set<std::string> ports;
    std::map<std::string, std::pair<long long, long long>> portTotals;
    // host -> port -> (runs, failures)
    std::map<std::string, std::map<std::string, std::pair<long long, long long>>> byHost;
    for (const auto& [host, cells] : cells_) {
        hosts.insert(host);
        for (const Cell& c : cells) {
            std::string port = PortResult{c.family, c.number, false, false}.Name();
            ports.insert(port);
            byHost[host][port] = {c.runs, c.failures};
            portTotals[port].first += c.runs;
            portTotals[port].second += c.failures;
        }
    }
    m_.hosts.assign(hosts.begin(), hosts.end());
    m_.ports.assign(ports.begin(), ports.end());
    std::sort(m_.ports.begin(), m_.ports.end(), [](const std::string& a, const std::string& b) {
        return PortOrder(a) < PortOrder(b);
    });
    for (const std::string& host : m_.hosts) {
        for (const std::string& port : m_.ports) {
            const auto& byPort = byHost[host];
            auto it = byPort.find(port);
            if (it == byPort.end()) continue;
            FixtureCell c{host, port, it->second.first, it->second.second};
            c.rate = Ratio(c.failures, c.runs);
            c.othersRuns = portTotals[port].first - c.runs;
            long long othersFailures = portTotals[port].second - c.failures;
            c.othersRate = Ratio(othersFailures, c.othersRuns);
            c.flagged = FixtureFlag(c.runs, c.failures, c.othersRuns, othersFailures);
            m_.fixture.push_back(c);
        }
    }

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

    for (auto& [day, row] : days_) {
        row.yield = Ratio(row.passed, row.runs);
        m_.days.push_back(row);
    }
    return std::move(m_);
}

ReportModel BuildReport(RunStore& store, const RunFilter& filter) {
    ReportBuilder b(filter);
    if (filter.HasDayBound()) b.AddRunsLeftOutWithoutDay(store.CountRunsWithoutDay(filter));
    store.ForEachRun(filter, [&](const RunSummary& r) { b.AddRun(r); });
    store.ForEachVoltReading(filter,
                             [&](const NamedValue& v, long long count) { b.AddReading(v, count); });
    return b.Finish();
}

}  // namespace yield
