# The start every bench script shares; sourced after `set -euo pipefail`.
# Sets root, build (the first argument, default build/) and cli, and stops
# when zell-cli is not built. need PACKAGE... installs the Debian packages
# that are missing; scratch makes a work folder, removed on exit, and enters it.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cli=$build/zell-cli
[ -x "$cli" ] || { echo "no $cli: build zell first" >&2; exit 1; }

need() {
    local missing=() p
    for p in "$@"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
    if [ ${#missing[@]} -gt 0 ]; then
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq >/dev/null && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
}

scratch() {
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cd "$work"
}
