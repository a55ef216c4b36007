# checks.sh: sourced by the shell checks. Each check prints one line, "ok: WHAT" or "FAIL: WHAT"
# (with what was got and what was expected below it), and is counted; checks_done prints the
# counts and gives the status; a script that ran no check fails. Every check runs, also after
# one has failed.
# shellcheck shell=bash
checks=0
failed=0

ok() {  # ok WHAT
    checks=$((checks + 1))
    echo "ok: $*"
}
bad() {  # bad WHAT
    checks=$((checks + 1))
    failed=$((failed + 1))
    echo "FAIL: $*"
}
check() {  # check WHAT COMMAND...: ok if COMMAND succeeds; its status
    local what=$1
    shift
    if "$@"; then ok "$what"; else bad "$what"; return 1; fi
}
expect_equal() {  # expect_equal WHAT ACTUAL EXPECTED: a value of one line is shown with WHAT
    if [ "$2" != "$3" ]; then
        bad "$1"
        printf '  got:      %s\n  expected: %s\n' "$2" "$3"
    elif [ -n "$2" ] && [[ $2 != *$'\n'* ]]; then
        ok "$1: $2"
    else
        ok "$1"
    fi
}
checks_done() {  # checks_done NAME: "NAME: N checks, N failed"; status 1 if any failed or none ran
    echo "$1: $checks checks, $failed failed"
    [ "$checks" -gt 0 ] && [ "$failed" -eq 0 ]
}

# make_scratch NAME: sets scratch to a new folder NAME-XXXXXX in the folder the check runs in
# (CTest runs it in the build tree), removed when the script ends. Never /tmp: a host may mount
# it noexec, and the checks build and run programs in their scratch folder.
make_scratch() {
    scratch=$(mktemp -d "$PWD/$1-XXXXXX") || exit 1
    trap 'rm -rf "$scratch"' EXIT
}

# cxx_runtime_needs OBJECT: the symbols OBJECT leaves to the C++ runtime (mangled names, the
# ABI's __cxa_ and __gxx_ routines, the unwinder), one line; empty if none.
cxx_runtime_needs() {
    nm -u "$1" | awk '{print $NF}' | grep -E '^(_Z|__cxa_|__gxx_|_Unwind_|__dynamic_cast)' | xargs
}
