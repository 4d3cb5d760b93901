# Sourced by scripts/soak and scripts/measure. Pseudo-terminals are numbered machine-wide, and a
# number is soon given again: a program elsewhere that opens /dev/pts/N by name after its own
# terminal went (a test, a device server) would write into one of our simulators'. So where it can
# (root), the caller gets pseudo-terminals of its own.
#   exec_with_private_pts NAME COMMAND...   execs COMMAND so, or as it is with a word on stderr

exec_with_private_pts() {
    local name=$1
    shift
    local setup='mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts /dev/pts &&
        mount --bind /dev/pts/ptmx /dev/ptmx && exec "$0" "$@"'
    if ((EUID == 0)) && unshare --mount --propagation private true 2>/dev/null; then
        exec unshare --mount --propagation private sh -c "$setup" "$@"
    fi
    echo "$name: not root: the simulators' pseudo-terminals are shared with the machine" >&2
    exec "$@"
}
