#!/bin/sh
# The alert command of the line screen's checks: appends one line per call to the file named
# first, the other arguments then the alarm's DEVUZE_ALERT_* variables as NAME=value, fields
# between tabs (lineScreen.js reads them back). The line is written in one piece: alarms raised
# together run their commands at the same time.
# Usage: record-alert.sh FILE [ARG...]
out=$1
shift
line=$(
    printf '%s\t' "$@"
    printf 'KIND=%s\tSTATION=%s\tPORT=%s\tFAILURE_RATE=%s\tFIRST_PASS_YIELD=%s\tBOARDS=%s\tID=%s' \
        "$DEVUZE_ALERT_KIND" "$DEVUZE_ALERT_STATION" "$DEVUZE_ALERT_PORT" \
        "$DEVUZE_ALERT_FAILURE_RATE" "$DEVUZE_ALERT_FIRST_PASS_YIELD" "$DEVUZE_ALERT_BOARDS" \
        "$DEVUZE_ALERT_ID"
)
printf '%s\n' "$line" >>"$out"
