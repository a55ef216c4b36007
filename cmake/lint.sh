#!/bin/bash
# lint.sh: the static checks behind `make lint`. Run from the Makefile (after `make deps`):
#   JOBS=2 bash cmake/lint.sh
# 1. clang-tidy (.clang-tidy at the top) over every user-space translation unit of the i386
#    and x86-64 trees' compile databases;
# 2. cppcheck over the same units;
# 3. the kernel's own checkpatch.pl over the modules' C sources and headers;
# 4. clang-format (.clang-format at the top) over the user-space C and C++ sources, which must
#    be as it would lay them out (the modules keep the kernel's own style, which checkpatch
#    checks);
# 5. shellcheck over every shell script.
# It configures both trees (for compile_commands.json) and makes the kernel source (for
# checkpatch.pl) ready under build/kernel when it is not there yet; it builds nothing else. Every
# tool runs even when an earlier one complains; the exit status is non-zero on any finding.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-2}
root_re=$(printf '%s' "$root" | sed 's/[]^$.*+?(){}|[\]/\\&/g')  # the root as a pattern
out=build/lint
clang_tidy=${CLANG_TIDY:-clang-tidy}

echo "lint: configuring the i386 and x86-64 trees"
cmake --preset i386 >/dev/null
cmake --preset x86_64 >/dev/null
# shellcheck source=/dev/null
. build/i386/paths.sh  # OSF_I386, OSF_X86_64, OSF_KERNEL_DIR
# checkpatch.pl is in the kernel's source, which the debugging kernels build from.
kernel_source=$(bash tests/kernel/debug/build.sh "$OSF_KERNEL_DIR" source | tail -n 1)

# One compile database for both tools: our units of the i386 tree (not GoogleTest's under
# /usr/src, nothing under build/; the fuzz targets and the units tests compile themselves are
# object libraries never built), then those only the x86-64 tree builds (snoozefork, the
# benchmark drivers that time from outside).
rm -rf "$out"
mkdir -p "$out/tidy" "$out/cppcheck"
python3 - "$root" "$out/compile_commands.json" "$OSF_I386" "$OSF_X86_64" <<'EOF'
import json, sys
root, target, i386, x86_64 = sys.argv[1:5]

def ours(tree):
    return [e for e in json.load(open(tree + "/compile_commands.json"))
            if e["file"].startswith(root + "/") and not e["file"].startswith(root + "/build/")]

