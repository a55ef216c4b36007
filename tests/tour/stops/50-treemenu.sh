#!/bin/bash
# The tree menu: treemenu.o linked with the example tree routines (examples/treeparts), driven
# at its menu: numbers inserted into the search tree, the four traversals, a deletion, and the
# red-black tree demonstration.
set -euo pipefail
# shellcheck source=SCRIPTDIR/../lib.sh
source "$(dirname "$0")/../lib.sh"

program=$OSF_I386/examples/treeparts/treemenu
prompt="Enter the option to select the program :"

# tree_wait_last TEXT: waits until the last line on the screen is TEXT (trailing blanks aside),
# that is, until treemenu has printed TEXT and waits for an answer.
tree_wait_last() {
    local i
    for ((i = 0; i < 200; i++)); do
        [ "$(tour_screen tree | tail -n 1 | sed 's/ *$//')" = "$1" ] && return 0
        sleep 0.05
    done
    echo "tour: treemenu did not come to '$1' within 10s; its screen:" >&2
    tour_screen tree >&2
    return 1
}

# tree_option N TEXT: chooses option N and waits for TEXT.
tree_option() {
    tour_type tree "$1"
    tour_wait tree "$2"
    tree_wait_last "$prompt"
}

tour_stop "The tree menu: treemenu.o with the example tree routines"
# shellcheck disable=SC2016  # the terminal's shell expands it
tour_session tree bash -c '"$0"; echo "[treemenu ended with status $?]"' "$program"
tour_wait tree "0.exit"
tree_wait_last "$prompt"
tour_show tree "treemenu starts: its menu, printed once, and the option prompt"

for number in 50 30 70 20 40 60 80; do
    tour_type tree 2
    tree_wait_last "enter the NUMBER you want to insert :"
    tour_type tree "$number"
    tree_wait_last "$prompt"
done
tree_option 3 "20 30 40 50 60 70 80"
tree_option 4 "50 30 20 40 70 60 80"
tree_option 5 "20 40 30 60 80 70 50"
tree_option 6 "50 30 70 20 40 60 80"
tour_show tree "inserted 50 30 70 20 40 60 80 (option 2), then options 3 to 6: the four traversals"

tour_type tree 7
tree_wait_last "enter the number to delete :"
tour_type tree 30
tree_wait_last "$prompt"
tree_option 3 "20 40 50 60 70 80"
tree_option 4 "50 40 20 70 60 80"
tour_show tree "option 7 deletes 30 (two children: its in-order successor 40 takes its place)"

tour_type tree 8
tree_wait_last "red black tree: enter numbers to insert, then a word (like end) to finish :"
tour_type tree "10 20 30 15 25 5 end"
tour_wait tree "black height 2"
tree_wait_last "$prompt"
tour_type tree 0
tour_wait tree "[treemenu ended with status 0]"
tour_show tree "option 8: the red-black tree of 10 20 30 15 25 5, then option 0 ends the program"
