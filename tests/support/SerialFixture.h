// A fake test fixture for serial ports: a thread that carries what each device sends to the
// ports it is wired to, answers commands like the fixture's AT device, and records everything.
#pragma once

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "PtyPort.h"

class SerialFixture {
public:
    SerialFixture() = default;
    ~SerialFixture();
    SerialFixture(const SerialFixture&) = delete;
    SerialFixture& operator=(const SerialFixture&) = delete;

    // What `from` sends arrives at each port of `to` (name `from` itself for a port that hears
    // its own messages), followed by `trailer`.
    void Wire(PtyPort& from, const std::vector<PtyPort*>& to, const std::string& trailer = "");
    // Every burst that `port` sends is answered with `reply` (empty: never answered).
    void Answer(PtyPort& port, const std::string& reply);
    // Only records what `port` sends.
    void Listen(PtyPort& port);

    void Start();
    void Stop();
    // Everything `port` sent, in order. Read it after Stop.
    std::string Sent(const PtyPort& port) const;

private:
    struct Line {
        PtyPort* port = nullptr;
        std::vector<PtyPort*> to;
        std::string trailer;
        std::string reply;
        std::string sent;
    };
    Line& LineOf(PtyPort& port);
    void Run();
    void Carry(Line& line);

    std::map<int, Line> lines_;  // by the far end's descriptor
    std::thread thread_;
    std::atomic<bool> stop_{false};
};
