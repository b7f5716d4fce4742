// The paths the server answers, the event that carries the screen and the header a clear takes.
// The page learns them from the server (assets.h fills them into its HTML), never spells them.
#pragma once

namespace yield::routes {

constexpr char kScreen[] = "/";
constexpr char kStyle[] = "/dashboard.css";
constexpr char kScript[] = "/dashboard.js";
constexpr char kScreenJson[] = "/dashboard.json";
constexpr char kEvents[] = "/events";
constexpr char kScreenEvent[] = "dashboard";  // the event of kEvents with the screen's JSON
constexpr char kBoardPrefix[] = "/board/";    // followed by a processor ID
constexpr char kReport[] = "/report";
// An alarm is acknowledged or cleared by a POST to kAlarmsPrefix + its ID + kAcknowledgeSuffix or
// kClearSuffix with kClearHeader set (a page from another site cannot send that header without
// the server's consent), its body a form: kAlarmBy=who&kAlarmNote=why.
constexpr char kAlarmsPrefix[] = "/alarms/";
constexpr char kAcknowledgeSuffix[] = "/acknowledge";
constexpr char kClearSuffix[] = "/clear";
constexpr char kClearHeader[] = "X-Devuze-Clear";
constexpr char kAlarmBy[] = "by";
constexpr char kAlarmNote[] = "note";

}  // namespace yield::routes
