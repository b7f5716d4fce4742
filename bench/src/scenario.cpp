#include "scenario.h"

#include <ini.h>

#include <filesystem>

#include "text_util.h"

namespace bench {

namespace {

constexpr int kMaxBaseDepth = 8;
constexpr int kMaxSerialPort = 64;
constexpr char kScenarioFile[] = "scenario.ini";
constexpr size_t kMaxIniLine = 4096;

using IniSections = std::map<std::string, std::map<std::string, std::string>>;

int StoreIniValue(void* user, const char* section, const char* key, const char* value) {
    auto* sections = static_cast<IniSections*>(user);
    (*sections)[TrimBlanks(section)][key] = value != nullptr ? value : "";
    return 1;
}

// Reads one scenario.ini. Comments are whole lines starting with ";" or "#", or the rest of a
// line after a blank and ";" or "#"; blanks around section names, keys and values do not count;
// a key without "=" has an empty value; the last of repeated keys wins.
bool ReadIniFile(const std::string& path, IniSections& sections, std::string& error) {
    std::string text;
    if (!ReadFileText(path, text)) {
        error = "cannot read " + path;
        return false;
    }
    int lineNo = 0;
    for (const std::string& line : SplitLines(text)) {
        ++lineNo;
        if (line.size() + 3 > kMaxIniLine || line.find('\0') != std::string::npos) {
            error = path + " line " + std::to_string(lineNo) + ": longer than " +
                    std::to_string(kMaxIniLine - 3) + " bytes or holding a NUL byte";
            return false;
        }
    }
    ini_allow_multiline = false;
    ini_allow_no_value = true;
    ini_stop_on_first_error = true;
    ini_use_stack = false;
    ini_allow_realloc = false;
    ini_max_line = static_cast<int>(kMaxIniLine);
    static char inlineComments[] = ";#";
    ini_inline_comment_prefixes = inlineComments;
    int result = ini_parse_string(text.c_str(), StoreIniValue, &sections);
    if (result != 0) error = path + " line " + std::to_string(result) + ": not an INI line";
    return result == 0;
}

// The scenario and its bases, the scenario itself first.
class IniChain {
public:
    bool Load(const std::string& dir, std::string& error) {
        std::string current = dir;
        for (int depth = 0; depth < kMaxBaseDepth; ++depth) {
            if (!LoadLevel(current, error)) return false;
            std::string base = LevelValue(m_levels.back(), "scenario", "base").value_or("");
            if (base.empty()) return true;
            current = ResolveBase(current, base);
        }
        error = "scenario bases nest deeper than " + std::to_string(kMaxBaseDepth) +
                " levels (a loop?) from " + dir;
        return false;
    }

    std::optional<std::string> Get(const std::string& section, const std::string& key) const {
        for (const Level& level : m_levels) {
            auto value = LevelValue(level, section, key);
            if (value) return value;
        }
        return std::nullopt;
    }

    // A verbatim file: [files] <key> = none | standard | file; a missing key means "the file
    // when this folder has it, else what the base says".
    std::optional<std::string> Verbatim(const std::string& fileName, const std::string& key,
                                        const std::string& standard) const {
        for (const Level& level : m_levels) {
            std::string mode = LevelValue(level, "files", key).value_or("");
            if (mode == "none") return std::nullopt;
            if (mode == "standard") return standard;
            std::string content;
            if (ReadFileText(JoinPath(level.dir, fileName), content)) return content;
        }
        return std::nullopt;
    }

    // The host name: a hostname file of a level wins over that level's [board] hostname.
    std::string Hostname(const std::string& fallback) const {
        for (const Level& level : m_levels) {
            std::string content;
            if (ReadFileText(JoinPath(level.dir, "hostname"), content))
                return StripLineEnd(content);
            auto value = LevelValue(level, "board", "hostname");
            if (value) return *value;
        }
        return fallback;
    }

private:
    struct Level {
        std::string dir;
        IniSections ini;
    };

    static std::optional<std::string> LevelValue(const Level& level, const std::string& section,
                                                 const std::string& key) {
        auto keys = level.ini.find(section);
        if (keys == level.ini.end()) return std::nullopt;
        auto value = keys->second.find(key);
        if (value == keys->second.end()) return std::nullopt;
        return value->second;
    }

