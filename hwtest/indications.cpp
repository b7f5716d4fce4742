#include "indications.h"

#include <pthread.h>
#include <sys/msg.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "hwPaths.h"
#include "signals.h"
#include "vxDioText.h"
#include "vxSys.h"

namespace {
constexpr long kTickNs = 100L * 1000 * 1000;
constexpr int kTicksPerBlink = 3;
constexpr int kTickWrap = 300;
constexpr int kPassBeeperBound = 19;
constexpr int kFailBeeperBound = 59;
constexpr int kPatternSteps = 70;
constexpr unsigned kStepUs = 100000;
constexpr int kTrayPayload = 76;

constexpr auto kTickWaitAtExit = std::chrono::seconds(2);

// Ticks may still fire while the process exits (the start-up failure road returns from main
// with the timer running): what a tick touches is never destroyed, and from the first exit
// handler on a tick does nothing.
std::timed_mutex& TickMutex() {
    static std::timed_mutex* mutex = new std::timed_mutex;
    return *mutex;
}
bool g_timerArmed = false;
bool g_timerStopped = false;
std::atomic<bool> g_exiting{false};

// Waits for a tick in progress to end, but not for a shell command that hangs.
void SilenceTicksAtExit() {
    std::unique_lock<std::timed_mutex> lock(TickMutex(), std::defer_lock);
    (void)lock.try_lock_for(kTickWaitAtExit);
    g_exiting = true;
}
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

// One step of the end pattern: the beeper toggles on every tenth step up to the bound, the
// verdict's LED is switched on every tenth step.
void PatternStep(int i, int beeperBound, int led, bool& toggle) {
    if (i <= beeperBound && i % 10 == 0) {
        DioBeeper(toggle);
        toggle = !toggle;
    }
    if (i % 10 == 0) DioTextSwitch(led, true);
}
}  // namespace

timer_t timerid;

void OnTimer(union sigval) {
    static bool bLedOn = true;
    static int tryCnt = 0;
    std::unique_lock<std::timed_mutex> lock(TickMutex(), std::try_to_lock);
    if (!lock.owns_lock() || g_timerStopped || g_exiting) return;
    if (tryCnt % kTicksPerBlink == 0) {
        DioTextSwitchPair(vxdio::kLedD2, vxdio::kLedD3, bLedOn);
        bLedOn = !bLedOn;
    }
    if (tryCnt >= kTickWrap && (tryCnt / kTicksPerBlink) % 2 == 1) tryCnt = 0;
    ++tryCnt;
}

int startTimer() {
    // Registered after everything the run has built so far, so it runs before their destructors.
    static const bool silenced = std::atexit(SilenceTicksAtExit) == 0;
    (void)silenced;
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
    std::lock_guard<std::timed_mutex> lock(TickMutex());
    g_timerArmed = true;
    g_timerStopped = false;
    return 0;
}

int endTimer() {
    std::lock_guard<std::timed_mutex> lock(TickMutex());
    if (g_timerArmed) {
        timer_delete(timerid);
        g_timerArmed = false;
        ReleaseChildSignal();
    }
    g_timerStopped = true;
    return 0;
}

int TestEndTips(int iTestSta) {
    DioLedsOff();
    bool toggle = false;
    for (int i = 0;; ++i) {
        if (iTestSta == 0) {
            PatternStep(i, kPassBeeperBound, vxdio::kLedD3, toggle);
        } else if (iTestSta == -1 || iTestSta == -2) {
            PatternStep(i, kFailBeeperBound, vxdio::kLedD2, toggle);
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
