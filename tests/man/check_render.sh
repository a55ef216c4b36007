#!/bin/sh
# check_render.sh PAGE: a built manual page must render without a single warning, both under
# groff (-ww: every warning on; -t: tables through tbl, as man(1) does for a page that asks for
# it on its first line) and under mandoc's lint at its default level (style notes too).
set -u
page=$1
groff_says=$(groff -t -ww -z -man "$page" 2>&1)
mandoc_says=$(mandoc -T lint "$page" 2>&1)
mandoc_status=$?
status=0
if [ -n "$groff_says" ]; then
    printf 'groff -t -ww -z -man %s:\n%s\n' "$page" "$groff_says"
    status=1
fi
if [ -n "$mandoc_says" ] || [ "$mandoc_status" -ne 0 ]; then
    printf 'mandoc -T lint %s (status %d):\n%s\n' "$page" "$mandoc_status" "$mandoc_says"
    status=1
fi
[ "$status" -eq 0 ] && echo "ok: $page renders cleanly under groff and mandoc"
exit $status
