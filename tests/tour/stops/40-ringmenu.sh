#!/bin/bash
# The circular list: ringhost (a plain C program around ringmenu.o) in a terminal; a short
# session of inserts and deletes through the menus, the screen shown after each step.
set -euo pipefail
# shellcheck source=SCRIPTDIR/../lib.sh
source "$(dirname "$0")/../lib.sh"

# ring_gone NAME TEXT: waits until TEXT has left the screen (the menus clear it before each menu).
ring_gone() {
    local i
    for ((i = 0; i < 200; i++)); do
        tour_screen "$1" | grep -q -F -- "$2" || return 0
        sleep 0.05
    done
    echo "tour: '$1' still shows '$2'; its screen:" >&2
    tour_screen "$1" >&2
    return 1
}

# ring_step NAME OPTION [PROMPT NUMBER...] DONE: picks OPTION at the menu, types each NUMBER
# once its PROMPT shows (the menu cleared the screen, so no earlier one is there), and waits
# for DONE, the question that ends the step.
ring_step() {
    local name=$1 option=$2
    shift 2
    tour_wait "$name" "Enter the option:"
    tour_type "$name" "$option"
    while [ $# -gt 1 ]; do
        tour_wait "$name" "$1"
        tour_type "$name" "$2"
        shift 2
    done
    tour_wait "$name" "$1"
}
element="Enter the element you want to insert"

tour_stop "The circular list: ringmenu linked into a C host, inserting and deleting through the menus"
tour_session ring "$OSF_I386/examples/ringhost/ringhost"
tour_wait ring "Do you want to insert or delete? :"
tour_type ring 1

insert_again="Do you want to insert another element(y/n)?:"
ring_step ring 2 "$element" 10 "$insert_again"
tour_show ring "insertion menu, option 2 (at the end): 10"
# insert_next OPTION [PROMPT NUMBER...] TITLE: answers y, then one more insertion.
insert_next() {
    local title=${*: -1}
    tour_type ring y
    ring_gone ring "$insert_again"
    ring_step ring "${@:1:$#-1}" "$insert_again"
    tour_show ring "$title"
}
insert_next 2 "$element" 20 "option 2 (at the end): 20"
insert_next 1 "$element" 5 "option 1 (at the beginning): 5"
insert_next 3 "Enter the position you want to insert" 2 "$element" 7 \
    "option 3 (at a position): 7 at position 2"
tour_type ring n
tour_wait ring "Do you want to perform another operation(y/n)?:"
tour_type ring y
tour_wait ring "Do you want to insert or delete? :"
tour_type ring 2

delete_again="Do you want to Delete another element(y/n)?:"
ring_step ring 3 "Enter the position you want to Delete" 2 "$delete_again"
tour_show ring "deletion menu, option 3 (at a position): position 2; the host's cir_display shows the ring"
tour_type ring y
ring_gone ring "$delete_again"
ring_step ring 6 "enter number before which you want to delete" 5 "$delete_again"
tour_show ring "option 6 (before a number): before the head's 5 wraps round to the tail"
tour_type ring n
tour_wait ring "Do you want to perform another operation(y/n)?:"
tour_type ring n
tour_wait ring "[ring: 5 10 | size 2, tail 10]" 10 2
tour_show ring "n, n: the menus return, and the host shows the list they leave"
