#!/usr/bin/env bash
# Runs `vendral --report` and a scripted GUI session under strace on a copy of
# the sample drive, and fails if any file or directory on the drive, or in the
# user's home (settings, recently used files), was opened for writing,
# created, removed, renamed or had its times or modes changed.
set -euo pipefail
vendral=$1 session=$2 sample=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
drive="$work/drive-c"
cp -a "$sample" "$drive"
# A home of its own, so that anything written there is seen.
home="$work/home"
mkdir -p "$home"
export HOME="$home"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_STATE_HOME

# LeakSanitizer cannot run under ptrace; leaks are the other tests' concern.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

traced() {
    local log=$1; shift
    strace -f -qq -o "$log" -e trace=%file,%desc -- "$@"
}

QT_QPA_PLATFORM=offscreen traced "$work/report.log" "$vendral" --drive "C=$drive" --report > /dev/null
QT_QPA_PLATFORM=offscreen VENDRAL_SESSION_DRIVE="$drive" traced "$work/session.log" "$session" > "$work/session.out" \
    || { cat "$work/session.out"; exit 1; }

status=0
for log in "$work/report.log" "$work/session.log"; do
    grep -F -e "$drive" -e "$home" "$log" > "$work/drive.log" || true
    [ -s "$work/drive.log" ] || { echo "no-writes: $log shows no access to the drive at all" >&2; status=1; }
    if grep -E 'O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|(^|[^a-z_])(creat|mkdir|mkdirat|rmdir|unlink|unlinkat|rename|renameat2?|link|linkat|symlink|symlinkat|truncate|chmod|fchmodat|chown|fchownat|lchown|utimes|utimensat|futimesat|mknod|mknodat|setxattr|lsetxattr|removexattr)\(' \
        "$work/drive.log" > "$work/writes.log"; then
        echo "no-writes: writes on the drive in $(basename "$log"):" >&2
        cat "$work/writes.log" >&2
        status=1
    fi
done
[ $status -eq 0 ] && echo "no-writes: $(wc -l < "$work/report.log") + $(wc -l < "$work/session.log") traced calls, none writes on the drive"
exit $status
