# shellcheck shell=bash
# Shared by the tour's stops: run programs in real terminals (tmux panes), type into them as a
# person would, wait for what they print, and show their screens.
# Every wait has a time limit; a stop that fails returns non-zero.

# Where the build put the programs and the test kernel: the i386 tree's paths.sh (written when
# that tree is configured; OSF_PATHS names another tree's) sets OSF_I386, OSF_X86_64 and
# OSF_KERNEL_DIR.
tour_paths=${OSF_PATHS:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build/i386/paths.sh}
if [ ! -f "$tour_paths" ]; then
    echo "tour: $tour_paths is missing: run make first" >&2
    exit 1
fi
# shellcheck source=/dev/null
. "$tour_paths"
TOUR_TMUX=(tmux -L "osfacets-tour-$$" -f /dev/null)

# tour_stop "what this stop shows": the one line that introduces a stop.
tour_stop() {
    if [ -t 1 ]; then printf '\n\033[1m== %s\033[0m\n' "$1"; else printf '\n== %s\n' "$1"; fi
}

# tour_session NAME COMMAND...: starts COMMAND in its own 100x30 terminal.
tour_session() {
    local name=$1
    shift
    "${TOUR_TMUX[@]}" new-session -d -s "$name" -x 100 -y 30 "$(printf '%q ' "$@"); sleep 600"
    "${TOUR_TMUX[@]}" set-option -t "$name" remain-on-exit on >/dev/null
}

# tour_type NAME TEXT: types TEXT and Enter into the terminal.
tour_type() {
    "${TOUR_TMUX[@]}" send-keys -t "$1" -l -- "$2"
    "${TOUR_TMUX[@]}" send-keys -t "$1" Enter
}

# tour_keys NAME KEY...: sends tmux key names (C-d, Enter, ...).
tour_keys() {
    local name=$1
    shift
    "${TOUR_TMUX[@]}" send-keys -t "$name" "$@"
}

tour_screen() {
    "${TOUR_TMUX[@]}" capture-pane -p -t "$1" | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}'
}

# tour_wait NAME TEXT [SECONDS] [COUNT]: waits until TEXT shows COUNT times on the screen.
tour_wait() {
    local name=$1 text=$2 limit=${3:-10} count=${4:-1} i
    for ((i = 0; i < limit * 20; i++)); do
        [ "$(tour_screen "$name" | grep -c -F -- "$text")" -ge "$count" ] && return 0
        sleep 0.05
    done
    echo "tour: '$name' did not show '$text' within ${limit}s; its screen:" >&2
    tour_screen "$name" >&2
    return 1
}

# tour_show NAME TITLE: prints the terminal's screen inside a frame.
tour_show() {
    printf -- '--- %s ---\n' "$2"
    tour_screen "$1" | sed 's/^/| /'
    printf -- '---\n'
}

tour_cleanup() {
    "${TOUR_TMUX[@]}" kill-server 2>/dev/null || true
}
trap tour_cleanup EXIT
