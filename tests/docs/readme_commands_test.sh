#!/usr/bin/env bash
# Runs the shell commands of README.md, so that the page cannot drift from the code.
#
#   readme_commands_test.sh SOURCE_DIR BUILD_DIR
#
# Every fenced block opened with ```sh is a command block. A command block directly
# preceded by a line
#   <!-- docs-test: skip: REASON -->
# is not run here (it installs packages, rebuilds the tree or needs hardware); REASON must
# name what covers it instead. All other command blocks run in order in one bash shell
# (set -euo pipefail), as a reader following the page would type them, in a scratch
# directory that mirrors the source tree with `build` pointing at BUILD_DIR and HOME
# pointing at a scratch home.
set -euo pipefail

source_dir=$(cd "${1:?usage: readme_commands_test.sh SOURCE_DIR BUILD_DIR}" && pwd)
build_dir=$(cd "${2:?usage: readme_commands_test.sh SOURCE_DIR BUILD_DIR}" && pwd)
readme="$source_dir/README.md"

work_dir=$(mktemp -d "${TMPDIR:-/tmp}/hnvqr-readme.XXXXXX")
trap 'rm -rf "$work_dir"' EXIT
tree="$work_dir/tree"
mkdir -p "$tree" "$work_dir/home"
for entry in "$source_dir"/* "$source_dir"/.[!.]*; do
  [ -e "$entry" ] || continue
  name=$(basename "$entry")
  case "$name" in build | build-*) continue ;; esac
  ln -s "$entry" "$tree/$name"
done
ln -s "$build_dir" "$tree/build"

# Extract the blocks: the runnable ones into script.sh, a count of each kind on stdout.
awk -v script="$work_dir/script.sh" '
  BEGIN { in_block = 0; skip_next = 0; run = 0; skipped = 0; bad = 0 }
  in_block && /^```[[:space:]]*$/ { in_block = 0; if (!skipping) print "" >> script; next }
  in_block { if (!skipping) print >> script; next }
  /^```sh[[:space:]]*$/ {
    in_block = 1; skipping = skip_next; skip_next = 0
    if (skipping) skipped++; else { run++; printf "# --- README.md line %d\n", NR >> script }
    next
  }
  /^<!-- docs-test: skip: .+ -->[[:space:]]*$/ { skip_next = 1; next }
  /^<!-- docs-test:/ { printf "README.md line %d: malformed docs-test marker\n", NR > "/dev/stderr"; bad++; next }
  /^[[:space:]]*$/ { next }
  { skip_next = 0 }
  END {
    if (in_block) { print "README.md: a ```sh block is not closed" > "/dev/stderr"; bad++ }
    printf "%d %d %d\n", run, skipped, bad
  }' "$readme" >"$work_dir/counts"
read -r run_count skip_count bad_count <"$work_dir/counts"
echo "README.md: $run_count command blocks to run, $skip_count marked as covered elsewhere"
[ "$bad_count" -eq 0 ] || { echo "FAILED: README.md has malformed command blocks" >&2; exit 1; }
# The page's tour is the point of this test: it must not vanish in an edit.
[ "$run_count" -ge 8 ] || { echo "FAILED: expected at least 8 runnable command blocks" >&2; exit 1; }

{
  echo 'set -euo pipefail'
  # Whatever the blocks leave running (the emulator) ends with the shell.
  echo 'trap '\''for job in $(jobs -p); do kill "$job" 2>/dev/null || true; done'\'' EXIT'
  cat "$work_dir/script.sh"
} >"$work_dir/run.sh"

cd "$tree"
status=0
env -u IVI_CONFIG_STORE HOME="$work_dir/home" timeout 300 bash "$work_dir/run.sh" || status=$?
if [ "$status" -ne 0 ]; then
  echo "FAILED: the README commands exited with $status; the script was:" >&2
  cat -n "$work_dir/run.sh" >&2
  exit 1
fi
echo "PASSED: every runnable command of README.md"
