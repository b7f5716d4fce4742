// Every fixed path, device name and shell command text of the tool, in one place; only the DIO
// device's own text commands sit beside the device in vxDioTest/vxDioText.h.
#pragma once

#include "traceLogFormat.h"
#include "vxDioText.h"

namespace hw {

// Files of the run on the flash.
inline constexpr char kLogFile[] = "/NandFlash/tmp/deVuzeV7.log";
inline constexpr char kOldLogsGlob[] = "/NandFlash/tmp/deVuzeV7*log";
inline constexpr char kResultFile[] = "/NandFlash/tmp/deVuzeV7.js";
inline constexpr char kTmpDir[] = "/NandFlash/tmp";
inline constexpr char kArchiveDir[] = "/NandFlash/test";

// Configuration.
inline constexpr char kIniFile[] = "devuzeV7.ini";
inline constexpr char kIniSection[] = "APP";
inline constexpr char kIniTestModeKey[] = "TestMode";
inline constexpr char kDioConf[] = "/etc/vxdio.conf";
inline constexpr char kDioConfDiKey[] = "vx_di";
inline constexpr char kDioConfDoKey[] = "vx_do";

// Devices.
inline constexpr auto& kDioDevice = vxdio::kDevice;
inline constexpr char kRs232PathFmt[] = "/dev/RS232-%d";
static_assert(tracefmt::StartsWith(kRs232PathFmt, tracefmt::kPortPathStart));
inline constexpr char kTipsPort[] = "/dev/RS232-5";
inline constexpr char kNullDevice[] = "/dev/null";

// Start-up commands.
inline constexpr char kCmdRemoveFmt[] = "rm -rf %s";
inline constexpr char kCmdStopApp[] = "killall duRurID";
inline constexpr char kCmdCpuLedTrigger[] = "echo none > /sys/class/leds/cpu/trigger";

// Discovery commands.
inline constexpr char kCmdCountRs485[] = "ls /dev | grep -c RS485";
inline constexpr char kCmdCountRs232[] = "ls /dev | grep -c RS232";
inline constexpr char kCmdCountAi[] =
    "ls /sys/bus/iio/devices/iio:device0/in_voltage*_raw | grep -v in_voltage0 | grep -c "
    "in_voltage";

// Processor ID (the line feed between the quotes is a real one).
inline constexpr char kCmdProcessorId[] = "cat /sys/fsl_otp/HW_OCOTP_CFG1 | tr -d '\n'";

// Analogue inputs: the log names the read command, so its text is the log format's.
inline constexpr auto& kCmdReadAdcFmt = tracefmt::kAdcReadFmt;

// USB sticks and TF card (two blanks after grep; a real line feed between the quotes).
inline constexpr char kCmdUsbFirst[] =
    "df | grep  /run/media/sda | awk -F ' ' '{print $6}' | tr -d '\n'";
inline constexpr char kCmdUsbSecond[] =
    "df | grep  /run/media/sdb | awk -F ' ' '{print $6}' | tr -d '\n'";
inline constexpr char kCmdTfCount[] = "df | grep -c mmcblk0p1";
inline constexpr char kStickMountRoot[] = "/run/media/";

// Archive commands. Inserted values are quoted for the shell before they are formatted in. The
// archived copies' file names are the log format's (traceLogFormat.h): on the flash in
// kArchiveDir, on a stick in its kArchiveStickDirFmt folder, beside the log in kTmpDir.
inline constexpr char kCmdMkdirArchive[] = "mkdir -p /NandFlash/test";
inline constexpr char kArchivePathFmt[] = "%s/%s";  // a folder and a name in it
inline constexpr char kArchiveFlashCopyFmt[] = "cp -f /NandFlash/tmp/deVuzeV7.log %s";
inline constexpr char kArchiveStickMkdirFmt[] = " mkdir -p %s";
inline constexpr char kArchiveStickDirFmt[] = "%s/TestQ7[%s]";
inline constexpr char kArchiveStickCopyFmt[] = "cp -f /NandFlash/tmp/deVuzeV7.log %s";
inline constexpr char kArchiveMoveFmt[] = "mv -f /NandFlash/tmp/deVuzeV7.log %s";

// Tray indicator queue.
inline constexpr int kTrayQueueKey = 0x9000;
inline constexpr int kTrayQueueFlags = 0xBB6;  // IPC_CREAT | IPC_NOWAIT | 0666
inline constexpr long kTrayMsgType = 36876;

// Identity of the build.
inline constexpr char kVersion[] = "1.0.0.1";

}  // namespace hw
