// What `serve` is asked to do: the database, where to listen, the day, the alarm and the wall.
#pragma once

#include <string>

#include "report/screenJson.h"
#include "serve/alarmRule.h"
#include "serve/listenAddress.h"

namespace yield {

constexpr char kDefaultListen[] = "127.0.0.1:8047";

struct ServeOptions {
    std::string db;
    ListenAt listen;  // parsed from --listen (default kDefaultListen)
    std::string day;  // the day the screen counts; "" for the local day, following the clock
    AlarmRule rule;
    std::string onAlert;  // the command run per new alarm; "" for none
    WallSettings wall;    // the wall screen's target and expected stations
    // The repair desk's secret (deskSecret.h); "" for none: every request stays read-only.
    std::string deskSecret;
};

}  // namespace yield
