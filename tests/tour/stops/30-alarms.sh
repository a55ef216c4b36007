#!/bin/bash
# The alarms: snoozer takes three requests typed at once and prints them in due order while its
# prompt stays free; snoozefork serves the same from forked children; tidprobe shows its line.
set -euo pipefail
# shellcheck source=SCRIPTDIR/../lib.sh
source "$(dirname "$0")/../lib.sh"

tour_stop "The alarms: snoozer (a thread per alarm), snoozefork (a child per alarm), tidprobe"

# Three requests typed one after another, due in the opposite order; then a bad one, while the
# alarms are still pending, to show the prompt is free.
tour_session snoozer "$OSF_I386/alarms/snoozer"
tour_wait snoozer "Alarm>"
tour_type snoozer "3 tea is ready"
tour_type snoozer "2 the kettle boils"
tour_type snoozer "1 fill the kettle"
tour_type snoozer "soon"
tour_wait snoozer "Bad command"
tour_wait snoozer "(3) tea is ready"
screen=$(tour_screen snoozer)
order=$(grep -o -E '\(([123])\)' <<<"$screen" | tr -d '()\n')
if [ "$order" != 123 ]; then
    echo "tour: snoozer printed its alarms in the order $order, not 123" >&2
    exit 1
fi
tour_keys snoozer C-d
tour_show snoozer "snoozer (typed: 3 tea is ready, 2 the kettle boils, 1 fill the kettle, soon)"

tour_session snoozefork "$OSF_X86_64/alarms/snoozefork"
tour_wait snoozefork "thread created succesfully.."
tour_type snoozefork "2 second alarm"
tour_wait snoozefork "Alarm" 10 2
tour_type snoozefork "1 first alarm"
tour_wait snoozefork "(2) second alarm"
screen=$(tour_screen snoozefork)
if [ "$(grep -o -E '\(([12])\)' <<<"$screen" | tr -d '()\n')" != 12 ]; then
    echo "tour: snoozefork printed its alarms out of order" >&2
    exit 1
fi
tour_keys snoozefork C-d
tour_show snoozefork "snoozefork (typed: 2 second alarm, 1 first alarm)"

tour_session tidprobe "$OSF_I386/alarms/tidprobe"
tour_wait tidprobe "I am in thread and result is 20 and tid is"
tour_show tidprobe "tidprobe (no input; its line has no newline of its own)"
