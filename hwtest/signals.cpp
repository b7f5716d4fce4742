#include "signals.h"

#include <semaphore.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "vxDioText.h"
#include "vxLog.h"
#include "vxSys.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "sig_handler";
constexpr unsigned kSignalSettleUs = 500000;

sem_t g_signalSem;
volatile sig_atomic_t g_pendingSignal = 0;
volatile sig_atomic_t g_signalWaiting = 0;

// Ready before main, so the handler never has to set anything up.
struct SignalSemInit {
    SignalSemInit() { sem_init(&g_signalSem, 0, 0); }
} g_signalSemInit;

void WriteStderr(const char* text) {
    ssize_t ignored = write(STDERR_FILENO, text, strlen(text));
    (void)ignored;
}

// "sig_handler param err. [<n>]\n" without stdio, since it runs inside a handler.
void ReportBadSignal(int signum) {
    char digits[16];
    int n = 0;
    // Negated in unsigned arithmetic: -INT_MIN does not fit a 32-bit long.
    unsigned v = signum < 0 ? 0u - static_cast<unsigned>(signum) : static_cast<unsigned>(signum);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0 && n < 15);
    char text[64] = "sig_handler param err. [";
    size_t len = strlen(text);
    if (signum < 0) text[len++] = '-';
    while (n > 0) text[len++] = digits[--n];
    text[len++] = ']';
    text[len++] = '\n';
    text[len] = '\0';
    WriteStderr(text);
}
}  // namespace

volatile sig_atomic_t g_bRun = 1;

void sig_handler(int signum) {
    if (signum < 0) {
        ReportBadSignal(signum);
        return;
    }
    if (signum == SIGINT || signum == SIGTERM) g_bRun = 0;
    g_pendingSignal = signum;
    g_signalWaiting = 1;
    sem_post(&g_signalSem);
}

bool HandlePendingSignal() {
    if (g_signalWaiting == 0) return false;
    g_signalWaiting = 0;
    int signum = g_pendingSignal;
    if (signum == SIGINT || signum == SIGTERM) {
        Sys().Usleep(kSignalSettleUs);
        // SIGTERM too is reported under SIGINT's name and number.
        RTLOG_FROM(kLogRoutine, "Received signal SIGINT[%d]", SIGINT);
        DioBeeper(true);
        DioLedsOff();
        signal(SIGINT, SIG_DFL);
    } else {
        RTLOG_FROM(kLogRoutine, "Received signal unknow[%d]", signum);
    }
    return true;
}

void StartSignalWorker() {
    std::thread([] {
        for (;;) {
            while (sem_wait(&g_signalSem) != 0) {
            }
            HandlePendingSignal();
        }
    }).detach();
}
