# Sourced by scripts/test. The C++ sources whose formatting is checked, NUL-separated, as paths
# relative to the tree's root: in a git checkout, the files git tracks; in a tree that is no
# checkout (a release archive, a source package) or on a machine without git, the same files found
# by walking the tree, leaving out what the root .gitignore ignores and git's own folder.
#   list_sources ROOT

list_sources() {
    local root=$1
    if command -v git >/dev/null && git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1 &&
        [ "$(git -C "$root" rev-parse --show-toplevel)" = "$(cd "$root" && pwd -P)" ]; then
        git -C "$root" ls-files -z '*.cpp' '*.h'
    else
        list_sources_by_walk "$root"
    fi
}

# The walk: a .gitignore line "/NAME/" (a folder at the root) or "/NAME" prunes it; any other line
# is a name pattern ignored at every depth. Comments, blank lines and negations are not used in
# ours, and are passed over.
list_sources_by_walk() {
    local root=$1 line pattern
    local -a prune=(-path ./.git) names=()
    if [ -f "$root/.gitignore" ]; then
        while IFS= read -r line || [ -n "$line" ]; do
            case $line in '' | '#'* | '!'*) continue ;; esac
            pattern=${line%/}
            if [[ $pattern == /* ]]; then
                prune+=(-o -path ".$pattern")
            else
                names+=(! -name "$pattern")
            fi
        done <"$root/.gitignore"
    fi
    (cd "$root" && find . \( "${prune[@]}" \) -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) \
        "${names[@]}" -printf '%P\0') | LC_ALL=C sort -z
}
