"""Reads exported records as their consumers do (see export-consumers.sh).

Usage: exportConsumers.py SCHEMA JSON_DIR JUNIT_DIR REPORT_JSON CSV_DIR
"""
import json
import pathlib
import re
import sys

import jsonschema
import pandas
from junitparser import Error, Failure, JUnitXml

ZONED_TIME = re.compile(r"^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}[+-]\d{2}:\d{2}$")
TOTALS = ("tests", "failures", "errors", "skipped")
# The CSV columns that hold a time or a day (a trend's period may be an ISO week: not a time).
TIME_COLUMNS = {"start", "made_at", "day", "first_day", "last_day", "since", "until"}


def fail(message):
    sys.exit("export-consumers: " + message)


def check_json(schema_path, folder):
    """Every record valid; an incomplete reason exactly on the runs without a verdict."""
    validator = jsonschema.Draft202012Validator(json.loads(pathlib.Path(schema_path).read_text()))
    validator.check_schema(validator.schema)
    records = sorted(pathlib.Path(folder).glob("*.json"))
    for path in records:
        record = json.loads(path.read_text())
        for error in validator.iter_errors(record):
            fail(f"{path.name}: {error.message} at {list(error.absolute_path)}")
        if (record["incomplete_reason"] is None) != (record["outcome"] != "ERROR"):
            fail(f"{path.name}: incomplete_reason beside outcome {record['outcome']}")
    return len(records)


def check_junit_file(path):
    """Totals on <testsuites> equal to its one suite's and to its cases'; returns them."""
    xml = JUnitXml.fromfile(str(path))
    suites = list(xml)
    if len(suites) != 1:
        fail(f"{path.name}: {len(suites)} suites, one run each file")
    suite = suites[0]
    cases = list(suite)
    counted = {"tests": len(cases), "skipped": 0,
               "failures": sum(isinstance(r, Failure) for c in cases for r in c.result),
               "errors": sum(isinstance(r, Error) for c in cases for r in c.result)}
    for key in TOTALS:
        if not getattr(xml, key) == getattr(suite, key) == counted[key]:
            fail(f"{path.name}: {key} {getattr(xml, key)}, suite {getattr(suite, key)}, "
                 f"cases {counted[key]}")
    if xml.time != suite.time or any(c.time is None for c in cases):
        fail(f"{path.name}: times missing or apart")
    if not ZONED_TIME.match(suite.timestamp or ""):
        fail(f"{path.name}: timestamp {suite.timestamp!r} without its zone")
    return counted


def check_csv_times(folder):
    """pandas reads every time column of every table as a time, and no time is left out."""
    checked = 0
    for path in sorted(pathlib.Path(folder).glob("*.csv")):
        columns = list(pandas.read_csv(path, nrows=0).columns)
        if "start_stamp" in columns and "start" not in columns:
            fail(f"{path.name}: the board's start_stamp without a start a reader takes as a time")
        times = [c for c in columns if c in TIME_COLUMNS]
        if not times:
            continue
        raw = pandas.read_csv(path, dtype=str, keep_default_na=False)
        table = pandas.read_csv(path, parse_dates=times)
        for column in times:
            if (raw[column] == "").all():
                continue  # no time in it (a table without rows, or no --since)
            if not pandas.api.types.is_datetime64_any_dtype(table[column]):
                fail(f"{path.name}: {column} read as {table[column].dtype}, not as a time")
            lost = (raw[column] != "") & table[column].isna()
            if lost.any():
                fail(f"{path.name}: {column} {raw[column][lost].iloc[0]!r} is no time to pandas")
            checked += 1
    if checked == 0:
        fail("no time column in the CSV tables")
    return checked


def main():
    schema, json_dir, junit_dir, report_path, csv_dir = sys.argv[1:6]
    records = check_json(schema, json_dir)
    totals = [check_junit_file(p) for p in sorted(pathlib.Path(junit_dir).glob("*.xml"))]
    report = json.loads(pathlib.Path(report_path).read_text())
    failed = sum(d["runs"] - d["passed"] for d in report["days"])  # a day counts complete runs
    want = (report["summary"]["runs"], failed, report["summary"]["incomplete_runs"])
    got = (len(totals), sum(t["failures"] > 0 for t in totals), sum(t["errors"] > 0 for t in totals))
    if records != want[0] or got != want:
        fail(f"{records} JSON records; JUnit runs, failed, incomplete {got}; the report {want}")
    times = check_csv_times(csv_dir)
    print(f"export-consumers: {records} records valid, {len(totals)} JUnit files agree, "
          f"{times} CSV time columns read as times")


if __name__ == "__main__":
    main()
