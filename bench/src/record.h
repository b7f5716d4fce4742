// The run record (record.json) and the artifacts kept beside it.
//
// Record layout (times in ms from the tool's start):
//   scenario {name, dir, description}, hostname, command [argv], tool, tool_args,
//   started_at, duration_ms, exit {status, code|signal, signal_name, timed_out, interrupted},
//   stdout, stderr, log (every generation of /NandFlash/tmp/deVuzeV7.log, in order),
//   result_document (text of /NandFlash/tmp/deVuzeV7.js, or null),
//   files {"/NandFlash/...": {size, content}}, media {"/run/media/sda1": {"files": {...}}},
//   workdir_files [names of the files in the tool's working directory, recursively],
//   timeline [{t_ms, kind: "ioctl", code, name, arg, arg_hex, port, answer, errno, tid} |
//             {t_ms, kind: "text", text, applied}],
//   serial [{t_ms, port, dir: "rx" (the tool wrote) | "tx" (the fixture sent), len, text, hex}],
//   serial_nodes {"RS232-1": "pts/0"}, tray [{t_ms, type, len, payload_hex, int0, int1}],
//   duRurID {started, killed, signal, signal_name, t_ms}, cpu_led_trigger, dio_outputs,
//   verdict ("OK", "ERR" or null), artifacts (the output folder).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace bench {

// Files larger than this are listed with their size only.
inline constexpr size_t kLargestRecordedFile = 256 * 1024;

// Every regular file under `hostDir`, keyed by its path shown under `shownPrefix`.
nlohmann::json CollectFiles(const std::string& hostDir, const std::string& shownPrefix);
// {"status": raw wait status, "code" or "signal" and "signal_name", "timed_out", ...}
nlohmann::json ExitRecord(int waitStatus, bool timedOut, bool interrupted);
// "OK" / "ERR" from the log's verdict line, or null.
nlohmann::json VerdictOf(const std::string& log);
// Copies a folder tree (files and folders only).
bool CopyTree(const std::string& from, const std::string& to, std::string& error);
// Writes the record with invalid UTF-8 replaced, so any bytes the tool wrote stay readable.
bool WriteRecord(const std::string& path, const nlohmann::json& record, std::string& error);

}  // namespace bench
