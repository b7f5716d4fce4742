// The day's report (`report --format json`) against the line screen's tables as
// lineScreen.readTable reads them (rows keyed by the report's own keys): each function lists what
// differs, in words, and an empty list when the page agrees with the report.
'use strict';

const {samePercent} = require('./lineScreen');

const FLAGGED_PORT = 'flagged-port';
const PORT_LIST = /,\s*/;
const MARKUP_TAG = /<\s*([a-zA-Z][a-zA-Z0-9-]*)/g;
const HAS_MARKUP = /<\s*[a-zA-Z]/;

// The one day the report covers: the screen shows one day.
function theDay(report) {
    const {first_day: first, last_day: last} = report.selection;
    if (!first || first !== last)
        throw new Error(`the report covers ${first || 'no day'} to ${last || 'no day'}, not one day`);
    if (report.summary.no_day_runs !== 0)
        throw new Error(`the report counts ${report.summary.no_day_runs} runs of no day`);
    return first;
}

function flaggedCells(report) {
    return report.fixture.filter((cell) => cell.flagged);
}

const show = (v) => JSON.stringify(v);

// Each of `stations` (report rows) is on the page with the runs the report counts.
function runsDifferences(stations, rows) {
    const byStation = new Map(rows.map((r) => [r.station, r]));
    return stations.filter((s) => byStation.get(s.station)?.runs !== String(s.runs))
        .map((s) => `station ${show(s.station)}: ${byStation.get(s.station)?.runs ?? 'no'} ` +
            `runs on the page, ${s.runs} in the report`);
}

function stationRowDifferences(s, r) {
    const out = [];
    const name = show(s.station);
    if (r.runs !== String(s.runs)) out.push(`${name}: runs ${r.runs}, report ${s.runs}`);
    if (r.boards !== String(s.boards))
        out.push(`${name}: boards ${r.boards}, report ${s.boards}`);
    if (!samePercent(r.first_pass_yield, s.first_pass_yield))
        out.push(`${name}: first pass ${r.first_pass_yield}, report ${s.first_pass_yield}`);
    if (!samePercent(r.final_yield, s.final_yield))
        out.push(`${name}: final ${r.final_yield}, report ${s.final_yield}`);
    return out;
}

// The page's station table is the report's: the same stations, runs, boards and yields.
function stationDifferences(report, rows) {
    const byStation = new Map(rows.map((r) => [r.station, r]));
    const known = new Set(report.stations.map((s) => s.station));
    const out = rows.filter((r) => !known.has(r.station))
        .map((r) => `station ${show(r.station)} is on the page, not in the report`);
    for (const s of report.stations) {
        const r = byStation.get(s.station);
        if (r) out.push(...stationRowDifferences(s, r));
        else out.push(`station ${show(s.station)} is not on the page`);
    }
    return out;
}

// The page's repair queue is the report's, board by board and in its order.
// The page shows a board's failures as text, a cause a part ("; " between); the report gives them
// as objects. The same causes in the same order, each part naming its cause's first and last port.
function causesDifference(text, causes) {
    const parts = text === '' ? [] : text.split('; ');
    if (parts.length !== causes.length) return `${parts.length} causes, report ${causes.length}`;
    for (let i = 0; i < causes.length; ++i) {
        const ports = causes[i].ports;
        const ends = ports.length ? [ports[0], ports[ports.length - 1]] : [];
        if (!ends.every((p) => parts[i].includes(p)))
            return `cause ${show(parts[i])}, report ports ${show(ports)}`;
    }
    return '';
}

function repairDifferences(report, rows) {
    const queue = report.repair_queue;
    const byId = new Map(rows.map((r) => [r.chip_id, r]));
    const out = [];
    for (const q of queue) {
        const r = byId.get(q.chip_id);
        if (!r) {
            out.push(`${q.chip_id} is not in the page's repair queue`);
            continue;
        }
        for (const key of ['station', 'start_stamp', 'status']) {
            if (r[key] !== q[key]) out.push(`${q.chip_id}: ${key} ${show(r[key])}, report ${show(q[key])}`);
        }
        const causes = causesDifference(r.failures, q.failures);
        if (causes) out.push(`${q.chip_id}: failures ${causes}`);
    }
    const pageIds = rows.map((r) => r.chip_id);
    const reportIds = queue.map((q) => q.chip_id);
    if (show(pageIds) !== show(reportIds))
        out.push(`repair queue order ${show(pageIds)}, report ${show(reportIds)}`);
    return out;
}

