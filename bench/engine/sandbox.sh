# Sourced by the engine benchmarks: finds pelmar-convert in the build folder
# ($build) and gives the run a temporary folder ($work, removed at the end)
# holding its own HOME, XDG folders and TMPDIR, so that nothing of the
# user's is touched.
convert="$(cd "$build" && pwd)/bin/pelmar-convert"
[[ -x $convert ]] || { echo "no $convert: build first" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config TMPDIR=$work/tmp
mkdir -p "$HOME" "$TMPDIR"
