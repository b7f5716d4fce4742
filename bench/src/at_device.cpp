#include "at_device.h"

namespace bench {

std::string AtDevice::Answer(const std::string& message) {
    m_received.push_back(message);
    return m_reply;
}

}  // namespace bench
