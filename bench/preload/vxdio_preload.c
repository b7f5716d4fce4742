/* Preloaded into the tool on the bench: ioctl calls on descriptors of the DIO node go to the
 * bench's DIO model over a Unix socket; every other descriptor goes to the real ioctl. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include "vxdio_wire.h"

typedef int (*ioctl_fn)(int, unsigned long, ...);

static ioctl_fn real_ioctl(void) {
    static ioctl_fn fn;
    if (fn == NULL) fn = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    return fn;
}

static const char* dio_node(void) {
    const char* node = getenv(VXDIO_BENCH_NODE_ENV);
    return node != NULL && node[0] != '\0' ? node : VXDIO_BENCH_DEFAULT_NODE;
}

static int is_dio_fd(int fd) {
    struct stat fdStat;
    struct stat nodeStat;
    if (fstat(fd, &fdStat) != 0 || stat(dio_node(), &nodeStat) != 0) return 0;
    return fdStat.st_dev == nodeStat.st_dev && fdStat.st_ino == nodeStat.st_ino;
}

static int connect_bench(void) {
    const char* path = getenv(VXDIO_BENCH_SOCKET_ENV);
    struct sockaddr_un addr;
    if (path == NULL || strlen(path) >= sizeof addr.sun_path) return -1;
    int sock = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (sock < 0) return -1;
    memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    strcpy(addr.sun_path, path);
    if (connect(sock, (struct sockaddr*)&addr, sizeof addr) != 0) {
        close(sock);
        return -1;
    }
    return sock;
}

static int transfer(int sock, void* data, size_t size, int sending) {
    char* bytes = data;
    size_t done = 0;
    while (done < size) {
        ssize_t n = sending ? send(sock, bytes + done, size - done, MSG_NOSIGNAL)
                            : recv(sock, bytes + done, size - done, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1;
        done += (size_t)n;
    }
    return 0;
}

/* The bench unreachable counts as a failing driver: -1 with EIO. */
static int forward(unsigned long request, unsigned long arg) {
    struct vxdio_wire_request req = {VXDIO_WIRE_MAGIC, (uint32_t)request, (uint32_t)arg,
                                     (int32_t)syscall(SYS_gettid)};
    struct vxdio_wire_answer ans = {-1, EIO};
    int sock = connect_bench();
    if (sock < 0 || transfer(sock, &req, sizeof req, 1) != 0 ||
        transfer(sock, &ans, sizeof ans, 0) != 0) {
        ans.value = -1;
        ans.err = EIO;
    }
    if (sock >= 0) close(sock);
    if (ans.value < 0) errno = ans.err;
    return ans.value;
}

int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    unsigned long arg = va_arg(args, unsigned long);
    va_end(args);
    int savedErrno = errno;
    int isDio = is_dio_fd(fd);
    errno = savedErrno;
    if (isDio) return forward(request, arg);
    ioctl_fn fn = real_ioctl();
    if (fn == NULL) {
        errno = ENOSYS;
        return -1;
    }
    return fn(fd, request, arg);
}

/* Only the tool talks to the DIO device through requests; its shell children must not load this
 * library (under an emulator they could not: it is built for the tool's architecture). */
__attribute__((constructor)) static void KeepPreloadToTheTool(void) { unsetenv("LD_PRELOAD"); }
