// Every SQL text the yield tool runs, in one place. Parameters are written $1, $2, ... in the
// order they appear, which SQLite binds by position as PostgreSQL does; the statements keep to
// what both understand (ON CONFLICT clauses, no engine functions). What is one engine's own is
// marked so.
#pragma once

#include <cstddef>

#include "parse/recordWords.h"
#include "store/disposition.h"
#include "store/sourceRoles.h"

namespace yield::sql {

// Schema version 7. Times are text: start_stamp as the run formed it (YYYY_MM_DD_HH_MM_SS),
// day YYYY-MM-DD, started_at/ended_at YYYY-MM-DD HH:MM:SS from the log lines. Version 2 added
// runs.station and source_files.sha256 (both '' in rows of version 1) and the views; version 3
// the repair desk's dispositions, the alarms and runs.clock_unset, and gave the views' days,
// times and flags PostgreSQL types of their own; version 4 the tallies the answers read instead
// of every row (day_ports, day_volts); version 5 one row per board (boards); version 6 each
// failed run's causes (run_causes); version 7 the plain boards' tally (day_boards).
#define YIELD_SCHEMA_VERSION "7"
constexpr int kSchemaVersion = 7;
static_assert(YIELD_SCHEMA_VERSION[0] - '0' == kSchemaVersion);
constexpr int kFirstSchemaVersion = 1;
constexpr int kSecondSchemaVersion = 2;

// One schema for both engines; the column types are the engines' own. ID: the run key, handed
// out in insert order. INT: 64 bits. REAL: a double. TEXT: compared byte by byte, so that both
// engines sort alike. KEYED: after a table whose key is its only index. REF: a run's rows name
// their run; SQLite does not enforce it (foreign keys are off), and PostgreSQL is not asked to,
// since checking every one of millions of rows took a third of an ingest and the tool writes a
// run's rows only in the batch that holds the run.
// clang-format off
// The runs table's columns after its ID, in the order every statement on a whole run (insert,
// update, select by ID) names, binds and reads them: X(name, type, constraint). One list, so the
// schema, the statements (sqlRunText.cpp) and the store's binding and reading (RunColumn) agree.
#define YIELD_NN " NOT NULL"
#define YIELD_NN_EMPTY " NOT NULL DEFAULT ''"
#define YIELD_NN_ZERO " NOT NULL DEFAULT 0"
#define YIELD_RUN_COLUMNS(X, INT, TEXT)                                                            \
    X(host, TEXT, YIELD_NN) X(chip_id, TEXT, YIELD_NN) X(start_stamp, TEXT, YIELD_NN)              \
    X(day, TEXT, YIELD_NN) X(started_at, TEXT, YIELD_NN) X(ended_at, TEXT, YIELD_NN)               \
    X(args, TEXT, YIELD_NN) X(build, TEXT, YIELD_NN) X(version, TEXT, YIELD_NN)                    \
    X(test_mode, INT, YIELD_NN) X(port_select, INT, YIELD_NN)                                      \
    X(cycles_asked, INT, YIELD_NN) X(cycles_run, INT, YIELD_NN)                                    \
    X(cnt_rs485, INT, YIELD_NN) X(cnt_rs232, INT, YIELD_NN) X(cnt_do, INT, YIELD_NN)               \
    X(cnt_di, INT, YIELD_NN) X(cnt_ai, INT, YIELD_NN) X(cnt_usb, INT, YIELD_NN)                    \
    X(cnt_led, INT, YIELD_NN)                                                                      \
    X(verdict, TEXT, YIELD_NN) X(verdict_code, INT, "") X(headerless, INT, YIELD_NN)               \
    X(records, INT, YIELD_NN) X(bytes, INT, YIELD_NN) X(result_doc, TEXT, YIELD_NN)               \
    X(station, TEXT, YIELD_NN_EMPTY) X(clock_unset, INT, YIELD_NN_ZERO)
#define YIELD_COLUMN_DEF(name, type, constraint) " " #name " " type constraint ","
#define YIELD_COLUMN_NAME(name, type, constraint) #name,
#define YIELD_COLUMN_ENUM(name, type, constraint) name,

// A run column's place in kRunColumnNames, which is also its place among a run statement's
// values and columns.
enum class RunColumn { YIELD_RUN_COLUMNS(YIELD_COLUMN_ENUM, , ) };
constexpr const char* kRunColumnNames[] = {YIELD_RUN_COLUMNS(YIELD_COLUMN_NAME, , )};
constexpr int kRunColumnCount = sizeof kRunColumnNames / sizeof *kRunColumnNames;

// The tables beside runs, each with its columns listed once in the order every statement on a
// whole row (insert, copy, select) names, binds and reads them: FIRST(name, type, constraint) for
// the first column, X(...) for each after it. A row is read by its column's place in the list
// (the enums below), never by a number typed beside a query.
#define YIELD_PORT_COLUMNS(FIRST, X, INT, REAL, TEXT, REF)                                         \
    FIRST(run_id, INT, " NOT NULL" REF) X(family, TEXT, YIELD_NN) X(number, INT, YIELD_NN)         \
    X(passed, INT, YIELD_NN) X(intermittent, INT, YIELD_NN)
#define YIELD_TALLY_COLUMNS(FIRST, X, INT, REAL, TEXT, REF)                                        \
    FIRST(run_id, INT, " NOT NULL" REF) X(family, TEXT, YIELD_NN) X(number, INT, YIELD_NN)         \
    X(variant, TEXT, YIELD_NN) X(succ, INT, YIELD_NN) X(err, INT, YIELD_NN)
#define YIELD_MEASUREMENT_COLUMNS(FIRST, X, INT, REAL, TEXT, REF)                                  \
    FIRST(run_id, INT, " NOT NULL" REF) X(seq, INT, YIELD_NN) X(cycle, INT, YIELD_NN)              \
    X(port, TEXT, YIELD_NN) X(name, TEXT, YIELD_NN) X(value, REAL, YIELD_NN)                       \
    X(text, TEXT, YIELD_NN) X(unit, TEXT, YIELD_NN) X(low, REAL, "") X(high, REAL, "")             \
    X(outcome, TEXT, YIELD_NN) X(line, TEXT, YIELD_NN)
#define YIELD_FAILURE_COLUMNS(FIRST, X, INT, REAL, TEXT, REF)                                      \
    FIRST(run_id, INT, " NOT NULL" REF) X(seq, INT, YIELD_NN) X(cycle, INT, YIELD_NN)              \
    X(port, TEXT, YIELD_NN) X(line, TEXT, YIELD_NN)
#define YIELD_SOURCE_COLUMNS(FIRST, X, INT, REAL, TEXT, REF)                                       \
    FIRST(path, TEXT, " PRIMARY KEY") X(size, INT, YIELD_NN) X(mtime, INT, YIELD_NN)               \
    X(run_id, INT, REF) X(role, TEXT, YIELD_NN) X(reason, TEXT, YIELD_NN)                          \
    X(complete, INT, YIELD_NN) X(records, INT, YIELD_NN) X(sha256, TEXT, YIELD_NN_EMPTY)
#define YIELD_FIRST_DEF(name, type, constraint) " " #name " " type constraint
#define YIELD_NEXT_DEF(name, type, constraint) ", " #name " " type constraint
#define YIELD_FIRST_NAME(name, type, constraint) #name
#define YIELD_NEXT_NAME(name, type, constraint) ", " #name
#define YIELD_NAMES(COLUMNS) COLUMNS(YIELD_FIRST_NAME, YIELD_NEXT_NAME, , , , )
#define YIELD_ENUM(COLUMNS) COLUMNS(YIELD_COLUMN_ENUM, YIELD_COLUMN_ENUM, , , , ) kCount

// Each table's column places; kCount is the number of columns.
enum class PortColumn { YIELD_ENUM(YIELD_PORT_COLUMNS) };
enum class TallyColumn { YIELD_ENUM(YIELD_TALLY_COLUMNS) };
enum class MeasurementColumn { YIELD_ENUM(YIELD_MEASUREMENT_COLUMNS) };
enum class FailureColumn { YIELD_ENUM(YIELD_FAILURE_COLUMNS) };
enum class SourceColumn { YIELD_ENUM(YIELD_SOURCE_COLUMNS) };
template <class Column>
constexpr int Col(Column c) {
    return static_cast<int>(c);
}

#define YIELD_SCHEMA(ID, INT, REAL, TEXT, KEYED, REF)                                              \
    "CREATE TABLE IF NOT EXISTS runs ("                                                            \
    " id " ID "," YIELD_RUN_COLUMNS(YIELD_COLUMN_DEF, INT, TEXT)                                   \
    " UNIQUE (host, chip_id, start_stamp))",                                                       \
    "CREATE TABLE IF NOT EXISTS run_ports ("                                                       \
    YIELD_PORT_COLUMNS(YIELD_FIRST_DEF, YIELD_NEXT_DEF, INT, REAL, TEXT, REF)                      \
    ", PRIMARY KEY (run_id, family, number))" KEYED,                                               \
    "CREATE TABLE IF NOT EXISTS port_tallies ("                                                    \
    YIELD_TALLY_COLUMNS(YIELD_FIRST_DEF, YIELD_NEXT_DEF, INT, REAL, TEXT, REF)                     \
    ", PRIMARY KEY (run_id, family, number, variant))",                                            \
    "CREATE TABLE IF NOT EXISTS measurements ("                                                    \
    YIELD_MEASUREMENT_COLUMNS(YIELD_FIRST_DEF, YIELD_NEXT_DEF, INT, REAL, TEXT, REF)               \
    ", PRIMARY KEY (run_id, seq))",                                                                \
    "CREATE TABLE IF NOT EXISTS failure_lines ("                                                   \
    YIELD_FAILURE_COLUMNS(YIELD_FIRST_DEF, YIELD_NEXT_DEF, INT, REAL, TEXT, REF)                   \
    ", PRIMARY KEY (run_id, seq))",                                                                \
    "CREATE TABLE IF NOT EXISTS source_files ("                                                    \
    YIELD_SOURCE_COLUMNS(YIELD_FIRST_DEF, YIELD_NEXT_DEF, INT, REAL, TEXT, REF) ")",              \
    YIELD_INDEXES
// The indexes, made anew by an upgrade too.
#define YIELD_INDEXES                                                                              \
    "CREATE INDEX IF NOT EXISTS runs_by_day ON runs(day)",                                         \
    "CREATE INDEX IF NOT EXISTS runs_by_chip ON runs(chip_id, start_stamp)",                       \
    "CREATE INDEX IF NOT EXISTS sources_by_run ON source_files(run_id)",                           \
    /* The report reads runs from this alone, not from the wide rows. */                          \
    "CREATE INDEX IF NOT EXISTS runs_fixture_summary"                                              \
    " ON runs(id, host, station, chip_id, start_stamp, day, verdict)",                             \
    /* The repair queue's failing values, without the runs' other readings. */                    \
    "CREATE INDEX IF NOT EXISTS failed_measurements ON measurements(run_id, seq)"                  \
    " WHERE outcome = '" YIELD_OUTCOME_FAIL "'",                                                   \
    /* The intermittent ports of the runs that passed, which the report lists. */                 \
    "CREATE INDEX IF NOT EXISTS " YIELD_NEWEST_INDEX " ON run_ports(run_id, family, number)"       \
    " WHERE intermittent = 1"
// The indexes alone: a database of this version made before the newest of them was added gets
// those it lacks from its next ingest.
#define YIELD_NEWEST_INDEX "intermittent_ports"
// Version 1 to 2, in one transaction; the views and indexes follow.
#define YIELD_UPGRADE_1(TEXT)                                                                      \
    "ALTER TABLE runs ADD COLUMN station " TEXT YIELD_NN_EMPTY,                                    \
    "ALTER TABLE source_files ADD COLUMN sha256 " TEXT YIELD_NN_EMPTY,                             \
    "DROP INDEX IF EXISTS runs_summary", YIELD_INDEXES

// The views a factory's own tools read instead of the tables (documented in the README): the
// same columns and rows on both engines. A run's station is its fixture: the station where the
// ingest was given one, else the host name.
#define YIELD_FIXTURE " CASE WHEN r.station = '' THEN r.host ELSE r.station END AS station"
// DAY, TIME and FLAG make a stored day, a log time and a 0/1 into the engine's own types (on
// SQLite they stay text and integers, under the same names).
#define YIELD_VIEWS(CREATE, DAY, TIME, FLAG)                                                       \
    CREATE " v_runs AS SELECT r.id," YIELD_FIXTURE ", r.host, r.chip_id, r.start_stamp,"           \
    " " DAY("r.day") " AS day, " TIME("r.started_at") " AS started_at,"                            \
    " " TIME("r.ended_at") " AS ended_at, r.verdict, "                                             \
    FLAG("CASE WHEN r.verdict = '" YIELD_VERDICT_INCOMPLETE "' THEN 0 ELSE 1 END") " AS complete," \
    " r.verdict_code, r.cycles_asked, r.cycles_run, r.version, r.build, r.args FROM runs r",       \
    CREATE " v_ports AS SELECT p.run_id," YIELD_FIXTURE ", r.chip_id, " DAY("r.day") " AS day,"    \
    " p.family || '-' || p.number AS port, p.family, p.number, " FLAG("p.passed") " AS passed,"    \
    " " FLAG("p.intermittent") " AS intermittent"                                                  \
    " FROM run_ports p JOIN runs r ON r.id = p.run_id",                                            \
    CREATE " v_measurements AS SELECT m.run_id," YIELD_FIXTURE ", r.chip_id, " DAY("r.day")        \
    " AS day, m.cycle, m.port, m.name, m.value, m.text, m.unit, m.low, m.high, m.outcome"          \
    " FROM measurements m JOIN runs r ON r.id = m.run_id",                                         \
    /* Each board's last complete run by stamp, else its last run: the failed and unfinished, */  \
    /* less those the desk scrapped or returned since (YIELD_DISPOSED_QUEUE). */                  \
    CREATE " v_repair_queue AS SELECT r.chip_id," YIELD_FIXTURE ", r.start_stamp,"                 \
    " CASE WHEN d.status = '" YIELD_DISPOSE_REPAIRED "' THEN '" YIELD_REPAIR_AWAITING_RETEST "'"  \
    " WHEN r.verdict = '" YIELD_VERDICT_ERR "' THEN 'failed' ELSE 'no complete run' END"           \
    " AS status, r.id AS run_id, d.id AS disposition_id FROM runs r" YIELD_DISPOSED_QUEUE          \
    " WHERE r.verdict <> '" YIELD_VERDICT_OK "'"                                                   \
    " AND r.id = (SELECT b.id FROM runs b WHERE b.chip_id = r.chip_id"                             \
    " ORDER BY CASE WHEN b.verdict = '" YIELD_VERDICT_INCOMPLETE "' THEN 0 ELSE 1 END"             \
    " DESC, b.start_stamp DESC, b.id DESC LIMIT 1)"                                                \
    " AND (d.status IS NULL OR d.status = '" YIELD_DISPOSE_REPAIRED "')"
#define YIELD_SAME(x) x
// A stored day is a calendar day or ''; a log time has the shape of one but may name none (a
// forged "2026-02-31 25:00:00"): NULL then, never an error that would fail the whole view.
#define YIELD_PG_DAY(x) "NULLIF(" x ", '')::date"
#define YIELD_PG_TIME(x) "yield_log_time(" x ")"
#define YIELD_PG_FLAG(x) "(" x ") <> 0"
#define YIELD_PG_TIME_FUNCTION                                                                     \
    "CREATE OR REPLACE FUNCTION yield_log_time(t TEXT) RETURNS TIMESTAMP LANGUAGE sql IMMUTABLE"   \
    " AS 'SELECT CASE WHEN t ~ ''^[0-9]{4}-(0[1-9]|1[0-2])-(0[1-9]|[12][0-9]|3[01])"               \
    " ([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$'' THEN CASE WHEN substr(t, 1, 4) <> ''0000''"      \
    " THEN CASE WHEN substr(t, 9, 2)::int <= extract(day from make_date(substr(t, 1, 4)::int,"     \
    " substr(t, 6, 2)::int, 1) + interval ''1 month'' - interval ''1 day'')"                       \
    " THEN t::timestamp END END END'"
// Version 2 to 3: the views' columns take types of their own on PostgreSQL, which replacing a
// view cannot do.
#define YIELD_PG_DROP_VIEWS "DROP VIEW IF EXISTS v_runs, v_ports, v_measurements, v_repair_queue"
#define YIELD_SQLITE_VIEW "CREATE VIEW IF NOT EXISTS"
#define YIELD_PG_VIEW "CREATE OR REPLACE VIEW"
// clang-format on

#define YIELD_PG_TEXT "TEXT COLLATE \"C\""

// clang-format off
// ---- The repair desk's dispositions (schema version 3) ----
// One row per disposition, only ever added to: the engines refuse an UPDATE, DELETE or TRUNCATE
// of it. run_id: the board's newest stored run when it was recorded (the disposition speaks for
// that run and those stored before it); made_at: UTC, 2026-12-07T22:22:47Z.
#define YIELD_DISPOSITION_TABLE(ID, INT, TEXT)                                                     \
    "CREATE TABLE IF NOT EXISTS dispositions (id " ID ", chip_id " TEXT " NOT NULL,"               \
    " run_id " INT " NOT NULL, status " TEXT " NOT NULL, note " TEXT " NOT NULL,"                  \
    " made_by " TEXT " NOT NULL, made_at " TEXT " NOT NULL)",                                      \
    "CREATE INDEX IF NOT EXISTS dispositions_by_chip ON dispositions(chip_id, id)"
#define YIELD_KEPT_MESSAGE "the disposition history is only ever added to"
#define YIELD_SQLITE_DISPOSITIONS                                                                  \
    YIELD_DISPOSITION_TABLE("INTEGER PRIMARY KEY", "INTEGER", "TEXT"),                             \
    "CREATE TRIGGER IF NOT EXISTS dispositions_no_update BEFORE UPDATE ON dispositions"            \
    " BEGIN SELECT RAISE(ABORT, '" YIELD_KEPT_MESSAGE "'); END",                                   \
    "CREATE TRIGGER IF NOT EXISTS dispositions_no_delete BEFORE DELETE ON dispositions"            \
    " BEGIN SELECT RAISE(ABORT, '" YIELD_KEPT_MESSAGE "'); END"
#define YIELD_PG_DISPOSITIONS                                                                      \
    YIELD_DISPOSITION_TABLE("BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY", "BIGINT",       \
                            YIELD_PG_TEXT),                                                        \
    "CREATE OR REPLACE FUNCTION dispositions_kept() RETURNS trigger LANGUAGE plpgsql AS"           \
    " 'BEGIN RAISE EXCEPTION ''" YIELD_KEPT_MESSAGE "''; END'",                                    \
    "DROP TRIGGER IF EXISTS dispositions_kept ON dispositions",                                    \
    "CREATE TRIGGER dispositions_kept BEFORE UPDATE OR DELETE OR TRUNCATE ON dispositions"         \
    " FOR EACH STATEMENT EXECUTE FUNCTION dispositions_kept()"
// A queued run joined with the board's latest disposition when that one covers the run
// (DispositionCovers): recorded when the run was stored already.
#define YIELD_DISPOSED_QUEUE                                                                       \
    " LEFT JOIN dispositions d ON d.id = (SELECT max(e.id) FROM dispositions e"                    \
    " WHERE e.chip_id = r.chip_id) AND d.run_id >= r.id"
#define YIELD_SQLITE_UTC_TIME(column) column
#define YIELD_PG_UTC_TIME(column) "CAST(" column " AS TIMESTAMPTZ)"
#define YIELD_DISPOSITION_VIEWS(CREATE, TIME)                                                      \
    CREATE " v_dispositions AS SELECT d.id, d.chip_id, d.run_id, d.status, d.note, d.made_by, "    \
    TIME("d.made_at") " AS made_at FROM dispositions d"
// clang-format on
// ---- Alarms (schema version 3) ----------------------------------------------------------------
// One row per alarm the line screen raised, kept for good: its condition's figures when raised,
// when the condition ended, and who acknowledged and cleared it, why and when. Each step is
// written once (an UPDATE only where its time is still ''), so a row's history is never
// overwritten. Times are ISO 8601 in UTC (YYYY-MM-DDTHH:MM:SSZ); '' for a step not taken.
// boards: the boards the figure counts (the port's boards at the station, or the station's
// window); port_failure_rate only for a flagged port, first_pass_yield only for a low yield.
// clang-format off
#define YIELD_ALARM_COLUMNS(FIRST, X, INT, REAL, TEXT)                                             \
    FIRST(id) X(kind, TEXT, YIELD_NN) X(station, TEXT, YIELD_NN) X(ports, TEXT, YIELD_NN)          \
    X(boards, INT, YIELD_NN) X(port_failure_rate, REAL, "") X(first_pass_yield, REAL, "")          \
    X(raised_at, TEXT, YIELD_NN) X(ended_at, TEXT, YIELD_NN_EMPTY)                                 \
    X(acknowledged_at, TEXT, YIELD_NN_EMPTY) X(acknowledged_by, TEXT, YIELD_NN_EMPTY)              \
    X(acknowledge_note, TEXT, YIELD_NN_EMPTY) X(cleared_at, TEXT, YIELD_NN_EMPTY)                  \
    X(cleared_by, TEXT, YIELD_NN_EMPTY) X(clear_note, TEXT, YIELD_NN_EMPTY)
#define YIELD_ALARM_ID_DEF(name)
#define YIELD_ALARM_DEF(name, type, constraint) ", " #name " " type constraint
#define YIELD_ALARM_NAME_FIRST(name) #name
#define YIELD_ALARM_NAME(name, type, constraint) ", " #name
#define YIELD_ALARM_ENUM_FIRST(name) name,
#define YIELD_ALARM_ENUM(name, type, constraint) name,
#define YIELD_ALARM_TABLE(ID, INT, REAL, TEXT)                                                     \
    "CREATE TABLE IF NOT EXISTS alarms (id" ID                                                     \
    YIELD_ALARM_COLUMNS(YIELD_ALARM_ID_DEF, YIELD_ALARM_DEF, INT, REAL, TEXT) ")"
#define YIELD_ALARM_SELECT "SELECT " YIELD_ALARM_COLUMNS(YIELD_ALARM_NAME_FIRST, YIELD_ALARM_NAME, , , ) " FROM alarms"
// clang-format on
// An alarm row's column places, in the order every SELECT of a whole row reads them.
enum class AlarmColumn {
    YIELD_ALARM_COLUMNS(YIELD_ALARM_ENUM_FIRST, YIELD_ALARM_ENUM, , , ) kCount
};
constexpr char kInsertAlarm[] =
    "INSERT INTO alarms (kind, station, ports, boards, port_failure_rate, first_pass_yield,"
    " raised_at) VALUES ($1, $2, $3, $4, $5, $6, $7) RETURNING id";
constexpr char kEndAlarm[] = "UPDATE alarms SET ended_at = $1 WHERE id = $2 AND ended_at = ''";
// A step taken at $1 by $2 with the note $3 on the alarm $4: a row when it was taken now.
constexpr char kAcknowledgeAlarm[] =
    "UPDATE alarms SET acknowledged_at = $1, acknowledged_by = $2, acknowledge_note = $3"
    " WHERE id = $4 AND acknowledged_at = '' AND cleared_at = '' RETURNING id";
constexpr char kClearAlarm[] =
    "UPDATE alarms SET cleared_at = $1, cleared_by = $2, clear_note = $3"
    " WHERE id = $4 AND cleared_at = '' RETURNING id";
constexpr char kAlarmExists[] = "SELECT count(*) FROM alarms WHERE id = $1";
// The newest $1 alarms, newest first.
constexpr char kAlarmHistory[] = YIELD_ALARM_SELECT " ORDER BY id DESC LIMIT $1";
// What the screen's book starts from: the alarms not cleared and those whose condition holds.
constexpr char kLiveAlarms[] =
    YIELD_ALARM_SELECT " WHERE cleared_at = '' OR ended_at = '' ORDER BY id";
// Grows with every step written (rows are never deleted): the screen reloads its book when it
// moves, whoever wrote.
constexpr char kAlarmsVersion[] =
    "SELECT count(*), count(NULLIF(ended_at, '')), count(NULLIF(acknowledged_at, '')),"
    " count(NULLIF(cleared_at, '')) FROM alarms";
#define YIELD_SQLITE_ALARMS YIELD_ALARM_TABLE(" INTEGER PRIMARY KEY", "INTEGER", "REAL", "TEXT")
#define YIELD_PG_ALARMS                                                                 \
    YIELD_ALARM_TABLE(" BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY", "BIGINT", \
                      "DOUBLE PRECISION", YIELD_PG_TEXT)
// ---- end of alarms ----------------------------------------------------------------------------

// ---- Tallies kept at ingest (schema version 4) ----
// What the reports read instead of every port and reading: per day, host and station (the run's
// own columns, so that a report's filter selects them as it selects runs), each port of the
// complete runs with how many of those runs failed it, and each analogue reading's value with how
// many readings have it. Kept by every ingest in the batch that writes the rows (storeIngest.cpp),
// made from the rows by the upgrade, compared with them by `check` (storeCheck.cpp). A key whose
// count fell back to 0 (a replaced copy, a station that came late) stays as 0 and counts nothing.
// clang-format off
#define YIELD_TALLY_TABLES(INT, REAL, TEXT, KEYED)                                                 \
    "CREATE TABLE IF NOT EXISTS day_ports (day " TEXT " NOT NULL, host " TEXT " NOT NULL,"         \
    " station " TEXT " NOT NULL, family " TEXT " NOT NULL, number " INT " NOT NULL,"               \
    " runs " INT " NOT NULL, failures " INT " NOT NULL,"                                           \
    " PRIMARY KEY (day, host, station, family, number))" KEYED,                                    \
    "CREATE TABLE IF NOT EXISTS day_volts (day " TEXT " NOT NULL, host " TEXT " NOT NULL,"         \
    " station " TEXT " NOT NULL, name " TEXT " NOT NULL, value " REAL " NOT NULL,"                 \
    " readings " INT " NOT NULL, PRIMARY KEY (day, host, station, name, value))" KEYED
#define YIELD_PORT_KEY "day, host, station, family, number"
#define YIELD_RUN_KEY "day, host, station, verdict"
#define YIELD_VOLT_KEY "day, host, station, name, value"
// The tallies as the rows give them, of the runs RUNS names as r (with the condition ON), each
// count times SIGN. CROSS JOIN keeps SQLite's order of the tables as written: the runs first,
// then their rows through the key.
#define YIELD_PORT_TALLIES(SIGN, RUNS, ON)                                                         \
    "SELECT r.day, r.host, r.station, p.family, p.number, " SIGN "count(*), "                      \
    SIGN "sum(1 - p.passed) FROM " RUNS " CROSS JOIN run_ports p WHERE p.run_id = r.id" ON         \
    " AND r.verdict <> '" YIELD_VERDICT_INCOMPLETE "'"                                             \
    " GROUP BY r.day, r.host, r.station, p.family, p.number"
#define YIELD_VOLT_TALLIES(SIGN, RUNS, ON)                                                         \
    "SELECT r.day, r.host, r.station, m.name, m.value, " SIGN "count(*) FROM " RUNS               \
    " CROSS JOIN measurements m WHERE m.run_id = r.id" ON " AND m.unit = '" YIELD_UNIT_VOLTS "'"   \
    " GROUP BY r.day, r.host, r.station, m.name, m.value"
#define YIELD_RUN_TALLIES(SIGN, RUNS, ON)                                                          \
    "SELECT r.day, r.host, r.station, r.verdict, " SIGN "count(*) FROM " RUNS " WHERE true" ON     \
    " GROUP BY r.day, r.host, r.station, r.verdict"
#define YIELD_STORED_RUN_TALLIES "SELECT " YIELD_RUN_KEY ", runs FROM day_runs WHERE runs <> 0"
#define YIELD_STORED_PORT_TALLIES                                                                  \
    "SELECT " YIELD_PORT_KEY ", runs, failures FROM day_ports WHERE runs <> 0"
#define YIELD_STORED_VOLT_TALLIES "SELECT " YIELD_VOLT_KEY ", readings FROM day_volts WHERE readings <> 0"
#define YIELD_ALL_RUNS "runs r"
#define YIELD_EVERY_RUN ""
#define YIELD_ONE_RUN " AND r.id = $2"
// clang-format on
// Rows sent in bulk: one INSERT per row where that is cheap (SQLite, in the process), COPY where
// each statement is a round trip (PostgreSQL).
struct BulkTable {
    const char* insert;
    const char* copy;
};
// The rows of the stored run $2 added to the tallies ($1 = 1) or taken from them ($1 = -1): each
// run by its key, so no engine's plan can turn to reading every row.
#define YIELD_ADD_PORTS                                      \
    " ON CONFLICT (" YIELD_PORT_KEY                          \
    ") DO UPDATE SET runs = day_ports.runs + excluded.runs," \
    " failures = day_ports.failures + excluded.failures"
#define YIELD_ADD_RUNS " ON CONFLICT (" YIELD_RUN_KEY ") DO UPDATE SET runs = day_runs.runs + excluded.runs"
#define YIELD_ADD_VOLTS             \
    " ON CONFLICT (" YIELD_VOLT_KEY \
    ") DO UPDATE SET"               \
    " readings = day_volts.readings + excluded.readings"
constexpr const char* kSettleTallies[] = {
    "INSERT INTO day_ports (" YIELD_PORT_KEY
    ", runs, failures) " YIELD_PORT_TALLIES("$1 * ", YIELD_ALL_RUNS, YIELD_ONE_RUN) YIELD_ADD_PORTS,
    "INSERT INTO day_volts (" YIELD_VOLT_KEY
    ", readings) " YIELD_VOLT_TALLIES("$1 * ", YIELD_ALL_RUNS, YIELD_ONE_RUN) YIELD_ADD_VOLTS,
    "INSERT INTO day_runs (" YIELD_RUN_KEY
    ", runs) " YIELD_RUN_TALLIES("$1 * ", YIELD_ALL_RUNS, YIELD_ONE_RUN) YIELD_ADD_RUNS};
// The tallies of a batch's new runs, summed by the ingest from the rows it writes (no engine
// reads them back), then added at once. Summed again here: the engine's equality of keys decides.
constexpr const char* kMakeNewTallies[] = {
    "CREATE TEMP TABLE IF NOT EXISTS new_ports (day TEXT, host TEXT, station TEXT, family TEXT,"
    " number BIGINT, runs BIGINT, failures BIGINT)",
    "CREATE TEMP TABLE IF NOT EXISTS new_volts (day TEXT, host TEXT, station TEXT, name TEXT,"
    " value DOUBLE PRECISION, readings BIGINT)",
    "CREATE TEMP TABLE IF NOT EXISTS new_runs (day TEXT, host TEXT, station TEXT, verdict TEXT,"
    " runs BIGINT)"};
constexpr BulkTable kNewPortRows = {"INSERT INTO new_ports (" YIELD_PORT_KEY
                                    ", runs, failures) VALUES ($1, $2, $3, $4, $5, $6, $7)",
                                    "COPY new_ports (" YIELD_PORT_KEY
                                    ", runs, failures) FROM STDIN"};
constexpr BulkTable kNewVoltRows = {"INSERT INTO new_volts (" YIELD_VOLT_KEY
                                    ", readings) VALUES ($1, $2, $3, $4, $5, $6)",
                                    "COPY new_volts (" YIELD_VOLT_KEY ", readings) FROM STDIN"};
constexpr BulkTable kNewRunRows = {
    "INSERT INTO new_runs (" YIELD_RUN_KEY ", runs) VALUES ($1, $2, $3, $4, $5)",
    "COPY new_runs (" YIELD_RUN_KEY ", runs) FROM STDIN"};
constexpr const char* kAddNewTallies[] = {
    "INSERT INTO day_ports (" YIELD_PORT_KEY ", runs, failures) SELECT " YIELD_PORT_KEY
    ", sum(runs), sum(failures) FROM new_ports WHERE true GROUP BY " YIELD_PORT_KEY YIELD_ADD_PORTS,
    "INSERT INTO day_volts (" YIELD_VOLT_KEY ", readings) SELECT " YIELD_VOLT_KEY
    ", sum(readings) FROM new_volts WHERE true GROUP BY " YIELD_VOLT_KEY YIELD_ADD_VOLTS,
    "INSERT INTO day_runs (" YIELD_RUN_KEY ", runs) SELECT " YIELD_RUN_KEY
    ", sum(runs) FROM new_runs WHERE true GROUP BY " YIELD_RUN_KEY YIELD_ADD_RUNS,
    "DELETE FROM new_ports", "DELETE FROM new_volts", "DELETE FROM new_runs"};
#undef YIELD_ADD_PORTS
#undef YIELD_ADD_VOLTS
#undef YIELD_ADD_RUNS
// Every tally made anew from the rows: by the upgrade, and where a change of stored days moved
// runs between keys.
constexpr const char* kRebuildTallies[] = {
    "DELETE FROM day_ports", "DELETE FROM day_volts",
    "INSERT INTO day_ports (" YIELD_PORT_KEY
    ", runs, failures) " YIELD_PORT_TALLIES("", YIELD_ALL_RUNS, YIELD_EVERY_RUN),
    "INSERT INTO day_volts (" YIELD_VOLT_KEY
    ", readings) " YIELD_VOLT_TALLIES("", YIELD_ALL_RUNS, YIELD_EVERY_RUN)};
// ---- Boards and runs kept at ingest (schema version 5) ----
// The runs per day, host, station and verdict (day_runs, a tally as above). One row per
// processor ID (boards): its runs and complete runs, its first run (by start stamp, then ID)
// and the run a repair desk is shown (its last complete run, else its latest), each with the
// columns a report selects and counts it by. Kept by every ingest for the boards whose runs its
// batch wrote or changed, made from the rows by the upgrade, compared with them by `check`.
// clang-format off
#define YIELD_BOARD_COLUMNS                                                                        \
    "chip_id, runs, complete, first_id, first_stamp, first_day, first_host, first_station,"        \
    " first_verdict, shown_id, shown_stamp, shown_host, shown_station, shown_verdict"
#define YIELD_BOARD_TABLE(INT, TEXT, KEYED)                                                        \
    "CREATE TABLE IF NOT EXISTS boards (chip_id " TEXT " NOT NULL PRIMARY KEY,"                    \
    " runs " INT " NOT NULL, complete " INT " NOT NULL, first_id " INT " NOT NULL,"                \
    " first_stamp " TEXT " NOT NULL, first_day " TEXT " NOT NULL, first_host " TEXT " NOT NULL,"   \
    " first_station " TEXT " NOT NULL, first_verdict " TEXT " NOT NULL,"                           \
    " shown_id " INT " NOT NULL, shown_stamp " TEXT " NOT NULL, shown_host " TEXT " NOT NULL,"     \
    " shown_station " TEXT " NOT NULL, shown_verdict " TEXT " NOT NULL)" KEYED,                    \
    "CREATE INDEX IF NOT EXISTS boards_by_first_day ON boards(first_day)",                         \
    "CREATE TABLE IF NOT EXISTS day_runs (day " TEXT " NOT NULL, host " TEXT " NOT NULL,"          \
    " station " TEXT " NOT NULL, verdict " TEXT " NOT NULL, runs " INT " NOT NULL,"                \
    " PRIMARY KEY (day, host, station, verdict))" KEYED,                                           \
    /* The runs a report reads one by one: failed, or of an unset clock. */                       \
    "CREATE INDEX IF NOT EXISTS runs_failed"                                                       \
    " ON runs(id, host, station, chip_id, start_stamp, day, verdict)"                              \
    " WHERE verdict = '" YIELD_VERDICT_ERR "'",                                                    \
    "CREATE INDEX IF NOT EXISTS runs_clock_unset ON runs(id) WHERE clock_unset = 1"
#define YIELD_COMPLETE_RUN "CASE WHEN r.verdict = '" YIELD_VERDICT_INCOMPLETE "' THEN 0 ELSE 1 END"
#define YIELD_SHOWN(column, as) " first_value(r." #column ") OVER shown AS shown_" #as
// The boards the rows give, of the processor IDs of the runs WHERE selects as r.
#define YIELD_GIVEN_BOARDS(WHERE)                                                                  \
    "SELECT " YIELD_BOARD_COLUMNS " FROM (SELECT r.chip_id, count(*) OVER board AS runs,"          \
    " sum(" YIELD_COMPLETE_RUN ") OVER board AS complete, r.id AS first_id,"                       \
    " r.start_stamp AS first_stamp, r.day AS first_day, r.host AS first_host,"                     \
    " r.station AS first_station, r.verdict AS first_verdict," YIELD_SHOWN(id, id) ","             \
    YIELD_SHOWN(start_stamp, stamp) "," YIELD_SHOWN(host, host) ","                                \
    YIELD_SHOWN(station, station) "," YIELD_SHOWN(verdict, verdict) ", row_number()"               \
    " OVER (PARTITION BY r.chip_id ORDER BY r.start_stamp, r.id) AS up FROM runs r" WHERE          \
    " WINDOW board AS"                                                                             \
    " (PARTITION BY r.chip_id), shown AS (PARTITION BY r.chip_id ORDER BY " YIELD_COMPLETE_RUN     \
    " DESC, r.start_stamp DESC, r.id DESC)) b WHERE b.up = 1"
#define YIELD_BATCH_BOARDS " WHERE r.chip_id IN (SELECT chip_id FROM board_chips)"
// clang-format on
#define YIELD_SQLITE_BOARDS YIELD_BOARD_TABLE("INTEGER", "TEXT", " WITHOUT ROWID")
#define YIELD_PG_BOARDS YIELD_BOARD_TABLE("BIGINT", YIELD_PG_TEXT, "")
// A plain board: one run, which passed. day_boards (schema version 7) counts the plain boards per
// day, host and station of their run, so that a report reads one by one only the others (retested,
// queued, or with no complete run) through boards_notable. Kept with `boards` at each batch's end:
// the batch's boards taken out before their rows are made again, then put back in.
// clang-format off
#define YIELD_PLAIN_BOARD "runs = 1 AND shown_verdict = '" YIELD_VERDICT_OK "'"
#define YIELD_DAY_BOARD_TABLE(INT, TEXT, KEYED)                                                    \
    "CREATE TABLE IF NOT EXISTS day_boards (day " TEXT " NOT NULL, host " TEXT " NOT NULL,"        \
    " station " TEXT " NOT NULL, boards " INT " NOT NULL, PRIMARY KEY (day, host, station))" KEYED, \
    "CREATE INDEX IF NOT EXISTS boards_notable ON boards(chip_id) WHERE NOT (" YIELD_PLAIN_BOARD ")"
#define YIELD_GIVEN_DAY_BOARDS(SIGN, WHERE)                                                        \
    "SELECT first_day, first_host, first_station, " SIGN "count(*) FROM boards WHERE"              \
    " " YIELD_PLAIN_BOARD WHERE " GROUP BY first_day, first_host, first_station"
#define YIELD_ADD_DAY_BOARDS(SIGN)                                                                 \
    "INSERT INTO day_boards (day, host, station, boards) "                                         \
    YIELD_GIVEN_DAY_BOARDS(SIGN, " AND chip_id IN (SELECT chip_id FROM board_chips)")              \
    " ON CONFLICT (day, host, station) DO UPDATE SET boards = day_boards.boards + excluded.boards"
// clang-format on
#define YIELD_SQLITE_DAY_BOARDS YIELD_DAY_BOARD_TABLE("INTEGER", "TEXT", " WITHOUT ROWID")
#define YIELD_PG_DAY_BOARDS YIELD_DAY_BOARD_TABLE("BIGINT", YIELD_PG_TEXT, "")
constexpr const char* kRebuildDayBoards[] = {
    "DELETE FROM day_boards",
    "INSERT INTO day_boards (day, host, station, boards) " YIELD_GIVEN_DAY_BOARDS("", "")};
// The processor IDs whose runs a batch wrote or changed: their rows are made again from the runs
// at the batch's end.
constexpr char kSqliteMakeBoardChips[] = "CREATE TEMP TABLE IF NOT EXISTS board_chips (chip_id TEXT)";
constexpr char kPgMakeBoardChips[] =
    "CREATE TEMP TABLE IF NOT EXISTS board_chips (chip_id " YIELD_PG_TEXT ")";
// The planner's figures for the batch's IDs, so that it looks their runs up by key.
constexpr char kPgAnalyzeBoardChips[] = "ANALYZE board_chips";
// Two batches that settle one board at once: the later one waits for the earlier to commit, so
// that it deletes the row the earlier one made (READ COMMITTED reads it then) instead of missing
// it and inserting the board's key twice. SQLite has one writer at a time already.
constexpr char kPgLockBoards[] = "SELECT pg_advisory_xact_lock(7231002)";
constexpr const char* kSettleBoards[] = {
    YIELD_ADD_DAY_BOARDS("-"),
    "DELETE FROM boards WHERE chip_id IN (SELECT chip_id FROM board_chips)",
    "INSERT INTO boards (" YIELD_BOARD_COLUMNS ") " YIELD_GIVEN_BOARDS(YIELD_BATCH_BOARDS),
    YIELD_ADD_DAY_BOARDS(""), "DELETE FROM board_chips"};
#undef YIELD_ADD_DAY_BOARDS
constexpr BulkTable kBoardChipRows = {"INSERT INTO board_chips (chip_id) VALUES ($1)",
                                      "COPY board_chips (chip_id) FROM STDIN"};
constexpr const char* kRebuildBoards[] = {
    "DELETE FROM boards", "INSERT INTO boards (" YIELD_BOARD_COLUMNS ") " YIELD_GIVEN_BOARDS(""),
    "DELETE FROM day_runs",
    "INSERT INTO day_runs (" YIELD_RUN_KEY ", runs) " YIELD_RUN_TALLIES("", YIELD_ALL_RUNS,
                                                                         YIELD_EVERY_RUN)};
// ---- end of boards ----
// ---- A failed run's causes, kept at ingest (schema version 6) ----
// One row per cause of each failed run (parse/runCauses.h), written by the ingest with the run's
// other rows and replaced with them. The rule again in SQL (the causes the rows give, of the
// failed runs WHERE selects as r): each failed port, or its device's when every port of the
// device failed and more than one did, then the run's own cause when no port failed. The upgrade
// fills the table from it and `check` compares the table with it.
// clang-format off
#define YIELD_CAUSE_TABLE(INT, TEXT, KEYED)                                                        \
    "CREATE TABLE IF NOT EXISTS run_causes (run_id " INT " NOT NULL, cause " TEXT " NOT NULL,"     \
    " PRIMARY KEY (run_id, cause))" KEYED
#define YIELD_DEVICE(p)                                                                            \
    "CASE WHEN " p ".family IN ('" YIELD_DI_FAMILY "', '" YIELD_DO_FAMILY "') THEN '"              \
    YIELD_DIO_DEVICE "' ELSE " p ".family END"
#define YIELD_FAILED_RUN " r.verdict = '" YIELD_VERDICT_ERR "'"
#define YIELD_GIVEN_CAUSES(WHERE)                                                                  \
    "SELECT c.run_id, c.cause FROM (SELECT f.run_id,"                                              \
    " CASE WHEN d.failed > 1 AND d.failed = d.tested THEN d.device || '"                           \
    YIELD_ALL_PORTS_WORD "' || CAST(d.tested AS TEXT) || '" YIELD_PORTS_FAILED_WORD "'"            \
    " ELSE f.family || '-' || CAST(f.number AS TEXT) END AS cause FROM (SELECT p.run_id,"          \
    " " YIELD_DEVICE("p") " AS device, count(*) AS tested, sum(1 - p.passed) AS failed"           \
    " FROM runs r CROSS JOIN run_ports p WHERE p.run_id = r.id AND" YIELD_FAILED_RUN WHERE        \
    " GROUP BY p.run_id, " YIELD_DEVICE("p") ") d CROSS JOIN run_ports f"                         \
    " WHERE f.run_id = d.run_id AND f.passed = 0 AND " YIELD_DEVICE("f") " = d.device"            \
    " UNION SELECT r.id, '" YIELD_NO_PORT_CAUSE "' FROM runs r WHERE" YIELD_FAILED_RUN WHERE       \
    " AND NOT EXISTS (SELECT 1 FROM run_ports p WHERE p.run_id = r.id AND p.passed = 0)) c"
// clang-format on
#define YIELD_SQLITE_CAUSES YIELD_CAUSE_TABLE("INTEGER", "TEXT", " WITHOUT ROWID")
#define YIELD_PG_CAUSES YIELD_CAUSE_TABLE("BIGINT", YIELD_PG_TEXT, "")
constexpr BulkTable kCauseRows = {"INSERT INTO run_causes (run_id, cause) VALUES ($1, $2)",
                                  "COPY run_causes (run_id, cause) FROM STDIN"};
constexpr const char* kRebuildCauses[] = {
    "DELETE FROM run_causes", "INSERT INTO run_causes (run_id, cause) " YIELD_GIVEN_CAUSES("")};
// The causes of the runs $1 to $2, in run order.
constexpr char kCausesOfRunSpan[] =
    "SELECT run_id, cause FROM run_causes WHERE run_id >= $1 AND run_id <= $2"
    " ORDER BY run_id, cause";
// ---- end of causes ----
// What `check` compares: each table's stored tallies against those the rows give, each way.
struct TallyCheck {
    const char* table;
    const char* columns;         // the columns the rows below give, for people
    const char* storedNotGiven;  // rows stored that the rows do not give
    const char* givenNotStored;  // rows the rows give that are not stored
};
#define YIELD_EXCEPT(a, b) a " EXCEPT " b " ORDER BY 1, 2, 3, 4, 5"
#define YIELD_EXCEPT_2(a, b) a " EXCEPT " b " ORDER BY 1, 2"
#define YIELD_EXCEPT_4(a, b) a " EXCEPT " b " ORDER BY 1, 2, 3, 4"
constexpr TallyCheck kTallyChecks[] = {
    {"day_ports", YIELD_PORT_KEY ", runs, failures",
     YIELD_EXCEPT(YIELD_STORED_PORT_TALLIES,
                  YIELD_PORT_TALLIES("", YIELD_ALL_RUNS, YIELD_EVERY_RUN)),
     YIELD_EXCEPT(YIELD_PORT_TALLIES("", YIELD_ALL_RUNS, YIELD_EVERY_RUN),
                  YIELD_STORED_PORT_TALLIES)},
    {"day_volts", YIELD_VOLT_KEY ", readings",
     YIELD_EXCEPT(YIELD_STORED_VOLT_TALLIES,
                  YIELD_VOLT_TALLIES("", YIELD_ALL_RUNS, YIELD_EVERY_RUN)),
     YIELD_EXCEPT(YIELD_VOLT_TALLIES("", YIELD_ALL_RUNS, YIELD_EVERY_RUN),
                  YIELD_STORED_VOLT_TALLIES)},
    {"day_runs", YIELD_RUN_KEY ", runs",
     YIELD_EXCEPT(YIELD_STORED_RUN_TALLIES, YIELD_RUN_TALLIES("", YIELD_ALL_RUNS, YIELD_EVERY_RUN)),
     YIELD_EXCEPT(YIELD_RUN_TALLIES("", YIELD_ALL_RUNS, YIELD_EVERY_RUN), YIELD_STORED_RUN_TALLIES)},
    {"boards", YIELD_BOARD_COLUMNS,
     YIELD_EXCEPT("SELECT " YIELD_BOARD_COLUMNS " FROM boards", YIELD_GIVEN_BOARDS("")),
     YIELD_EXCEPT(YIELD_GIVEN_BOARDS(""), "SELECT " YIELD_BOARD_COLUMNS " FROM boards")},
    {"day_boards", "day, host, station, boards",
     YIELD_EXCEPT_4("SELECT day, host, station, boards FROM day_boards WHERE boards <> 0",
                    YIELD_GIVEN_DAY_BOARDS("", "")),
     YIELD_EXCEPT_4(YIELD_GIVEN_DAY_BOARDS("", ""),
                    "SELECT day, host, station, boards FROM day_boards WHERE boards <> 0")},
    {"run_causes", "run_id, cause",
     YIELD_EXCEPT_2("SELECT run_id, cause FROM run_causes", YIELD_GIVEN_CAUSES("")),
     YIELD_EXCEPT_2(YIELD_GIVEN_CAUSES(""), "SELECT run_id, cause FROM run_causes")}};
constexpr char kCountRuns[] = "SELECT count(*) FROM runs";
#undef YIELD_EXCEPT
#undef YIELD_EXCEPT_2
#undef YIELD_EXCEPT_4
#undef YIELD_GIVEN_DAY_BOARDS
#undef YIELD_GIVEN_CAUSES
#undef YIELD_FAILED_RUN
#undef YIELD_DEVICE
#undef YIELD_GIVEN_BOARDS
#undef YIELD_BATCH_BOARDS
#undef YIELD_SHOWN
#undef YIELD_COMPLETE_RUN
#undef YIELD_ALL_RUNS
#undef YIELD_ONE_RUN
#undef YIELD_EVERY_RUN
#undef YIELD_PORT_TALLIES
#undef YIELD_VOLT_TALLIES
#undef YIELD_STORED_PORT_TALLIES
#undef YIELD_RUN_TALLIES
#undef YIELD_STORED_RUN_TALLIES
#undef YIELD_RUN_KEY
#undef YIELD_STORED_VOLT_TALLIES
#define YIELD_SQLITE_TALLIES YIELD_TALLY_TABLES("INTEGER", "REAL", "TEXT", " WITHOUT ROWID")
#define YIELD_PG_TALLIES YIELD_TALLY_TABLES("BIGINT", "DOUBLE PRECISION", YIELD_PG_TEXT, "")
// ---- end of tallies ----

constexpr const char* kSqliteSchema[] = {
    YIELD_SCHEMA("INTEGER PRIMARY KEY", "INTEGER", "REAL", "TEXT", " WITHOUT ROWID",
                 " REFERENCES runs(id)"),
    YIELD_SQLITE_DISPOSITIONS,
    YIELD_SQLITE_ALARMS,
    YIELD_SQLITE_TALLIES,
    YIELD_SQLITE_BOARDS,
    YIELD_SQLITE_CAUSES,
    YIELD_SQLITE_DAY_BOARDS,
    YIELD_VIEWS(YIELD_SQLITE_VIEW, YIELD_SAME, YIELD_SAME, YIELD_SAME),
    YIELD_DISPOSITION_VIEWS(YIELD_SQLITE_VIEW, YIELD_SQLITE_UTC_TIME)};
// PostgreSQL keeps the schema version in a table of its own.
constexpr const char* kPgSchema[] = {
    YIELD_SCHEMA("BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY", "BIGINT",
                 "DOUBLE PRECISION", YIELD_PG_TEXT, "", ""),
    "CREATE TABLE IF NOT EXISTS yield_schema (version INTEGER NOT NULL)",
    YIELD_PG_DISPOSITIONS,
    YIELD_PG_ALARMS,
    YIELD_PG_TALLIES,
    YIELD_PG_BOARDS,
    YIELD_PG_CAUSES,
    YIELD_PG_DAY_BOARDS,
    YIELD_PG_TIME_FUNCTION,
    YIELD_VIEWS(YIELD_PG_VIEW, YIELD_PG_DAY, YIELD_PG_TIME, YIELD_PG_FLAG),
    YIELD_DISPOSITION_VIEWS(YIELD_PG_VIEW, YIELD_PG_UTC_TIME)};
// Version 3 to 4: the tallies' tables, filled from the rows (kRebuildTallies) in the same batch.
// The analogue readings' index goes: the reports read their tallies.
#define YIELD_UPGRADE_3 "DROP INDEX IF EXISTS volt_readings", YIELD_INDEXES
constexpr const char* kSqliteUpgrade3[] = {YIELD_SQLITE_TALLIES, YIELD_UPGRADE_3};
constexpr const char* kPgUpgrade3[] = {YIELD_PG_TALLIES, YIELD_UPGRADE_3};
#undef YIELD_UPGRADE_3
constexpr int kTallySchemaVersion = 4;
// Version 4 to 5: the boards' table, filled from the rows (kRebuildBoards) in the same batch.
constexpr const char* kSqliteUpgrade4[] = {YIELD_SQLITE_BOARDS};
constexpr const char* kPgUpgrade4[] = {YIELD_PG_BOARDS};
constexpr int kBoardSchemaVersion = 5;
// Version 5 to 6: the failed runs' causes, filled from the rows (kRebuildCauses) in the same batch.
constexpr const char* kSqliteUpgrade5[] = {YIELD_SQLITE_CAUSES};
constexpr const char* kPgUpgrade5[] = {YIELD_PG_CAUSES};
constexpr int kCauseSchemaVersion = 6;
// Version 6 to 7: the plain boards' tally and the others' index, filled from `boards`
// (kRebuildDayBoards) in the same batch.
constexpr const char* kSqliteUpgrade6[] = {YIELD_SQLITE_DAY_BOARDS};
constexpr const char* kPgUpgrade6[] = {YIELD_PG_DAY_BOARDS};
constexpr int kDayBoardSchemaVersion = 7;
constexpr const char* kIndexes[] = {YIELD_INDEXES};
constexpr char kNewestIndex[] = YIELD_NEWEST_INDEX;
// The views of version 1 to 2 come with those of 2 to 3, which an upgrade from 1 runs next.
constexpr const char* kSqliteUpgrade1[] = {YIELD_UPGRADE_1("TEXT")};
constexpr const char* kPgUpgrade1[] = {YIELD_UPGRADE_1(YIELD_PG_TEXT)};
// Version 2 to 3: the dispositions, the alarms, and the views made anew (on PostgreSQL with types
// of their own, which replacing a view cannot give).
constexpr const char* kSqliteUpgrade2[] = {
    YIELD_SQLITE_DISPOSITIONS, YIELD_SQLITE_ALARMS, "DROP VIEW IF EXISTS v_repair_queue",
    YIELD_VIEWS(YIELD_SQLITE_VIEW, YIELD_SAME, YIELD_SAME, YIELD_SAME),
    YIELD_DISPOSITION_VIEWS(YIELD_SQLITE_VIEW, YIELD_SQLITE_UTC_TIME)};
constexpr const char* kPgUpgrade2[] = {
    YIELD_PG_DISPOSITIONS,
    YIELD_PG_ALARMS,
    YIELD_PG_DROP_VIEWS,
    YIELD_PG_TIME_FUNCTION,
    YIELD_VIEWS(YIELD_PG_VIEW, YIELD_PG_DAY, YIELD_PG_TIME, YIELD_PG_FLAG),
    YIELD_DISPOSITION_VIEWS(YIELD_PG_VIEW, YIELD_PG_UTC_TIME)};
#undef YIELD_SQLITE_ALARMS
#undef YIELD_PG_ALARMS
#undef YIELD_ALARM_TABLE
#undef YIELD_ALARM_SELECT
#undef YIELD_ALARM_COLUMNS
#undef YIELD_ALARM_ID_DEF
#undef YIELD_ALARM_DEF
#undef YIELD_ALARM_NAME_FIRST
#undef YIELD_ALARM_NAME
#undef YIELD_ALARM_ENUM_FIRST
#undef YIELD_ALARM_ENUM

// ---- Unset clocks (schema version 3) ----
// runs.clock_unset: 1 for a run of a board whose clock was never set (parse/runClock.h); its
// day is then the day its file arrived, not the stamp's. Version 2 to 3: the column, then the
// runs stamped outside the plausible times ($1: the earliest stamp, $2: the latest) are weighed
// again with their kept file's time.
// The column as each engine's schema writes it (INT: INTEGER, BIGINT).
constexpr char kSqliteUpgradeClockColumn[] =
    "ALTER TABLE runs ADD COLUMN clock_unset INTEGER NOT NULL DEFAULT 0";
constexpr char kPgUpgradeClockColumn[] =
    "ALTER TABLE runs ADD COLUMN clock_unset BIGINT NOT NULL DEFAULT 0";
constexpr char kClockCandidates[] =
    "SELECT r.id, r.start_stamp, coalesce(max(s.mtime), 0) FROM runs r"
    " LEFT JOIN source_files s ON s.run_id = r.id AND s.role = '" YIELD_ROLE_KEPT
    "'"
    " WHERE r.day <> '' AND (r.start_stamp < $1 OR r.start_stamp > $2)"
    " GROUP BY r.id, r.start_stamp ORDER BY r.id";
constexpr char kMarkClockUnset[] = "UPDATE runs SET clock_unset = 1, day = $1 WHERE id = $2";
constexpr int kClockSchemaVersion = 3;
// ---- end of unset clocks ----
#undef YIELD_SCHEMA
#undef YIELD_INDEXES
#undef YIELD_NEWEST_INDEX
#undef YIELD_UPGRADE_1
#undef YIELD_FIXTURE
#undef YIELD_VIEWS
#undef YIELD_SQLITE_VIEW
#undef YIELD_PG_VIEW
#undef YIELD_SAME
#undef YIELD_PG_DAY
#undef YIELD_PG_TIME
#undef YIELD_PG_FLAG
#undef YIELD_PG_TIME_FUNCTION
#undef YIELD_PG_DROP_VIEWS
#undef YIELD_PG_TEXT
#undef YIELD_DISPOSED_QUEUE
#undef YIELD_KEPT_MESSAGE
#undef YIELD_DISPOSITION_TABLE
#undef YIELD_SQLITE_DISPOSITIONS
#undef YIELD_PG_DISPOSITIONS
#undef YIELD_DISPOSITION_VIEWS
#undef YIELD_SQLITE_TIME
#undef YIELD_PG_TIME
#undef YIELD_COLUMN_DEF
#undef YIELD_COLUMN_NAME
#undef YIELD_RUN_COLUMNS

// SQLite's own: the schema version lives in the file header, the journal in WAL mode.
constexpr char kSqliteGetVersion[] = "PRAGMA user_version";
constexpr char kSqliteSetVersion[] = "PRAGMA user_version = " YIELD_SCHEMA_VERSION;
constexpr char kSqliteWal[] = "PRAGMA journal_mode = WAL";
constexpr char kSqliteSync[] = "PRAGMA synchronous = NORMAL";
constexpr char kSqliteBusy[] = "PRAGMA busy_timeout = 10000";
// Moves whenever another connection commits to the file.
constexpr char kSqliteDataVersion[] = "PRAGMA data_version";
// The runs' and files' counts, read beside the data version.
constexpr char kSqliteChangeCounts[] =
    "SELECT coalesce(max(id), 0), count(*), (SELECT count(*) FROM source_files) FROM runs";
// A read of the file itself (opening the database reads nothing yet).
constexpr char kSqliteProbe[] = "SELECT count(*) FROM sqlite_master";
constexpr char kSqliteHasIndex[] =
    "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = $1";
// The query of a URI that reads a file no one can change as it stands (a read-only mount).
constexpr char kSqliteImmutable[] = "?immutable=1";
// Takes the write lock at once: a deferred transaction that read first cannot wait for another
// writer (SQLite answers "database is locked" at once), so two ingests at the same time failed.
constexpr char kSqliteBegin[] = "BEGIN IMMEDIATE";

// PostgreSQL's own.
constexpr char kPgHasSchema[] =
    "SELECT count(*) FROM pg_catalog.pg_tables WHERE schemaname = current_schema()"
    " AND tablename = 'yield_schema'";
constexpr char kPgHasIndex[] =
    "SELECT count(*) FROM pg_catalog.pg_indexes WHERE schemaname = current_schema()"
    " AND indexname = $1";
constexpr char kPgGetVersion[] = "SELECT coalesce(max(version), 0) FROM yield_schema";
constexpr char kPgSetVersion[] =
    "INSERT INTO yield_schema (version) VALUES (" YIELD_SCHEMA_VERSION ")";
#undef YIELD_SCHEMA_VERSION
// Two first ingests at once: one creates the tables, the other waits and finds them.
constexpr char kPgSchemaLock[] = "SELECT pg_advisory_xact_lock(7231001)";
// Floats sent back exactly; texts as UTF-8 (see pgText.h for bytes that are not).
constexpr const char* kPgSession[] = {"SET extra_float_digits = 3",
                                      "SET client_min_messages = warning"};
// The channel on which every batch that wrote tells the readers (changeWatcher.h) that it
// committed, with the number of runs it stored. Sent inside the batch's transaction, so that the
// server delivers it only when the batch commits.
#define YIELD_RUNS_CHANNEL "devuze_yield_runs"
constexpr char kRunsChannel[] = YIELD_RUNS_CHANNEL;
constexpr char kPgAnnounceRuns[] = "SELECT pg_notify('" YIELD_RUNS_CHANNEL "', $1)";
constexpr char kPgListen[] = "LISTEN " YIELD_RUNS_CHANNEL;
#undef YIELD_RUNS_CHANNEL
// Reports read from one snapshot, in chunks through cursors.
constexpr char kPgBeginRead[] = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";
constexpr char kPgDeclareCursor[] = "DECLARE %s NO SCROLL CURSOR FOR %s";
constexpr char kPgFetch[] = "FETCH FORWARD 5000 FROM %s";
constexpr char kPgCloseCursor[] = "CLOSE %s";

constexpr char kBegin[] = "BEGIN";
constexpr char kCommit[] = "COMMIT";
constexpr char kRollback[] = "ROLLBACK";

// Ingest.
// A file's row, and after its columns (at SourceColumn::kCount) the station of its run.
#define YIELD_FIRST_OF_S(name, type, constraint) "s." #name
#define YIELD_NEXT_OF_S(name, type, constraint) ", s." #name
constexpr char kSourceByPath[] = "SELECT " YIELD_SOURCE_COLUMNS(
    YIELD_FIRST_OF_S, YIELD_NEXT_OF_S, , ,
    , ) ", r.station FROM source_files s LEFT JOIN runs r ON r.id = s.run_id WHERE s.path = $1";
#undef YIELD_FIRST_OF_S
#undef YIELD_NEXT_OF_S
// A run stored without a station takes the first one a copy of it brings.
constexpr char kFillStation[] = "UPDATE runs SET station = $1 WHERE id = $2 AND station = ''";
// The days stored, and a day taken from runs whose stamp an older ingest took for a date when it
// is on no calendar.
constexpr char kStoredDays[] = "SELECT DISTINCT day FROM runs WHERE day <> ''";
constexpr char kClearDay[] = "UPDATE runs SET day = '' WHERE day = $1";
// What the weighing of copies reads of a stored run, in the order of StoredColumn.
#define YIELD_STORED_COLUMNS(FIRST, X) FIRST(id) X(verdict) X(records) X(bytes) X(station)
#define YIELD_FIRST_STORED(name) #name
#define YIELD_NEXT_STORED(name) ", " #name
#define YIELD_STORED_ENUM(name) name,
enum class StoredColumn { YIELD_STORED_COLUMNS(YIELD_STORED_ENUM, YIELD_STORED_ENUM) kCount };
#define YIELD_RUN_BY_KEY            \
    "SELECT " YIELD_STORED_COLUMNS( \
        YIELD_FIRST_STORED,         \
        YIELD_NEXT_STORED) " FROM runs WHERE host = $1 AND chip_id = $2 AND start_stamp = $3"
constexpr char kRunByKey[] = YIELD_RUN_BY_KEY;
// PostgreSQL's own: the row stays locked until the batch ends, so that two ingests of copies of
// one run weigh them one after the other. (SQLite's batches hold the whole database.)
constexpr char kPgRunByKeyLocked[] = YIELD_RUN_BY_KEY " FOR UPDATE";
#undef YIELD_RUN_BY_KEY
#undef YIELD_STORED_COLUMNS
#undef YIELD_FIRST_STORED
#undef YIELD_NEXT_STORED
#undef YIELD_STORED_ENUM
// The pieces of the statements on a whole run, joined around its column list by sqlRunText.cpp.
constexpr char kInsertRunHead[] = "INSERT INTO runs (";
constexpr char kInsertRunValues[] = ") VALUES (";
constexpr char kInsertRunTail[] =
    ") ON CONFLICT (host, chip_id, start_stamp) DO NOTHING RETURNING id";
constexpr char kUpdateRunHead[] = "UPDATE runs SET ";
constexpr char kUpdateRunAssign[] = " = ";
constexpr char kUpdateRunTail[] = " WHERE id = ";
constexpr char kRunByIdHead[] = "SELECT ";
constexpr char kRunByIdTail[] = " FROM runs WHERE id = $1";
constexpr char kListSeparator[] = ", ";
constexpr char kParamMark[] = "$";
// The statements on a whole run, made from YIELD_RUN_COLUMNS (sqlRunText.cpp): its values
// $1 ... $n in column order; the update's run ID after them.
const char* InsertRunText();  // gives the new run's ID, or no row when its key is there already
const char* UpdateRunText();
const char* RunByIdText();
// InsertRunText that writes the new run's file row too: $1 ... $n the run's values, then the
// file's in its column order without its run ID.
const char* InsertRunWithSourceText();

constexpr const char* kDeleteRunChildren[] = {
    "DELETE FROM run_ports WHERE run_id = $1",
    "DELETE FROM port_tallies WHERE run_id = $1",
    "DELETE FROM measurements WHERE run_id = $1",
    "DELETE FROM failure_lines WHERE run_id = $1",
    "DELETE FROM run_causes WHERE run_id = $1",
};
// The rows under a run, sent in bulk (BulkTable). A run's rows are written only by the batch
// that holds the run, and its ports and tallies come without repeats.
// Each row's values in its table's column order.
#define YIELD_BULK(table, COLUMNS, values)                                      \
    {                                                                           \
        "INSERT INTO " table " (" YIELD_NAMES(COLUMNS) ") VALUES (" values ")", \
            "COPY " table " (" YIELD_NAMES(COLUMNS) ") FROM STDIN"              \
    }
constexpr BulkTable kPortRows = YIELD_BULK("run_ports", YIELD_PORT_COLUMNS, "$1, $2, $3, $4, $5");
constexpr BulkTable kTallyRows =
    YIELD_BULK("port_tallies", YIELD_TALLY_COLUMNS, "$1, $2, $3, $4, $5, $6");
constexpr BulkTable kMeasurementRows = YIELD_BULK(
    "measurements", YIELD_MEASUREMENT_COLUMNS, "$1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12");
constexpr BulkTable kFailureRows =
    YIELD_BULK("failure_lines", YIELD_FAILURE_COLUMNS, "$1, $2, $3, $4, $5");
#undef YIELD_BULK
constexpr char kDemoteKeptCopy[] = "UPDATE source_files SET role = '" YIELD_ROLE_COPY
                                   "' WHERE run_id = $1 AND role = '" YIELD_ROLE_KEPT "'";
// The file a run's data comes from, and a file's row dropped when that file is gone.
constexpr char kKeptSourceOfRun[] =
    "SELECT path FROM source_files WHERE run_id = $1 AND role = '" YIELD_ROLE_KEPT "'";
constexpr char kDeleteSource[] = "DELETE FROM source_files WHERE path = $1";
// The rows of the file $1, or of the files under the folder $1 (paths from $2, $1 "/", up to but
// not with $3, $1 "0": '0' follows '/').
constexpr char kSourcesUnder[] =
    "SELECT path FROM source_files WHERE path = $1 OR (path >= $2 AND path < $3)";
constexpr char kRenameSource[] = "UPDATE source_files SET path = $1 WHERE path = $2";
// A file's row, its values in the table's column order; the path stays as it is.
#define YIELD_NO_ASSIGN(name, type, constraint)
#define YIELD_ASSIGN(name, type, constraint) ", " #name " = excluded." #name
#define YIELD_SOURCE_CONFLICT           \
    " ON CONFLICT (path) DO UPDATE SET" \
    " path = excluded.path" YIELD_SOURCE_COLUMNS(YIELD_NO_ASSIGN, YIELD_ASSIGN, , , , )
constexpr char kUpsertSource[] = "INSERT INTO source_files (" YIELD_NAMES(
    YIELD_SOURCE_COLUMNS) ") VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9)" YIELD_SOURCE_CONFLICT;
// The same upsert's pieces, for a statement that writes the file's row with its new run's.
constexpr char kSourceNames[] = YIELD_NAMES(YIELD_SOURCE_COLUMNS);
constexpr char kSourceConflictTail[] = YIELD_SOURCE_CONFLICT;
#undef YIELD_SOURCE_CONFLICT
#undef YIELD_NO_ASSIGN
#undef YIELD_ASSIGN
// A new run and its file's row in one statement, where each statement is a round trip and the
// engine writes from a WITH (sqlRunText.cpp): the run's values, then the file's without its run.
constexpr char kNewRunWith[] = "WITH r AS (";
constexpr char kNewRunSource[] = "), f AS (INSERT INTO source_files (";
constexpr char kNewRunSourceValues[] = ") SELECT ";
constexpr char kNewRunSourceRun[] = "r.id";
constexpr char kNewRunSourceFrom[] = " FROM r";
constexpr char kNewRunTail[] = ") SELECT id FROM r";

// Reading. The filter: day from ($1, '' for none), day until ($2), host ($3), station ($4: the
// station, or the host of a run without one). A run whose stamp gives no day (day '') is in no
// day range: either bound leaves it out.
#define YIELD_STATION_IS(n) \
    " (" n " = '' OR r.station = " n " OR (r.station = '' AND r.host = " n "))"
#define YIELD_RUN_FILTER                                                                  \
    " ($1 = '' OR r.day >= $1) AND ($2 = '' OR r.day <= $2) AND ($3 = '' OR r.host = $3)" \
    " AND (($1 = '' AND $2 = '') OR r.day <> '') AND" YIELD_STATION_IS("$4")
// The runs of the filter among the run IDs $5 to $6 (kRunIdSpan's, or every ID): read from
// runs_fixture_summary's range alone, in its order.
// A run's summary (RunSummary without its ports), in the order of SummaryColumn.
#define YIELD_SUMMARY_COLUMNS(FIRST, X) \
    FIRST(id) X(host) X(chip_id) X(start_stamp) X(day) X(verdict) X(station)
#define YIELD_FIRST_OF_R(name) "r." #name
#define YIELD_NEXT_OF_R(name) ", r." #name
#define YIELD_FIRST_SUMMARY(name) #name
#define YIELD_NEXT_SUMMARY(name) ", " #name
#define YIELD_SUMMARY_ENUM(name) name,
enum class SummaryColumn { YIELD_SUMMARY_COLUMNS(YIELD_SUMMARY_ENUM, YIELD_SUMMARY_ENUM) kCount };
constexpr char kRunsByFilter[] =
    "SELECT " YIELD_SUMMARY_COLUMNS(YIELD_FIRST_OF_R, YIELD_NEXT_OF_R) " FROM runs r"
    " WHERE" YIELD_RUN_FILTER " AND r.id >= $5 AND r.id <= $6 ORDER BY r.id";
// The runs of the filter among the IDs $5 to $6 a report reads beside the tallies (what
// ForEachNotableRun gives), each through its own index, by ID.
#define YIELD_SUMMARY_OF_R "SELECT " YIELD_SUMMARY_COLUMNS(YIELD_FIRST_OF_R, YIELD_NEXT_OF_R) " FROM runs r WHERE"
constexpr char kNotableRuns[] =
    YIELD_SUMMARY_OF_R " r.verdict = '" YIELD_VERDICT_ERR "' AND" YIELD_RUN_FILTER
    " AND r.id >= $5 AND r.id <= $6 UNION " YIELD_SUMMARY_OF_R " r.clock_unset = 1 AND"
    YIELD_RUN_FILTER " AND r.id >= $5 AND r.id <= $6 UNION " YIELD_SUMMARY_OF_R " r.id IN"
    " (SELECT p.run_id FROM run_ports p WHERE p.intermittent = 1 AND p.run_id >= $5"
    " AND p.run_id <= $6) AND" YIELD_RUN_FILTER " ORDER BY 1";
#undef YIELD_SUMMARY_OF_R
// At or after every day a stamp gives (YYYY-MM-DD): the upper day of a range without one.
constexpr char kLastDay[] = "9999-99-99";
// The first and last run ID of the days $1 to $2 (through runs_by_day), or NULLs for none. A
// day's runs are stored close together, so the span holds few runs of other days. "id + 0": a
// bare min(id) lets PostgreSQL walk the key's index from its end until a run of those days
// turns up, most of a year's runs for its last day.
constexpr char kRunIdSpan[] =
    "SELECT min(id + 0), max(id + 0) FROM runs WHERE day >= $1 AND day <= $2";
// The ports of the runs $1 to $2, to be merged with kRunsByFilter by run; read from the key's
// index alone.
#define YIELD_PORTS "SELECT " YIELD_NAMES(YIELD_PORT_COLUMNS) " FROM run_ports WHERE"
constexpr char kPortsOfRunSpan[] =
    YIELD_PORTS " run_id >= $1 AND run_id <= $2 ORDER BY run_id, family, number";
// The failed ports of the runs $1 to $2, in run order.
constexpr char kFailedPortsOfRunSpan[] =
    YIELD_PORTS " run_id >= $1 AND run_id <= $2 AND passed = 0 ORDER BY run_id, family, number";
#define YIELD_MEASUREMENTS \
    "SELECT " YIELD_NAMES(YIELD_MEASUREMENT_COLUMNS) " FROM measurements WHERE"
#define YIELD_FAILURES "SELECT " YIELD_NAMES(YIELD_FAILURE_COLUMNS) " FROM failure_lines WHERE"
// The failing results of a list of runs, each in run order, to be merged by run: the failed
// ports of those that did not pass, the failed measurements, the failure lines. The list is $1,
// a JSON array of run IDs ("[3,7]") in rising order, which each engine reads its own way; each
// run is then read through its key, whatever lies between the IDs (a repair queue's runs are a
// few among a year's).
struct RunListReads {
    const char* ports;
    const char* values;
    const char* lines;
};
#define YIELD_FAILING_OF_LIST(name, IN_LIST)                                                       \
    constexpr char name##Ports[] =                                                                 \
        "SELECT " YIELD_NAMES(YIELD_PORT_COLUMNS) " FROM runs r CROSS JOIN run_ports p"            \
        " WHERE" IN_LIST("r.id") " AND p.run_id = r.id AND r.verdict <> '" YIELD_VERDICT_OK "'"    \
        " AND p.passed = 0 ORDER BY r.id, p.family, p.number";                                     \
    constexpr char name##Values[] = YIELD_MEASUREMENTS " outcome = '" YIELD_OUTCOME_FAIL "' AND"   \
        IN_LIST("run_id") " ORDER BY run_id, seq";                                                 \
    constexpr char name##Lines[] = YIELD_FAILURES IN_LIST("run_id") " ORDER BY run_id, seq";       \
    constexpr RunListReads name = {name##Ports, name##Values, name##Lines};
#define YIELD_SQLITE_IN_LIST(column) " " column " IN (SELECT value FROM json_each($1))"
#define YIELD_PG_IN_LIST(column) " " column " = ANY(CAST(translate($1, '[]', '{}') AS bigint[]))"
YIELD_FAILING_OF_LIST(kSqliteFailingOfList, YIELD_SQLITE_IN_LIST)
YIELD_FAILING_OF_LIST(kPgFailingOfList, YIELD_PG_IN_LIST)
#undef YIELD_SQLITE_IN_LIST
#undef YIELD_PG_IN_LIST
#undef YIELD_FAILING_OF_LIST
// The intermittent ports of the runs $1 to $2, in run order: what a report reads of the runs'
// ports beside the tallies and the failed runs' causes (kCausesOfRunSpan).
constexpr char kIntermittentPortsOfRunSpan[] = YIELD_PORTS
    " intermittent = 1 AND run_id >= $1 AND run_id <= $2 ORDER BY run_id, family, number";
// The newest $1 runs, newest first.
constexpr char kNewestRunIds[] = "SELECT id FROM runs ORDER BY id DESC LIMIT $1";
// The same runs' summaries, newest first: their failed ports come from kFailedPortsOfRunSpan.
constexpr char kNewestRuns[] =
    "SELECT " YIELD_SUMMARY_COLUMNS(YIELD_FIRST_SUMMARY, YIELD_NEXT_SUMMARY) " FROM runs"
    " ORDER BY id DESC LIMIT $1";
#undef YIELD_SUMMARY_COLUMNS
#undef YIELD_FIRST_OF_R
#undef YIELD_NEXT_OF_R
#undef YIELD_FIRST_SUMMARY
#undef YIELD_NEXT_SUMMARY
#undef YIELD_SUMMARY_ENUM
// A read of the rows a filter selects, r.day its day: over every day the rows in their own
// order ($1 to $4), over some days a range of the day's key ($5: the last day, or kLastDay), not
// every row of a year for one day.
struct FilterText {
    const char* everyDay;
    const char* days;
};
#define YIELD_BY_FILTER(name, SELECT, TAIL)                                                      \
    constexpr char name##EveryDay[] = SELECT YIELD_RUN_FILTER TAIL;                               \
    constexpr char name##Days[] = SELECT YIELD_RUN_FILTER " AND r.day >= $1 AND r.day <= $5" TAIL; \
    constexpr FilterText name = {name##EveryDay, name##Days};
// The analogue readings (unit V) of the runs the filter selects, each distinct value once with
// its count, from their tallies.
YIELD_BY_FILTER(kVoltReadings, "SELECT r.name, r.value, sum(r.readings) FROM day_volts r WHERE",
                " GROUP BY r.name, r.value HAVING sum(r.readings) <> 0 ORDER BY r.name, r.value")
// The port tallies of the runs the filter selects, in PortTallyColumn's order.
enum class PortTallyColumn { day, host, station, family, number, runs, failures };
// A board's row as kBoardsByFilter reads it (YIELD_BOARD_COLUMNS).
enum class BoardColumn {
    chip_id, runs, complete, first_id, first_stamp, first_day, first_host, first_station,
    first_verdict, shown_id, shown_stamp, shown_host, shown_station, shown_verdict
};
YIELD_BY_FILTER(kPortTallies,
                "SELECT r.day, r.host, r.station, r.family, r.number, r.runs, r.failures"
                " FROM day_ports r WHERE r.runs <> 0 AND",
                "")
// The boards whose complete runs of the filter among the run IDs $5 to $6 at the station $7 (its
// host, for a run without one) tested the port named $8 (family-number): the runs from
// runs_fixture_summary, each one's ports looked up by its key.
constexpr char kBoardsTestingPort[] =
    "SELECT count(DISTINCT r.chip_id) FROM runs r WHERE" YIELD_RUN_FILTER
    " AND r.id >= $5 AND r.id <= $6 AND r.verdict <> '" YIELD_VERDICT_INCOMPLETE "'"
    " AND CASE WHEN r.station = '' THEN r.host ELSE r.station END = $7"
    " AND EXISTS (SELECT 1 FROM run_ports p WHERE p.run_id = r.id"
    " AND p.family || '-' || p.number = $8)";
YIELD_BY_FILTER(kRunTallies,
                "SELECT r.day, r.host, r.station, r.verdict, r.runs FROM day_runs r"
                " WHERE r.runs <> 0 AND",
                "")
// The boards whose first run the filter selects; the filter's columns are those of that run (over
// some days a range of boards_by_first_day).
YIELD_BY_FILTER(kBoardsByFilter,
                "SELECT " YIELD_BOARD_COLUMNS " FROM (SELECT " YIELD_BOARD_COLUMNS ", first_day AS day,"
                " first_host AS host, first_station AS station FROM boards) r WHERE",
                "")
// The boards that are not plain (retested, queued, or with no complete run), as kBoardsByFilter.
YIELD_BY_FILTER(kNotableBoardsByFilter,
                "SELECT " YIELD_BOARD_COLUMNS " FROM (SELECT " YIELD_BOARD_COLUMNS ", first_day AS day,"
                " first_host AS host, first_station AS station FROM boards WHERE NOT ("
                YIELD_PLAIN_BOARD ")) r WHERE",
                "")
// The plain boards per day, host and station.
YIELD_BY_FILTER(kPlainBoardTallies,
                "SELECT r.day, r.host, r.station, r.boards FROM day_boards r WHERE r.boards <> 0 AND",
                "")
#undef YIELD_BY_FILTER
#undef YIELD_PLAIN_BOARD
constexpr char kRunIds[] =
    "SELECT r.id FROM runs r WHERE" YIELD_RUN_FILTER " ORDER BY r.start_stamp, r.id";
#undef YIELD_RUN_FILTER
constexpr char kRunsWithoutDay[] =
    "SELECT count(*) FROM runs r WHERE r.day = ''"
    " AND ($1 = '' OR r.host = $1) AND" YIELD_STATION_IS("$2");
#undef YIELD_STATION_IS
// Each station's (its runs' station, else their host) newest file time, in nanoseconds since
// the epoch, over the files of the runs of the days from $1 on: when it last brought logs.
// The runs among the IDs $2 to $3 (kRunIdSpan's) from runs_fixture_summary, not the wide rows;
// the files' own range of the same IDs lets PostgreSQL merge the two in ID order instead of
// looking each run's files up.
constexpr char kStationUploads[] =
    "SELECT CASE WHEN r.station = '' THEN r.host ELSE r.station END AS fixture, max(s.mtime)"
    " FROM runs r CROSS JOIN source_files s WHERE s.run_id = r.id AND r.day >= $1"
    " AND r.id >= $2 AND r.id <= $3 AND s.run_id >= $2 AND s.run_id <= $3"
    " GROUP BY fixture ORDER BY fixture";
constexpr char kRunIdsOfChip[] =
    "SELECT id FROM runs WHERE chip_id = $1 ORDER BY start_stamp DESC, id DESC";
// The stored processor IDs equal to $1 (hex digits, no 0x) in any case and with or without 0x.
// Both engines upper-case ASCII alike, which is all a processor ID holds.
constexpr char kChipIdsLike[] =
    "SELECT DISTINCT chip_id FROM runs WHERE upper(CASE WHEN upper(substr(chip_id, 1, 2)) = '0X'"
    " THEN substr(chip_id, 3) ELSE chip_id END) = upper($1) ORDER BY chip_id";
// What there is to select: stations (or hosts of runs without one), hosts, the days' span.
constexpr char kStoredStations[] =
    "SELECT DISTINCT CASE WHEN station = '' THEN host ELSE station END AS s FROM runs ORDER BY s";
constexpr char kStoredHosts[] = "SELECT DISTINCT host FROM runs ORDER BY host";
constexpr char kStoredDaySpan[] =
    "SELECT coalesce(min(day), ''), coalesce(max(day), '') FROM runs WHERE day <> ''";
constexpr char kPortsOfRun[] = YIELD_PORTS " run_id = $1 ORDER BY family, number";
constexpr char kTalliesOfRun[] = "SELECT " YIELD_NAMES(
    YIELD_TALLY_COLUMNS) " FROM port_tallies WHERE run_id = $1 ORDER BY family, number, variant";
constexpr char kMeasurementsOfRun[] = YIELD_MEASUREMENTS " run_id = $1 ORDER BY seq";
constexpr char kFailuresOfRun[] = YIELD_FAILURES " run_id = $1 ORDER BY seq";
#undef YIELD_PORTS
#undef YIELD_MEASUREMENTS
#undef YIELD_FAILURES
#define YIELD_SOURCES "SELECT " YIELD_NAMES(YIELD_SOURCE_COLUMNS) " FROM source_files WHERE"
constexpr char kSourcesOfRun[] = YIELD_SOURCES " run_id = $1 ORDER BY role DESC, path";
constexpr char kProblemFiles[] = YIELD_SOURCES " run_id IS NULL ORDER BY path";
#undef YIELD_SOURCES

// The dispositions' columns as every statement on a whole row reads them, in DispositionColumn's
// order.
#define YIELD_DISPOSITION_NAMES "id, chip_id, run_id, status, note, made_by, made_at"
enum class DispositionColumn { id, chip_id, run_id, status, note, made_by, made_at, kCount };
// A disposition of the processor ID $1 (as stored): status $2, note $3, who $4, when $5; its
// run the board's newest. No row when the board has no run.
constexpr char kInsertDisposition[] =
    "INSERT INTO dispositions (chip_id, run_id, status, note, made_by, made_at)"
    " SELECT CAST($1 AS TEXT), n.newest, CAST($2 AS TEXT), CAST($3 AS TEXT), CAST($4 AS TEXT),"
    " CAST($5 AS TEXT) FROM (SELECT max(id) AS newest FROM runs WHERE chip_id = $1) n"
    " WHERE n.newest IS NOT NULL RETURNING id, run_id";
constexpr char kDispositionsOfChip[] =
    "SELECT " YIELD_DISPOSITION_NAMES " FROM dispositions WHERE chip_id = $1 ORDER BY id";
// Each board's latest disposition, by processor ID.
constexpr char kLatestDispositions[] =
    "SELECT " YIELD_DISPOSITION_NAMES
    " FROM dispositions d WHERE d.id ="
    " (SELECT max(e.id) FROM dispositions e WHERE e.chip_id = d.chip_id) ORDER BY d.chip_id";
#undef YIELD_DISPOSITION_NAMES

// The $n a statement takes: one per column of the rows it writes.
constexpr int ParamCount(const char* text) {
    int n = 0;
    for (; *text != '\0'; ++text) n += *text == '$' ? 1 : 0;
    return n;
}
static_assert(ParamCount(kPortRows.insert) == Col(PortColumn::kCount));
static_assert(ParamCount(kTallyRows.insert) == Col(TallyColumn::kCount));
static_assert(ParamCount(kMeasurementRows.insert) == Col(MeasurementColumn::kCount));
static_assert(ParamCount(kFailureRows.insert) == Col(FailureColumn::kCount));
static_assert(ParamCount(kUpsertSource) == Col(SourceColumn::kCount));
#undef YIELD_PORT_COLUMNS
#undef YIELD_TALLY_COLUMNS
#undef YIELD_MEASUREMENT_COLUMNS
#undef YIELD_FAILURE_COLUMNS
#undef YIELD_SOURCE_COLUMNS
#undef YIELD_FIRST_DEF
#undef YIELD_NEXT_DEF
#undef YIELD_FIRST_NAME
#undef YIELD_NEXT_NAME
#undef YIELD_NAMES
#undef YIELD_ENUM
#undef YIELD_COLUMN_ENUM
#undef YIELD_NN_EMPTY
#undef YIELD_NN_ZERO
#undef YIELD_NN

// What differs between the engines, beyond the column types.
struct Dialect {
    const char* const* schema;
    size_t schemaSize;
    const char* hasSchema;   // counts the version's table, or nullptr: the version says 0
    const char* getVersion;  // 0 for a database without the tables
    const char* setVersion;
    const char* const* upgrade1;  // version 1 to 2
    size_t upgrade1Size;
    const char* const* upgrade2;  // version 2 to 3
    size_t upgrade2Size;
    const char* const* upgrade3;  // version 3 to 4
    size_t upgrade3Size;
    const char* const* upgrade4;  // version 4 to 5
    size_t upgrade4Size;
    const char* const* upgrade5;  // version 5 to 6
    size_t upgrade5Size;
    const char* const* upgrade6;  // version 6 to 7
    size_t upgrade6Size;
    const char* schemaLock;  // nullptr when the transaction holds the whole database already
    const char* begin;
    const char* runByKeyLocked;
    const char* announceRuns;  // tells readers an ingest committed, with $1 runs; or nullptr
    const char* hasIndex;      // counts the indexes named $1
    bool newRunWithSource;     // a new run and its file's row in one statement
    const char* makeBoardChips;
    const char* analyzeBoardChips;  // or nullptr
    const char* lockBoards;         // or nullptr
    RunListReads failingOfList;
};

constexpr Dialect kSqliteDialect = {kSqliteSchema,
                                    sizeof kSqliteSchema / sizeof *kSqliteSchema,
                                    nullptr,
                                    kSqliteGetVersion,
                                    kSqliteSetVersion,
                                    kSqliteUpgrade1,
                                    sizeof kSqliteUpgrade1 / sizeof *kSqliteUpgrade1,
                                    kSqliteUpgrade2,
                                    sizeof kSqliteUpgrade2 / sizeof *kSqliteUpgrade2,
                                    kSqliteUpgrade3,
                                    sizeof kSqliteUpgrade3 / sizeof *kSqliteUpgrade3,
                                    kSqliteUpgrade4,
                                    sizeof kSqliteUpgrade4 / sizeof *kSqliteUpgrade4,
                                    kSqliteUpgrade5,
                                    sizeof kSqliteUpgrade5 / sizeof *kSqliteUpgrade5,
                                    kSqliteUpgrade6,
                                    sizeof kSqliteUpgrade6 / sizeof *kSqliteUpgrade6,
                                    nullptr,
                                    kSqliteBegin,
                                    kRunByKey,
                                    nullptr,
                                    kSqliteHasIndex,
                                    false,
                                    kSqliteMakeBoardChips,
                                    nullptr,
                                    nullptr,
                                    kSqliteFailingOfList};
constexpr Dialect kPgDialect = {kPgSchema,
                                sizeof kPgSchema / sizeof *kPgSchema,
                                kPgHasSchema,
                                kPgGetVersion,
                                kPgSetVersion,
                                kPgUpgrade1,
                                sizeof kPgUpgrade1 / sizeof *kPgUpgrade1,
                                kPgUpgrade2,
                                sizeof kPgUpgrade2 / sizeof *kPgUpgrade2,
                                kPgUpgrade3,
                                sizeof kPgUpgrade3 / sizeof *kPgUpgrade3,
                                kPgUpgrade4,
                                sizeof kPgUpgrade4 / sizeof *kPgUpgrade4,
                                kPgUpgrade5,
                                sizeof kPgUpgrade5 / sizeof *kPgUpgrade5,
                                kPgUpgrade6,
                                sizeof kPgUpgrade6 / sizeof *kPgUpgrade6,
                                kPgSchemaLock,
                                kBegin,
                                kPgRunByKeyLocked,
                                kPgAnnounceRuns,
                                kPgHasIndex,
                                true,
                                kPgMakeBoardChips,
                                kPgAnalyzeBoardChips,
                                kPgLockBoards,
                                kPgFailingOfList};

}  // namespace yield::sql
