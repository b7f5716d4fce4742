// The paths the server answers, the event that carries the screen and the header a clear takes.
// The page learns them from the server (assets.h fills them into its HTML), never spells them.
#pragma once

namespace yield::routes {

constexpr char kScreen[] = "/";
constexpr char kStyle[] = "/dashboard.css";
constexpr char kScript[] = "/dashboard.js";
// The wall screen: the line's figures for a screen read from across the room.
constexpr char kWall[] = "/wall";
constexpr char kWallStyle[] = "/wall.css";
constexpr char kWallScript[] = "/wall.js";
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
// With a desk secret (serve --desk-secret-file), a disposition is recorded by a POST to
// kDispositions, its fields form-encoded (chip_id, status, by, note), the secret in
// kDeskSecretHeader; the board page's script kDeskScript sends it. Without one, neither exists.
constexpr char kDispositions[] = "/dispositions";
constexpr char kDeskSecretHeader[] = "X-Devuze-Desk-Secret";
constexpr char kDeskScript[] = "/desk.js";
// Where a browser keeps the desk's secret once given, for the board pages and the screen's alarm
// steps (which take it too when the server has one).
constexpr char kDeskSecretKey[] = "devuze-desk-secret";
constexpr char kAlarmBy[] = "by";
constexpr char kAlarmNote[] = "note";

}  // namespace yield::routes
