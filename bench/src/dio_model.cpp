#include "dio_model.h"

#include <cerrno>
#include <vector>

#include "text_util.h"

namespace bench {

namespace {
constexpr uint8_t kSystemBit = 0x80;
constexpr uint8_t kNumberMask = 0x7F;

DioAnswer Ok(int32_t value) { return {value, 0}; }
DioAnswer Fail(int32_t err) { return {-1, err}; }
}  // namespace

DioModel::DioModel(const DioSetup& setup) : m_setup(setup) {}

DioAnswer DioModel::Request(uint32_t code, uint32_t arg) {
    std::lock_guard<std::mutex> lock(m_mutex);
    uint8_t index = static_cast<uint8_t>(arg & 0xFF);
    switch (code) {
        case kSetDoOff:
            return SetOutput(index, 0);
        case kSetDoOn:
            return SetOutput(index, 1);
        case kReadDi:
            return ReadInput(index);
        case kReadDo:
            return ReadOutput(index);
        case kGetNum:
            return Count(arg);
        case kReadDiGroup:
            return ReadGroups(false, index, index & kNumberMask, 1);
        case kReadDiGroups2:
            return ReadGroups(false, index, 1, 2);
        case kReadDiGroups3:
            return ReadGroups(false, index, 1, 3);
        case kReadDoGroup:
            return ReadGroups(true, index, index & kNumberMask, 1);
        case kReadDoGroups2:
            return ReadGroups(true, index, 1, 2);
        case kReadDoGroups3:
            return ReadGroups(true, index, 1, 3);
        default:
            return Fail(ENOTTY);
    }
}

bool DioModel::ApplyText(const std::string& line) {
    std::string text = TrimBlanks(line);
    int level = -1;
    std::string list;
    if (text.rfind("SON=", 0) == 0) {
        level = 1;
        list = text.substr(4);
    } else if (text.rfind("SOFF=", 0) == 0) {
        level = 0;
        list = text.substr(5);
    } else {
        return false;
    }
    auto items = SplitList(list);
    if (items.empty() || items.size() > 2) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<uint8_t> outputs;
    for (const std::string& item : items) {
        long number = 0;
        if (!ParseInt(item, number) || number < 1 || number > m_setup.sysDoCount) return false;
        outputs.push_back(static_cast<uint8_t>(kSystemBit | number));
    }
    for (uint8_t index : outputs) m_levels[index] = level;
    return true;
}

int DioModel::OutputLevel(uint8_t index) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!OutputExists(index)) return -1;
    auto it = m_levels.find(index);
    return it == m_levels.end() ? 0 : it->second;
}

uint8_t DioModel::WiredOutput(int input) {
    if (input == 1 || input == 2) return static_cast<uint8_t>(input);
    if (input == 3) return kSystemBit | 2;
    if (input == 4) return kSystemBit | 1;
    if (input >= 5 && input - 2 <= kNumberMask) return static_cast<uint8_t>(input - 2);
    return 0;
}

std::string DioModel::RequestName(uint32_t code) {
    switch (code) {
        case kSetDoOff:
            return "VXDIO_SET_DO_OFF";
        case kSetDoOn:
            return "VXDIO_SET_DO_ON";
        case kReadDi:
            return "VXDIO_RD_DI";
        case kReadDo:
            return "VXDIO_RD_DO";
        case kGetNum:
            return "VXDIO_GET_NUM";
        case kReadDiGroup:
            return "VXDIO_RD_DI_GRP";
        case kReadDiGroups2:
            return "VXDIO_RD_DI_GRP2";
        case kReadDiGroups3:
            return "VXDIO_RD_DI_GRP3";
        case kReadDoGroup:
            return "VXDIO_RD_DO_GRP";
        case kReadDoGroups2:
            return "VXDIO_RD_DO_GRP2";
        case kReadDoGroups3:
            return "VXDIO_RD_DO_GRP3";
        default:
            return "UNKNOWN";
    }
}

std::string DioModel::PortName(uint8_t index, bool output) {
    std::string prefix = (index & kSystemBit) ? "S" : "";
    return prefix + (output ? "DO" : "DI") + std::to_string(index & kNumberMask);
}

DioAnswer DioModel::SetOutput(uint8_t index, int level) {
    if (!OutputExists(index)) return Fail(EINVAL);
    if (m_setup.refusedOutputs.count(index)) return Fail(EIO);
    m_levels[index] = level;
    return Ok(0);
}

DioAnswer DioModel::ReadOutput(uint8_t index) const {
    if (!OutputExists(index)) return Fail(EINVAL);
    auto fixed = m_setup.fixedReadBack.find(index);
    if (fixed != m_setup.fixedReadBack.end()) return Ok(fixed->second);
    auto it = m_levels.find(index);
    return Ok(it == m_levels.end() ? 0 : it->second);
}

DioAnswer DioModel::ReadInput(uint8_t index) const {
    if (!InputExists(index)) return Fail(EINVAL);
    auto stuck = m_setup.stuckInputs.find(index);
    if (stuck != m_setup.stuckInputs.end()) return Ok(stuck->second);
    if (index & kSystemBit) return Ok(0);  // system inputs are not wired on the fixture
    uint8_t output = WiredOutput(index & kNumberMask);
    if (output == 0 || !OutputExists(output)) return Ok(0);
    auto it = m_levels.find(output);
    return Ok(it == m_levels.end() ? 0 : it->second);
}

DioAnswer DioModel::Count(uint32_t type) const {
    switch (type) {
        case 1:
            return Ok(m_setup.diCount);
        case 2:
            return Ok(m_setup.doCount);
        case 3:
            return Ok(m_setup.sysDiCount);
        case 4:
            return Ok(m_setup.sysDoCount);
        default:
            return Ok(0);
    }
}

// Bit i of the answer is port 8*(g-1)+i+1, groups counted from `firstGroup`; ports the board
// does not have read 0.
DioAnswer DioModel::ReadGroups(bool output, uint8_t arg, int firstGroup, int groups) const {
    if (firstGroup < 1) return Fail(EINVAL);
    uint8_t system = arg & kSystemBit;
    int32_t bits = 0;
    for (int bit = 0; bit < 8 * groups; ++bit) {
        int number = 8 * (firstGroup - 1) + bit + 1;
        if (number > kNumberMask) break;
        uint8_t index = static_cast<uint8_t>(system | number);
        bool exists = output ? OutputExists(index) : InputExists(index);
        if (!exists) continue;
        DioAnswer state = output ? ReadOutput(index) : ReadInput(index);
        if (state.value > 0) bits |= (1 << bit);
    }
    return Ok(bits);
}

bool DioModel::OutputExists(uint8_t index) const {
    int number = index & kNumberMask;
    int count = (index & kSystemBit) ? m_setup.sysDoCount : m_setup.doCount;
    return number >= 1 && number <= count;
}

bool DioModel::InputExists(uint8_t index) const {
    int number = index & kNumberMask;
    int count = (index & kSystemBit) ? m_setup.sysDiCount : m_setup.diCount;
    return number >= 1 && number <= count;
}

}  // namespace bench
