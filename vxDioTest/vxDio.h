// The DIO device interface class: ports of /dev/vxdio reached by numbered requests. The base
// class opens and closes the device; its operations do nothing and answer 0.
#pragma once

#include <cstdint>

// Port kinds as the driver counts them (the argument of GetDioNum).
enum DIOType : int32_t {
    DIOTYPE_DI = 1,     // ordinary digital input
    DIOTYPE_DO = 2,     // ordinary digital output
    DIOTYPE_SYSDI = 3,  // system digital input
    DIOTYPE_SYSDO = 4,  // system digital output (SDO)
};

// Port index byte: the port number from 1 in bits 0..6, bit 7 set for a system port.
inline constexpr uint8_t DIO_SYS_PORT = 0x80;
inline constexpr int DIO_MAX_PORT_NUM = 0x7F;

// Whether port number `n` can be named by an index byte (1 to 127). A larger number would spill
// into bit 7 and name a system port, so a port beyond 127 is never requested.
inline constexpr bool DioPortNameable(int n) { return n >= 1 && n <= DIO_MAX_PORT_NUM; }

class ComDio {
public:
    ComDio();
    // Not virtual and does not close the device: the owner calls uninit first. Objects are never
    // deleted through a base pointer.
    ~ComDio();

    // Opens `path` read-write. Returns 0, or -1 for a null path or a failed open (nothing is
    // reported then). `mode` is stored whatever happens. An object already open is not checked.
    int init(const char* path, int mode);
    // Closes the device when open and marks the object closed, so a second call does nothing.
    void uninit();

    virtual int GetDioNum(int type);
    virtual int SetDOOutput(uint8_t index);
    virtual int SetDOOFF(uint8_t index);
    virtual int GetDOSta(uint8_t index);
    virtual int GetDISta(uint8_t index);
    virtual int GetDioBuffSta(int first, int second);
    virtual int GetAllDioSta();
    virtual int GetDIOSta(int cmd, uint8_t index);
    virtual int WriteDODateByte(uint8_t value, uint8_t* buf, int count);

    int Mode() const { return m_iMode; }
    int Fd() const { return m_fdDio; }

protected:
    void Reset();

    int m_iMode;
    int m_fdDio;  // -1 while closed
    char m_szBuf[256];
};
