#include "indications.h"

#include <pthread.h>
#include <semaphore.h>
#include <sys/msg.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <thread>

#include "hwPaths.h"
#include "vxLog.h"
#include "vxSys.h"
#include "vxText.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "sig_handler";
constexpr long kTickNs = 100L * 1000 * 1000;
constexpr int kTicksPerBlink = 3;
constexpr int kTickWrap = 300;
constexpr int kBeeper = 3;
constexpr int kLedD3 = 4;
constexpr int kLedD2 = 5;
constexpr int kPassBeeperBound = 19;
constexpr int kFailBeeperBound = 59;
constexpr int kPatternSteps = 70;
constexpr unsigned kStepUs = 100000;
constexpr unsigned kSignalSettleUs = 500000;
constexpr int kTrayPayload = 76;

std::mutex g_tickMutex;
bool g_timerArmed = false;
bool g_timerStopped = false;
sigset_t g_maskBeforeTimer;
bool g_childSignalHeld = false;

// The ticks run their shell commands with system(), which blocks SIGCHLD in the tick's thread;
// the kernel then hands the child's SIGCHLD to the main thread, where it restarts a blocking
// serial read and with it the read's 0.2 s quiet-line timer. While the timer ticks, the main
// thread holds SIGCHLD too (nothing in the tool waits for it).
void HoldChildSignal() {
    sigset_t chld;
    sigemptyset(&chld);
    sigaddset(&chld, SIGCHLD);
    g_childSignalHeld = pthread_sigmask(SIG_BLOCK, &chld, &g_maskBeforeTimer) == 0;
}

void ReleaseChildSignal() {
    if (!g_childSignalHeld) return;
    pthread_sigmask(SIG_SETMASK, &g_maskBeforeTimer, nullptr);
    g_childSignalHeld = false;
}

struct TrayMsg {
    long mtype;
    int iType;
    int iValue;
    char szReserved[68];
};
static_assert(sizeof(TrayMsg) - sizeof(long) >= kTrayPayload, "tray payload is 76 bytes");

void SwitchOne(const char* state, int output) {
    Sys().System(StrPrintf(hw::kCmdDioSwitchFmt, state, output, hw::kDioDevice).c_str());
}

void LedsOff() {
    Sys().System(StrPrintf(hw::kCmdDioOffPairFmt, kLedD3, kLedD2, hw::kDioDevice).c_str());
}

// One step of the end pattern: the beeper toggles on every tenth step up to the bound, the
// verdict's LED is switched on every tenth step.
void PatternStep(int i, int beeperBound, int led, bool& toggle) {
    if (i <= beeperBound && i % 10 == 0) {
        SwitchOne(toggle ? hw::kDioOn : hw::kDioOff, kBeeper);
        toggle = !toggle;
    }
    if (i % 10 == 0) SwitchOne(hw::kDioOn, led);
}

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
    unsigned long v = signum < 0 ? -static_cast<long>(signum) : signum;
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

timer_t timerid;
volatile sig_atomic_t g_bRun = 1;

void OnTimer(union sigval) {
    static bool bLedOn = true;
    static int tryCnt = 0;
    std::unique_lock<std::mutex> lock(g_tickMutex, std::try_to_lock);
    if (!lock.owns_lock() || g_timerStopped) return;
    if (tryCnt % kTicksPerBlink == 0) {
        Sys().System(StrPrintf(hw::kCmdDioSwitchPairFmt, bLedOn ? hw::kDioOn : hw::kDioOff, kLedD2,
                               kLedD3, hw::kDioDevice)
                         .c_str());
        bLedOn = !bLedOn;
    }
    if (tryCnt >= kTickWrap && (tryCnt / kTicksPerBlink) % 2 == 1) tryCnt = 0;
    ++tryCnt;
}

int startTimer() {
    HoldChildSignal();
    struct sigevent sev {};
    sev.sigev_notify = SIGEV_THREAD;
    sev.sigev_notify_function = OnTimer;
    if (timer_create(CLOCK_REALTIME, &sev, &timerid) != 0) {
        ReleaseChildSignal();
        return 0;
    }
    struct itimerspec its {};
    its.it_value.tv_nsec = kTickNs;
    its.it_interval.tv_nsec = kTickNs;
    timer_settime(timerid, 0, &its, nullptr);
    std::lock_guard<std::mutex> lock(g_tickMutex);
    g_timerArmed = true;
    g_timerStopped = false;
    return 0;
}

int endTimer() {
    std::lock_guard<std::mutex> lock(g_tickMutex);
    if (g_timerArmed) {
        timer_delete(timerid);
        g_timerArmed = false;
        ReleaseChildSignal();
    }
    g_timerStopped = true;
    return 0;
}

int TestEndTips(int iTestSta) {
    LedsOff();
    bool toggle = false;
    for (int i = 0;; ++i) {
        if (iTestSta == 0) {
            PatternStep(i, kPassBeeperBound, kLedD3, toggle);
        } else if (iTestSta == -1 || iTestSta == -2) {
            PatternStep(i, kFailBeeperBound, kLedD2, toggle);
        } else {
            break;
        }
        if (i > kPatternSteps) break;
        Sys().Usleep(kStepUs);
        if (g_bRun == 0) break;
    }
    return 0;
}

int SendMsgToTray(int iMsgId, int iType, int iValue) {
    static TrayMsg msg;
    if (iMsgId < 0) return 1;
    memset(&msg, 0, sizeof msg);
    msg.mtype = hw::kTrayMsgType;
    msg.iType = iType;
    msg.iValue = iValue;
    Sys().Msgsnd(iMsgId, &msg, kTrayPayload, IPC_NOWAIT);
    return 1;
}

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
        RTLOG_FROM(kLogRoutine, "Received signal SIGINT[%d]", SIGINT);
        Sys().System(StrPrintf(hw::kCmdDioOnFmt, kBeeper, hw::kDioDevice).c_str());
        LedsOff();
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