    static std::string StripLineEnd(std::string text) {
        if (!text.empty() && text.back() == '\n') text.pop_back();
        if (!text.empty() && text.back() == '\r') text.pop_back();
        return text;
    }

    // A relative base is a sibling folder; an absolute one is taken as it is.
    static std::string ResolveBase(const std::string& dir, const std::string& base) {
        return (std::filesystem::path(dir).parent_path() / base).string();
    }

    bool LoadLevel(const std::string& dir, std::string& error) {
        std::string path = JoinPath(dir, kScenarioFile);
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) {
            error = "no " + std::string(kScenarioFile) + " in " + dir;
            return false;
        }
        Level level{dir, {}};
        if (!ReadIniFile(path, level.ini, error)) return false;
        m_levels.push_back(std::move(level));
        return true;
    }

    std::vector<Level> m_levels;
};

// Reads the typed settings of a chain, collecting the first error.
class Reader {
public:
    explicit Reader(const IniChain& chain) : m_chain(chain) {}

    std::string Text(const std::string& section, const std::string& key, const std::string& def) {
        return m_chain.Get(section, key).value_or(def);
    }

    int Int(const std::string& section, const std::string& key, int def) {
        auto text = m_chain.Get(section, key);
        if (!text) return def;
        long value = 0;
        if (!ParseInt(*text, value)) Fail(section, key, *text, "a whole number");
        return static_cast<int>(value);
    }

    bool Flag(const std::string& section, const std::string& key, bool def) {
        return Int(section, key, def ? 1 : 0) != 0;
    }

    // "1,3,5-7" -> {1,3,5,6,7}
    std::set<int> Numbers(const std::string& section, const std::string& key,
                          const std::string& def) {
        std::set<int> numbers;
        std::string text = Text(section, key, def);
        for (const std::string& item : SplitList(text)) {
            if (!AddRange(item, numbers)) Fail(section, key, text, "numbers and ranges like 1,3-5");
        }
        return numbers;
    }

    // "1-2,3-4" -> {(1,2),(3,4)}
    std::vector<std::pair<int, int>> Pairs(const std::string& section, const std::string& key,
                                           const std::vector<std::pair<int, int>>& def) {
        auto text = m_chain.Get(section, key);
        if (!text) return def;
        std::vector<std::pair<int, int>> pairs;
        for (const std::string& item : SplitList(*text)) {
            auto parts = SplitList(item, '-');
            long a = 0, b = 0;
            if (parts.size() != 2 || !ParseInt(parts[0], a) || !ParseInt(parts[1], b))
                Fail(section, key, *text, "pairs like 1-2,3-4");
            else
                pairs.emplace_back(static_cast<int>(a), static_cast<int>(b));
        }
        return pairs;
    }

    // "DI3:0,DO2:1" -> {(index byte, value)}
    std::map<uint8_t, int> PortValues(const std::string& section, const std::string& key,
                                      bool output) {
        std::map<uint8_t, int> values;
        std::string text = Text(section, key, "");
        for (const std::string& item : SplitList(text)) {
            auto parts = SplitList(item, ':');
            uint8_t index = 0;
            long value = 0;
            if (parts.size() != 2 || !ParseDioPortName(parts[0], output, index) ||
                !ParseInt(parts[1], value))
                Fail(section, key, text,
                     output ? "items like DO3:1 or SDO1:0" : "items like DI3:0");
            else
                values[index] = static_cast<int>(value);
        }
        return values;
    }

    std::set<uint8_t> Ports(const std::string& section, const std::string& key, bool output) {
        std::set<uint8_t> ports;
        std::string text = Text(section, key, "");
        for (const std::string& item : SplitList(text)) {
            uint8_t index = 0;
            if (!ParseDioPortName(item, output, index))
                Fail(section, key, text, "port names like DO3 or SDO1");
            else
                ports.insert(index);
        }
        return ports;
    }

    void Fail(const std::string& section, const std::string& key, const std::string& value,
              const std::string& expected) {
        if (!m_error.empty()) return;
        m_error = "[" + section + "] " + key + "=" + value + ": expected " + expected;
    }

