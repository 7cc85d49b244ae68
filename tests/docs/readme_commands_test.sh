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
# (set -euo pipefail), as a reader following the page would type them, at the top of a
# private copy of the checkout (real files; only `build` is a link, to BUILD_DIR), with HOME
# pointing at a scratch home. The page's tour moves into a scratch folder of its own first.
#
# Afterwards the checkout must be exactly as before (its git status, ignored files included,
# and the contents of every file), and so must the copy: whatever a block writes belongs in
# the tour's scratch folder, never in the tree, so nothing can reach the user's files.
set -euo pipefail

source_dir=$(cd "${1:?usage: readme_commands_test.sh SOURCE_DIR BUILD_DIR}" && pwd)
build_dir=$(cd "${2:?usage: readme_commands_test.sh SOURCE_DIR BUILD_DIR}" && pwd)
readme="$source_dir/README.md"

work_dir=$(mktemp -d "${TMPDIR:-/tmp}/hnvqr-readme.XXXXXX")
trap 'rm -rf "$work_dir"' EXIT
tree="$work_dir/tree"
mkdir -p "$tree" "$work_dir/home" "$work_dir/tmp"

# The files of the checkout, build folders and git's own data left out: those git knows
# and those it would add, or, outside git, everything.
list_files() {
  if git -C "$1" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git -C "$1" ls-files -z --cached --others --exclude-standard
  else
    (cd "$1" && find . \( -name .git -o -name 'build' -o -name 'build-*' \) -prune -o -type f -print0 | sed -z 's|^\./||')
  fi
}

# A fingerprint of a tree: every file's content (links as their target) and, in git, its
# status with ignored files, so that a leftover the .gitignore hides still shows.
fingerprint() {
  (
    cd "$1"
    while IFS= read -r -d '' file; do
      if [ -L "$file" ]; then printf 'link %s -> %s\n' "$file" "$(readlink "$file")"
      elif [ -e "$file" ]; then printf '%s  %s\n' "$(sha1sum <"$file" | cut -d' ' -f1)" "$file"
      fi
    done < <(list_files .)
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
      git status --porcelain --ignored --untracked-files=all -- . ':!build' ':!build-*' ':!build/**' 2>/dev/null | sort
    else
      find . \( -name .git -o -name build -o -name 'build-*' \) -prune -o -print | sort
    fi
  )
}

while IFS= read -r -d '' file; do
  mkdir -p "$tree/$(dirname "$file")"
  [ -e "$source_dir/$file" ] && cp -p "$source_dir/$file" "$tree/$file"
done < <(list_files "$source_dir")
ln -s "$build_dir" "$tree/build"
fingerprint "$source_dir" >"$work_dir/checkout.before"
fingerprint "$tree" >"$work_dir/copy.before"

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
env -u IVI_CONFIG_STORE HOME="$work_dir/home" TMPDIR="$work_dir/tmp" PYTHONDONTWRITEBYTECODE=1 \
  timeout 300 bash "$work_dir/run.sh" || status=$?
if [ "$status" -ne 0 ]; then
  echo "FAILED: the README commands exited with $status; the script was:" >&2
  cat -n "$work_dir/run.sh" >&2
  exit 1
fi
fingerprint "$source_dir" >"$work_dir/checkout.after"
fingerprint "$tree" >"$work_dir/copy.after"
if ! diff -u "$work_dir/checkout.before" "$work_dir/checkout.after" >&2; then
  echo "FAILED: running the README changed the checkout $source_dir" >&2
  exit 1
fi
if ! diff -u "$work_dir/copy.before" "$work_dir/copy.after" >&2; then
  echo "FAILED: the README commands left files in the tree instead of the tour's scratch folder" >&2
  exit 1
fi
echo "PASSED: every runnable command of README.md, and the checkout is unchanged"
