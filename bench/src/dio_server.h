// Serves the DIO model to the tool: the FIFO /dev/vxdio carries the text commands written by
// `echo ... > /dev/vxdio`, and a Unix socket carries the ioctl requests that the preloaded
// library forwards. Every command and request goes to the timeline.
#pragma once

#include <string>

#include "dio_model.h"
#include "event_list.h"
#include "worker.h"

namespace bench {

class DioServer {
public:
    DioServer(DioModel& model, EventList& timeline);
    ~DioServer();

    // Creates the FIFO at `fifoPath` (host path inside the fake root) and binds the socket at
    // `socketPath`. An empty `fifoPath` means the device is absent: only the socket is served.
    bool Create(const std::string& fifoPath, const std::string& socketPath, std::string& error);
    void Start();
    void Stop();

    // Handles one request as the socket does; for tests.
    DioAnswer Serve(uint32_t code, uint32_t arg, int tid);
    // Handles one text line as the FIFO does; for tests.
    void HandleText(const std::string& line);

private:
    void FifoLoop();
    void DrainFifo();
    void SocketLoop();
    void ServeClient(int client);

    DioModel& m_model;
    EventList& m_timeline;
    int m_fifoFd = -1;
    int m_listenFd = -1;
    std::string m_pending;  // text received after the last line end
    Worker m_fifoWorker;
    Worker m_socketWorker;
};

}  // namespace bench
