#include "run_report.h"

#include <cstdio>

namespace devbench {

namespace {
using nlohmann::json;

bool HasUsage(const json& usage) {
    return usage.is_object() && usage.contains("vm_hwm_kb") && usage.contains("cpu_ms");
}

void TakeUsage(const json& usage, const std::string& source, RunFigures& figures) {
    figures.hwmKb = usage.value("vm_hwm_kb", -1L);
    figures.cpuMs = usage["cpu_ms"].value("total", -1.0);
    figures.usageSource = source;
}

std::string MiB(long kb) {
    if (kb < 0) return "?";
    char text[32];
    snprintf(text, sizeof text, "%.2f MiB", kb / 1024.0);
    return text;
}

const char* Mark(bool met) { return met ? "met" : "MISSED"; }

std::string RunLine(const RunFigures& run) {
    char line[400];
    const double ratio = run.floor.totalMs > 0 ? run.wallMs / run.floor.totalMs : 0;
    const double cpuShare = run.cpuMs >= 0 && run.wallMs > 0 ? run.cpuMs / run.wallMs : -1;
    char cpu[64] = "?";
    if (cpuShare >= 0)
        snprintf(cpu, sizeof cpu, "%.3f s %5.2f%% %s", run.cpuMs / 1000, cpuShare * 100,
                 Mark(cpuShare < goal::kCpuShare));
    std::string hwm = MiB(run.hwmKb);
    if (run.hwmKb >= 0) hwm += std::string(" ") + Mark(run.hwmKb < goal::kPeakRssKb);
    snprintf(line, sizeof line, "%-8s %9.3f %9.3f %8.3f %6.4f %-6s  %-24s %-16s %4d %s\n",
             run.label.c_str(), run.wallMs / 1000, run.floor.totalMs / 1000,
             (run.wallMs - run.floor.totalMs) / 1000, ratio, Mark(ratio <= goal::kOverheadRatio),
             cpu, hwm.c_str(), run.exitCode, run.verdict.c_str());
    return line;
}

std::string FloorLines(const RunFigures& run) {
    std::string text = "Floor of " + run.label + " (fixed waits counted in its record):\n";
    char line[200];
    for (const FloorPart& part : run.floor.parts) {
        snprintf(line, sizeof line, "  %-46s %4d  %9.0f ms\n", part.what.c_str(), part.count,
                 part.totalMs);
        text += line;
    }
    snprintf(line, sizeof line, "  %-46s       %9.0f ms\n", "total", run.floor.totalMs);
    text += line;
    for (const std::string& note : run.floor.notes) text += "  note: " + note + "\n";
    if (!run.usageSource.empty()) text += "  CPU and memory from: " + run.usageSource + "\n";
    return text;
}
}  // namespace

RunFigures Summarize(const RunInput& input) {
    RunFigures figures;
    figures.label = input.label;
    figures.wallMs = input.record.value("duration_ms", 0.0);
    figures.floor = ComputeFloor(input.record);
    const json exitInfo = input.record.value("exit", json::object());
    figures.exitCode = exitInfo.value("code", -1);
    const json verdict = input.record.value("verdict", json());
    figures.verdict = verdict.is_string() ? verdict.get<std::string>() : "-";
    if (HasUsage(input.record.value("tool_usage", json())))
        TakeUsage(input.record["tool_usage"], "the run record (tool_usage)", figures);
    else if (HasUsage(input.watch))
        TakeUsage(input.watch, "devuzeV7-tool-watch (last /proc sample)", figures);
    return figures;
}

std::string FormatRuns(const std::vector<RunFigures>& runs, long bareHwmKb) {
    char heading[400];
    snprintf(heading, sizeof heading, "%-8s %9s %9s %8s %6s %-6s  %-24s %-16s %4s %s\n", "run",
             "wall s", "floor s", "over s", "ratio", "<=1.03", "tool CPU (<5% of wall)",
             "VmHWM (<4 MiB)", "exit", "verdict");
    std::string text = heading;
    for (const RunFigures& run : runs) text += RunLine(run);
    text += "bare C++ program linked like the tool: VmHWM " + MiB(bareHwmKb) + "\n\n";
    for (const RunFigures& run : runs) text += FloorLines(run) + "\n";
    return text;
}

}  // namespace devbench