const cellKey = (station, port) => show([station, port]);

function sameCells(what, cells, pairs) {
    const want = cells.map((c) => cellKey(c.station, c.port)).sort();
    const got = pairs.sort();
    return show(want) === show(got) ? [] : [`${what} ${got.join(' ')}, report flags ${want.join(' ')}`];
}

// The ports an alarm or an alert names, in its order (one station's ports share one alarm).
const portsNamed = (ports) => String(ports).split(PORT_LIST);

// The report's flagged ports of `station`, in its order.
const flaggedPortsOf = (flagged, station) =>
    flagged.filter((c) => c.station === station).map((c) => c.port);

// The page's alarms are the report's `flagged` cells, each station's ports in one alarm in the
// report's order, and nothing else.
function alarmDifferences(flagged, rows) {
    const flaggedRows = rows.filter((a) => a.kind === FLAGGED_PORT);
    const stations = flaggedRows.map((r) => r.station);
    const out = stations.filter((s, i) => stations.indexOf(s) !== i)
        .map((s) => `station ${show(s)} has more than one port alarm`);
    for (const r of flaggedRows) {
        const want = flaggedPortsOf(flagged, r.station);
        if (want.length > 0 && show(portsNamed(r.ports)) !== show(want))
            out.push(`alarm of ${show(r.station)} names ${show(r.ports)}, report flags ${show(want)}`);
    }
    const pairs = rows.flatMap((r) => (r.kind === FLAGGED_PORT
        ? portsNamed(r.ports).map((p) => cellKey(r.station, p)) : [`${r.kind} ${show(r.station)}`]));
    return out.concat(sameCells('alarms', flagged, pairs));
}

function flagDifferences(flagged, rows) {
    return sameCells('flags', flagged, rows.map((r) => cellKey(r.station, r.port)));
}

function alertCallDifferences(flagged, call, alarm) {
    const [kind, station, port, rate] = call.args;
    const name = cellKey(station, port);
    const out = [];
    if (kind !== FLAGGED_PORT || show(portsNamed(port)) !== show(flaggedPortsOf(flagged, station)))
        out.push(`alert for ${name} with arguments ${show(call.args)}`);
    if (call.env.KIND !== FLAGGED_PORT || call.env.STATION !== station ||
        call.env.PORT !== port || call.env.FAILURE_RATE !== rate)
        out.push(`alert for ${name} with environment ${show(call.env)}`);
    // The rate when the alarm was raised, which the page's alarm shows too.
    if (!alarm || !samePercent(alarm.port_failure_rate, Number(rate) / 100))
        out.push(`alert for ${name}: rate ${rate}, the page's alarm ${alarm?.port_failure_rate}`);
    return out;
}

// The alert command ran once for each station with `flagged` cells, naming its flagged ports, as
// record-alert.sh recorded its calls, with the rate of the page's alarm for it (`alarms`: the
// page's alarm rows).
function alertDifferences(flagged, calls, alarms) {
    const stations = [...new Set(flagged.map((c) => c.station))];
    if (calls.length !== stations.length) {
        return [`the alert command ran ${calls.length} times: ${show(calls)}; report flags ` +
            `${stations.length} stations`];
    }
    const byStation = new Map(calls.map((call) => [call.args[1], call]));
    const alarmOf = (station) => alarms.find((a) => a.kind === FLAGGED_PORT && a.station === station);
    return stations.flatMap((station) => {
        const call = byStation.get(station);
        return call ? alertCallDifferences(flagged, call, alarmOf(station))
            : [`no alert for station ${show(station)}`];
    });
}

// Station names from the logs that hold markup (a repair desk's hostile host name).
function markupStations(report) {
    return report.stations.map((s) => s.station).filter((s) => HAS_MARKUP.test(s));
}

// The element names that markup in `texts` would make.
function markupTags(texts) {
    return [...new Set(texts.flatMap((t) => [...t.matchAll(MARKUP_TAG)].map((m) => m[1].toLowerCase())))];
}

module.exports = {
    theDay, flaggedCells, runsDifferences, stationDifferences, repairDifferences,
    alarmDifferences, flagDifferences, alertDifferences, markupStations, markupTags,
};
