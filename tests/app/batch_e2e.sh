#!/bin/sh
# The built batch runner on a task file: CSV header, row count, first row,
# the final force, and a bad task file refused with status 2.
set -eu
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# the batch runner within a deadline: one that hangs fails with a message
batch() {
    rc=0
    timeout -k 5 60 "$HYBRIDSIM_BATCH" "$@" || rc=$?
    [ "$rc" -ne 124 ] && [ "$rc" -ne 137 ] || { echo "hybridsim-batch $* did not end within 60 s"; exit 1; }
    return "$rc"
}

batch "$TASKDIR/robot_a_line.dat" --csv "$out/run.csv"
header=$(head -n 1 "$out/run.csv")
[ "$header" = "i,t,ref_x,ref_y,tip_x,tip_y,err_x,err_y,joint1,joint2,defl1,defl2,force,force_err,s_err,spring_force" ] \
    || { echo "wrong header: $header"; exit 1; }
rows=$(wc -l < "$out/run.csv")
[ "$rows" -eq 202 ] || { echo "expected 202 lines, got $rows"; exit 1; }
# sample 0: at rest at the start point (0.3, 0), no force yet, force error -Fn
awk -F, 'NR == 2 { if ($1 != 0 || $2 != 0 || $13 != 0 || $14 != -10 || $15 != 0) exit 1;
                   if ($5 < 0.2999999 || $5 > 0.3000001 || $6 < -1e-9 || $6 > 1e-9) exit 1 }
         NR == 202 { if ($1 != 200 || $13 < 9.999 || $13 > 10.001) exit 1 }' "$out/run.csv" \
    || { echo "unexpected values"; sed -n '2p;202p' "$out/run.csv"; exit 1; }

printf 'b 0.5 0.5 500 500 8 5 0\n' > "$out/short.dat"
if batch "$out/short.dat" --csv "$out/bad.csv" 2> "$out/err"; then
    echo "a short task file was accepted"; exit 1
else
    status=$?
fi
[ "$status" -eq 2 ] || { echo "status $status, expected 2"; exit 1; }
[ ! -e "$out/bad.csv" ] || { echo "CSV written for a bad task file"; exit 1; }
grep -q "short.dat: the file ends after 8 tokens" "$out/err" || { cat "$out/err"; exit 1; }
echo "batch runner end to end: ok"
