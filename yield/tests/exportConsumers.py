"""Checks exported records as their consumers read them (see export-consumers.sh).

Usage: exportConsumers.py SCHEMA JSON_DIR JUNIT_DIR REPORT_JSON
"""
import json
import pathlib
import re
import sys

import jsonschema
from junitparser import Error, Failure, JUnitXml

ZONED_TIME = re.compile(r"^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}[+-]\d{2}:\d{2}$")
TOTALS = ("tests", "failures", "errors", "skipped")


def fail(message):
    print("export-consumers: " + message, file=sys.stderr)
    sys.exit(1)


def check_json(schema_path, folder):
    """Every record valid; an incomplete reason exactly on the runs without a verdict."""
    schema = json.loads(pathlib.Path(schema_path).read_text())
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    records = sorted(pathlib.Path(folder).glob("*.json"))
    for path in records:
        record = json.loads(path.read_text())
        errors = sorted(validator.iter_errors(record), key=str)
        if errors:
            fail(f"{path.name}: {errors[0].message} at {list(errors[0].absolute_path)}")
        if (record["incomplete_reason"] is None) != (record["outcome"] != "ERROR"):
            fail(f"{path.name}: incomplete_reason {record['incomplete_reason']!r} "
                 f"with outcome {record['outcome']}")
    return len(records)


def case_counts(suite):
    """The suite's totals counted from its cases."""
    counts = dict.fromkeys(TOTALS, 0)
    for case in suite:
        counts["tests"] += 1
        if case.time is None:
            fail(f"{suite.name}: case {case.name} without time")
        counts["failures"] += sum(isinstance(r, Failure) for r in case.result)
        counts["errors"] += sum(isinstance(r, Error) for r in case.result)
    return counts


def check_junit_file(path):
    """Totals on <testsuites> equal to its suites' and to their cases'; returns them."""
    xml = JUnitXml.fromfile(str(path))
    suites = list(xml)
    if len(suites) != 1:
        fail(f"{path.name}: {len(suites)} suites, one run each file")
    summed = dict.fromkeys(TOTALS, 0)
    for suite in suites:
        counted = case_counts(suite)
        for key in TOTALS:
            if getattr(suite, key) != counted[key]:
                fail(f"{path.name}: suite {key}={getattr(suite, key)}, its cases {counted[key]}")
            summed[key] += counted[key]
        if suite.time is None or suite.time < 0:
            fail(f"{path.name}: suite without time")
        if not ZONED_TIME.match(suite.timestamp or ""):
            fail(f"{path.name}: timestamp {suite.timestamp!r} without its zone")
    for key in TOTALS:
        if getattr(xml, key) != summed[key]:
            fail(f"{path.name}: testsuites {key}={getattr(xml, key)}, suites {summed[key]}")
    if xml.time != sum(s.time for s in suites):
        fail(f"{path.name}: testsuites time {xml.time}, suites {sum(s.time for s in suites)}")
    return summed


def report_counts(report_path):
    report = json.loads(pathlib.Path(report_path).read_text())
    summary = report["summary"]
    failed = sum(d["runs"] - d["passed"] - d["incomplete"] for d in report["days"])
    return summary["runs"], failed, summary["incomplete_runs"]


def main():
    schema, json_dir, junit_dir, report = sys.argv[1:5]
    records = check_json(schema, json_dir)
    files = sorted(pathlib.Path(junit_dir).glob("*.xml"))
    totals = [check_junit_file(path) for path in files]
    runs, failed, incomplete = report_counts(report)
    got = (len(files), sum(t["failures"] > 0 for t in totals), sum(t["errors"] > 0 for t in totals))
    if records != runs or got != (runs, failed, incomplete):
        fail(f"{records} JSON records; JUnit runs, failed, incomplete {got}; "
             f"the report {(runs, failed, incomplete)}")
    print(f"export-consumers: {records} records valid, {len(files)} JUnit files agree")


if __name__ == "__main__":
    main()
