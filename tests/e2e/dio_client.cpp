// Run on the bench in place of the tool: issues every request of the DIO classes once, on an
// unopened object first, so the run record shows what reaches the DIO model and what the
// classes print and log.
#include <cstdio>

#include "hwPaths.h"
#include "vxDioIoctl.h"

namespace {
void SingleRequests(ComDioIoctl& dio) {
    dio.SetDOOFF(0x03);
    dio.GetDOSta(0x03);
    dio.SetDOOutput(0x03);  // left on, so the group reads answer more than 0
    dio.GetDOSta(0x03);
    dio.GetDISta(0x05);
    dio.GetDISta(0x81);
    for (int type = DIOTYPE_DI; type <= DIOTYPE_SYSDO; ++type) dio.GetDioNum(type);
    for (int cmd = VXDIO_RD_DI_GRP; cmd <= VXDIO_MAX_CMD; ++cmd) dio.GetDIOSta(cmd, 0x81);
}
}  // namespace

int main() {
    ComDioIoctl unopened;
    printf("unopened:%d\n", unopened.GetDISta(0x01));
    ComDioIoctl dio;
    if (dio.init(hw::kDioDevice, 1) != 0) {
        printf("open failed\n");
        return 1;
    }
    SingleRequests(dio);
    printf("dump:%d\n", dio.GetAllDioSta());
    dio.uninit();
    return 0;
}
