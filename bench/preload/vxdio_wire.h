/* The request that the preloaded library forwards to the bench for every ioctl on the DIO node,
 * and the bench's answer. One request per connection on a Unix stream socket. */
#ifndef VXDIO_WIRE_H
#define VXDIO_WIRE_H

#include <stdint.h>

#define VXDIO_WIRE_MAGIC 0x76784449u /* "vxDI" */

/* Environment of the tool: the socket to forward to, and the node whose descriptors are
 * forwarded (default "/dev/vxdio"). */
#define VXDIO_BENCH_SOCKET_ENV "VXDIO_BENCH_SOCKET"
#define VXDIO_BENCH_NODE_ENV "VXDIO_BENCH_NODE"
#define VXDIO_BENCH_DEFAULT_NODE "/dev/vxdio"

struct vxdio_wire_request {
    uint32_t magic;
    uint32_t code; /* the ioctl request number */
    uint32_t arg;  /* the by-value third argument, low 32 bits */
    int32_t tid;   /* the calling thread, for the record */
};

struct vxdio_wire_answer {
    int32_t value; /* what ioctl returns */
    int32_t err;   /* errno when value is negative */
};

#endif