    const std::string& Error() const { return m_error; }

private:
    static bool AddRange(const std::string& item, std::set<int>& numbers) {
        auto parts = SplitList(item, '-');
        long first = 0, last = 0;
        if (parts.size() == 1 && ParseInt(parts[0], first))
            last = first;
        else if (parts.size() != 2 || !ParseInt(parts[0], first) || !ParseInt(parts[1], last))
            return false;
        if (first > last || last - first > 4096) return false;
        for (long n = first; n <= last; ++n) numbers.insert(static_cast<int>(n));
        return true;
    }

    const IniChain& m_chain;
    std::string m_error;
};

void ReadBoard(Reader& r, const IniChain& chain, BoardSpec& board) {
    board.hostname = chain.Hostname(board.hostname);
    std::string userland = r.Text("board", "userland", "host");
    if (userland == "busybox")
        board.userland = Userland::kBusybox;
    else if (userland != "host")
        r.Fail("board", "userland", userland, "host or busybox");
    board.workdir = r.Text("board", "workdir", board.workdir);
    if (board.workdir.empty() || board.workdir[0] != '/')
        r.Fail("board", "workdir", board.workdir, "an absolute path");
    board.cpuLedTrigger = UnescapeText(r.Text("board", "cpu_led_trigger", "heartbeat\\n"));
    board.timeoutSec = r.Int("board", "timeout", board.timeoutSec);
    board.duRurId = r.Flag("processes", "duRurID", true);
    board.trayReader = r.Flag("processes", "tray", true);
}

std::string AtReplyText(Reader& r) {
    std::string reply = r.Text("at", "reply", "ok");
    if (reply == "ok") return "OK\r\n";
    if (reply == "error") return "ERROR\r\n";
    if (reply == "one_byte") return "O";
    if (reply == "zero_ok") return std::string("\0OK\r\n", 5);
    if (reply == "silent") return "";
    if (reply == "custom") return UnescapeText(r.Text("at", "text", ""));
    r.Fail("at", "reply", reply, "ok, error, one_byte, zero_ok, silent or custom");
    return "";
}

void ReadSerial(Reader& r, SerialSetup& serial) {
    serial.rs232Count = r.Int("serial", "rs232", serial.rs232Count);
    serial.rs485Count = r.Int("serial", "rs485", serial.rs485Count);
    serial.missing = r.Numbers("serial", "missing", "");
    serial.pairs = r.Pairs("serial", "pairs", DefaultSerialPairs(kMaxSerialPort));
    serial.cut = r.Numbers("serial", "cut", "");
    serial.selfHearing = r.Numbers("serial", "self_hear", "");
    for (const std::string& item : SplitList(r.Text("serial", "corrupt", ""))) {
        auto parts = SplitList(item, ':');
        long port = 0, index = 0;
        if (parts.size() != 2 || !ParseInt(parts[0], port) || !ParseInt(parts[1], index))
            r.Fail("serial", "corrupt", item, "items like 1:5 (port 1, byte 5 of each burst)");
        else
            serial.corruptByte[static_cast<int>(port)] = static_cast<int>(index);
    }
    serial.atPort = r.Int("at", "port", serial.atPort);
    serial.atReply = AtReplyText(r);
}

void ReadDio(Reader& r, const std::optional<std::string>& conf, DioSetup& dio) {
    if (conf) CountDioConf(*conf, dio.diCount, dio.doCount);
    dio.present = r.Flag("dio", "present", true);
    dio.diCount = r.Int("dio", "di", dio.diCount);
    dio.doCount = r.Int("dio", "do", dio.doCount);
    dio.sysDiCount = r.Int("dio", "sysdi", dio.sysDiCount);
    dio.sysDoCount = r.Int("dio", "sysdo", dio.sysDoCount);
    dio.stuckInputs = r.PortValues("dio", "stuck", false);
    dio.refusedOutputs = r.Ports("dio", "refuse", true);
    dio.fixedReadBack = r.PortValues("dio", "readback", true);
}

void ReadAdc(Reader& r, std::map<int, std::string>& adc) {
    std::string value = r.Text("adc", "value", "2048");
    for (int channel : r.Numbers("adc", "channels", "0-4")) {
        adc[channel] = r.Text("adc", "ch" + std::to_string(channel), value) + "\n";
    }
}

void ReadStorage(Reader& r, StorageSpec& storage) {
    std::set<std::string> full, readOnly;
    for (const auto& name : SplitList(r.Text("storage", "full", ""))) full.insert(name);
    for (const auto& name : SplitList(r.Text("storage", "readonly", ""))) readOnly.insert(name);
    for (const auto& name : SplitList(r.Text("storage", "sticks", "sda1,sdb1"))) {
        if (name.find('/') != std::string::npos || name == "." || name == "..")
            r.Fail("storage", "sticks", name, "partition names like sda1");
        storage.sticks.push_back({name, full.count(name) > 0, readOnly.count(name) > 0});
    }
    storage.tfCard = r.Flag("storage", "tf", false);
    storage.nandReadOnly = r.Flag("storage", "nand_readonly", false);
    storage.stickSize = r.Text("storage", "stick_size", storage.stickSize);
}

std::string ResolveScenarioDir(const std::string& nameOrDir, const std::string& root) {
    if (nameOrDir.find('/') != std::string::npos) return nameOrDir;
    std::error_code ec;
    if (std::filesystem::is_directory(nameOrDir, ec) &&
        std::filesystem::exists(JoinPath(nameOrDir, kScenarioFile), ec))
        return nameOrDir;
    return JoinPath(root, nameOrDir);
}

}  // namespace