units = ours(i386)
seen = {e["file"] for e in units}
units += [e for e in ours(x86_64) if e["file"] not in seen]
json.dump(units, open(target, "w"), indent=1)
EOF
mapfile -t units < <(python3 -c 'import json, sys
for u in json.load(open(sys.argv[1])): print(u["file"])' "$out/compile_commands.json")

status=0

# --- clang-tidy ------------------------------------------------------------------------------
# Test sources (the *_test files, their helpers, the test bed under tests/, the fuzzer) are
# linted too: a fault in a test hides faults in the code. They get a lighter set:
#   clang-analyzer-*: its path-by-path search through every GoogleTest macro takes most of
#     the lint time; the tests run under ASan and UBSan (make check-sanitize) instead;
#   cert-err58-cpp: a table of expected texts that threw while being built would fail the
#     test program at start, loudly;
#   cert-msc50-cpp, cert-msc51-cpp: fixed seeds make the randomised tests repeatable;
#   bugprone-unchecked-optional-access (clang-tidy 16 on): the tests reach an optional's value
#     after ASSERT_TRUE(x.has_value()), which returns when it is empty; the check does not
#     follow GoogleTest's macro and reports every such access.
test_checks="-clang-analyzer-*,-cert-err58-cpp,-cert-msc50-cpp,-cert-msc51-cpp"
test_checks+=",-bugprone-unchecked-optional-access"
is_test() {
    [[ $1 =~ _test(_util)?\.(c|cpp)$ || $1 =~ ^$root_re/tests/ || $1 =~ _fuzz\.cpp$ ]]
}
# Our own headers: any under the root but not under build/ (clang-tidy's patterns have no
# lookahead, hence the spelled-out "not build/").
header_filter="^$root_re/([^b]|b[^u]|bu[^i]|bui[^l]|buil[^d]|build[^/]).*\\.h\$"
# clang 14 cannot parse libstdc++ 12's <source_location>: cmake/lint/source_location.h.
tidy_one() {
    local unit=$1 log
    log=$out/tidy/$(echo "${1#"$root"/}" | tr / _).log
    local extra=()
    is_test "$unit" && extra=(--checks="$test_checks")
    if ! "$clang_tidy" -p "$out" --quiet --header-filter="$header_filter" \
        --extra-arg=-include"$root/cmake/lint/source_location.h" "${extra[@]}" "$unit" \
        >"$log" 2>&1; then
        touch "$log.failed"
    fi
}
echo "lint: clang-tidy over ${#units[@]} units ($jobs at a time)"
started=$SECONDS
# The test units first: they take longest, so the pool ends evenly.
mapfile -t ordered < <(for u in "${units[@]}"; do is_test "$u" && echo "$u"; done
                       for u in "${units[@]}"; do is_test "$u" || echo "$u"; done)
for unit in "${ordered[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    tidy_one "$unit" &
done
wait
failed=0
for log in "$out"/tidy/*.log; do
    [ -f "$log.failed" ] || continue
    failed=$((failed + 1))
    grep -v -E '^[0-9]+ warnings?( and [0-9]+ errors?)? generated\.$' "$log" || true
done
if [ "$failed" -eq 0 ]; then
    echo "lint: clang-tidy clean ($((SECONDS - started)) s)"
else
    echo "lint: clang-tidy: findings in $failed units"
    status=1
fi

# --- cppcheck --------------------------------------------------------------------------------
# Suppressions stand inline where the code is (cppcheck-suppress id // why); the few that
# hold everywhere are in cmake/lint/cppcheck-suppressions.txt, each with its reason.
echo "lint: cppcheck"
if cppcheck --project="$out/compile_commands.json" --quiet -j "$jobs" \
    --cppcheck-build-dir="$out/cppcheck" --enable=warning,style,performance,portability \
    --library=posix --library=googletest --inline-suppr \
    --suppressions-list=cmake/lint/cppcheck-suppressions.txt --error-exitcode=1 \
    --template='{file}:{line}:{column}: {severity}: {message} [{id}]'; then
    echo "lint: cppcheck clean"
else
    echo "lint: cppcheck: findings above"
    status=1
fi

# --- checkpatch ------------------------------------------------------------------------------
# checkpatch has no inline suppressions. These message types are off for every file, each for
# its reason:
ignore=(
    # The log texts are the modules' interface, kept byte for byte, blank before "\n" and all.
    QUOTED_WHITESPACE_BEFORE_NEWLINE
    # The modules declare MODULE_LICENSE("Dual BSD/GPL"); which SPDX pair that stands for is
    # the owner's call, not a lint fix.
    SPDX_LICENSE_TAG
)
# and these for one file each (checkpatch takes a list with commas):
# shellcheck disable=SC2054
declare -A ignore_in=(
    # compat.h's one job is the LINUX_VERSION_CODE tests (4.8 up to current kernels), and
    # checkpatch reads the usual `LINUX_VERSION_CODE >= KERNEL_VERSION(..)` as a constant on
    # the left of a comparison.
    [modules/compat.h]=LINUX_VERSION_CODE,CONSTANT_COMPARISON
    # dirscan's entry lines go out with no level on purpose: at the kernel's default level.
    [modules/dirscan/pgdir.c]=PRINTK_WITHOUT_KERN_LEVEL
)
echo "lint: checkpatch ($(cat "$kernel_source.version"))"
found=0
while read -r source; do
    types=$(IFS=,; echo "${ignore[*]}")${ignore_in[$source]:+,${ignore_in[$source]}}
    perl "$kernel_source/scripts/checkpatch.pl" --no-tree --quiet --terse --show-types \
        --no-summary --ignore "$types" --file "$source" </dev/null || found=1
done < <(find modules -name '*.[ch]' | sort)
if [ "$found" -eq 0 ]; then
    echo "lint: checkpatch clean"
else
    echo "lint: checkpatch: findings above"
    status=1
fi

# --- clang-format ----------------------------------------------------------------------------
echo "lint: clang-format"
if git ls-files -z -- '*.c' '*.cpp' '*.h' ':!modules/' | xargs -0 clang-format --dry-run -Werror; then
    echo "lint: clang-format clean"
else
    echo "lint: clang-format: the files above are not laid out as .clang-format says" \
        "(clang-format -i FILE lays one out)"
    status=1
fi

# --- shellcheck ------------------------------------------------------------------------------
# Every shell script: the *.sh files, CI's entry point, the test guest's init and the packages'
# tests. -x follows the files a script sources.
echo "lint: shellcheck ($(shellcheck --version | sed -n 's/^version: //p'))"
if git ls-files -z -- '*.sh' .ci/run tests/kernel/guest/init 'debian/tests/*' \
    ':!debian/tests/control' | xargs -0 shellcheck -x; then
    echo "lint: shellcheck clean"
else
    echo "lint: shellcheck: findings above"
    status=1
fi

exit $status
