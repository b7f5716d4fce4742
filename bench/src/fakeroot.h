// The board's file tree in a fake root on a tmpfs: the userland, /dev with the devpts instance,
// /etc, the sysfs files, the working directory with the tool, and the bench's own corner
// (/.bench: the preload library and the DIO socket). The tool enters it with chroot.
#pragma once

#include <string>

#include "scenario.h"

namespace bench {

// Paths inside the fake root.
inline constexpr char kBenchCorner[] = "/.bench";
inline constexpr char kDioSocket[] = "/.bench/dio.sock";
inline constexpr char kPreloadLibrary[] = "/.bench/libvxdio_preload.so";
inline constexpr char kCoverageDir[] = "/.bench/gcov";  // where a measured tool writes its counts
inline constexpr char kDioNode[] = "/dev/vxdio";
inline constexpr char kToolName[] = "devuzeV7";
inline constexpr char kCpuTrigger[] = "/sys/class/leds/cpu/trigger";
inline constexpr char kFuseFile[] = "/sys/fsl_otp/HW_OCOTP_CFG1";
inline constexpr char kIioDir[] = "/sys/bus/iio/devices/iio:device0";
inline constexpr char kNandFlash[] = "/NandFlash";
inline constexpr char kLogFile[] = "/NandFlash/tmp/deVuzeV7.log";
inline constexpr char kResultFile[] = "/NandFlash/tmp/deVuzeV7.js";
inline constexpr char kSysroot[] = "/sysroot";
inline constexpr char kBusybox[] = "/usr/bin/busybox";

class FakeRoot {
public:
    explicit FakeRoot(std::string hostDir) : m_root(std::move(hostDir)) {}

    // Host path of a path inside the fake root.
    std::string Host(const std::string& inside) const;
    const std::string& Dir() const { return m_root; }

    bool MountRoot(std::string& error);
    bool SetUpUserland(Userland userland, std::string& error);
    // /dev as a tmpfs with null, zero, random, urandom, tty bound from the host and a new devpts
    // instance at /dev/pts; the serial and DIO nodes are added afterwards, then Seal().
    bool SetUpDev(std::string& error);
    // Makes /dev read-only, so a node the board lacks cannot be created by the tool.
    bool SealDev(std::string& error);
    bool SetUpEtc(const Scenario& scenario, std::string& error);
    bool SetUpSys(const Scenario& scenario, std::string& error);
    // The working directory with devuzeV7.ini (if any) and the tool copied in as ./devuzeV7.
    bool SetUpWorkdir(const Scenario& scenario, const std::string& toolPath, std::string& error);
    bool SetUpBenchCorner(const std::string& preloadPath, std::string& error);
    bool BindSysroot(const std::string& sysroot, std::string& error);
    // Binds the host folder `hostDir` (created when missing) at kCoverageDir, writable.
    bool BindCoverage(const std::string& hostDir, std::string& error);
    bool MountProc(std::string& error);

private:
    bool LinkOrBindTopDir(const std::string& name, std::string& error);
    bool PopulateBusybox(std::string& error);

    std::string m_root;
};

}  // namespace bench