bool ParseDioPortName(const std::string& name, bool output, uint8_t& index) {
    std::string plain = output ? "DO" : "DI";
    std::string system = output ? "SDO" : "SDI";
    bool isSystem = name.rfind(system, 0) == 0;
    if (!isSystem && name.rfind(plain, 0) != 0) return false;
    long number = 0;
    if (!ParseInt(name.substr(isSystem ? 3 : 2), number) || number < 1 || number > 127)
        return false;
    index = static_cast<uint8_t>(number | (isSystem ? 0x80 : 0));
    return true;
}

std::vector<std::pair<int, int>> DefaultSerialPairs(int maxPort) {
    std::vector<std::pair<int, int>> pairs;
    for (int step = 0;; step += 2) {
        if (step == 4) continue;               // the fifth port carries the AT device
        int first = step == 6 ? 6 : step + 1;  // index 7 (port 8) belongs to no step
        if (first + 1 > maxPort) break;
        pairs.emplace_back(first, first + 1);
    }
    return pairs;
}

void CountDioConf(const std::string& conf, int& diCount, int& doCount) {
    for (const std::string& line : SplitList(conf, '\n')) {
        bool isDi = line.find("vx_di") != std::string::npos;
        bool isDo = !isDi && line.find("vx_do") != std::string::npos;
        if (!isDi && !isDo) continue;
        size_t eq = line.find('=');
        std::string list = eq == std::string::npos ? "" : line.substr(eq + 1);
        int count = static_cast<int>(SplitList(list).size());
        (isDi ? diCount : doCount) = count;
    }
}

bool LoadScenario(const std::string& nameOrDir, const std::string& scenariosRoot,
                  Scenario& scenario, std::string& error) {
    scenario = Scenario{};
    scenario.dir = std::filesystem::absolute(ResolveScenarioDir(nameOrDir, scenariosRoot)).string();
    scenario.name = std::filesystem::path(scenario.dir).filename().string();
    IniChain chain;
    if (!chain.Load(scenario.dir, error)) return false;
    Reader reader(chain);
    scenario.description = reader.Text("scenario", "description", "");
    scenario.vxdioConf = chain.Verbatim("vxdio.conf", "vxdio_conf", kStandardVxdioConf);
    scenario.devuzeIni = chain.Verbatim("devuzeV7.ini", "devuzeV7_ini", kStandardDevuzeIni);
    scenario.fuseId = chain.Verbatim("fuse_id", "fuse_id", kStandardFuseId);
    ReadBoard(reader, chain, scenario.board);
    ReadSerial(reader, scenario.serial);
    ReadDio(reader, scenario.vxdioConf, scenario.dio);
    ReadAdc(reader, scenario.adcRaw);
    ReadStorage(reader, scenario.storage);
    scenario.defaultArgs = SplitList(reader.Text("run", "args", ""), ' ');
    error = reader.Error();
    return error.empty();
}

}  // namespace bench
