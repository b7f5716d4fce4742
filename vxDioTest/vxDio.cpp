#include "vxDio.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "vxLog.h"

namespace {
constexpr char kLogModule[] = "vxDioTest/vxDio";
}

ComDio::ComDio() { Reset(); }

ComDio::~ComDio() = default;

void ComDio::Reset() {
    m_iMode = 0;
    m_fdDio = -1;
    memset(m_szBuf, 0, sizeof m_szBuf);
}

int ComDio::init(const char* path, int mode) {
    int result = -1;
    if (path != nullptr) {
        m_fdDio = open(path, O_RDWR | O_CLOEXEC);
        if (m_fdDio >= 0) {
            RTLOG("---------------succ open DIO:%s---------------", path);
            result = 0;
        }
    }
    m_iMode = mode;
    return result;
}

void ComDio::uninit() {
    if (m_fdDio == -1) return;
    close(m_fdDio);
    m_fdDio = -1;
}

int ComDio::GetDioNum(int) { return 0; }
int ComDio::SetDOOutput(uint8_t) { return 0; }
int ComDio::SetDOOFF(uint8_t) { return 0; }
int ComDio::GetDOSta(uint8_t) { return 0; }
int ComDio::GetDISta(uint8_t) { return 0; }
int ComDio::GetDioBuffSta(int, int) { return 0; }
int ComDio::GetAllDioSta() { return 0; }
int ComDio::GetDIOSta(int, uint8_t) { return 0; }
int ComDio::WriteDODateByte(uint8_t, uint8_t*, int) { return 0; }
