#!/usr/bin/env bash
# Reports where the build time of one or more build directories goes, from
# ninja's log (<build>/.ninja_log): per build, the wall time, the summed time
# of its steps (about the CPU time it needs), split into compiling, linking
# (a test program's link includes the listing of its cases that
# gtest_discover_tests runs after it) and code generation (moc, rcc), then the
# slowest compiles, the slowest links and the targets whose compiles cost the
# most.
#
#   scripts/build-profile.sh [-n TOP] [build-dir...]   (default: build build-asan build-tsan)
#
# Only the last run of each step counts, so after an incremental build the
# figures are those of the last time each file was built; for the figures of
# one clean build, profile a fresh build directory. The summed time is only
# a fair CPU figure when the build ran no more jobs than cores.
set -euo pipefail
cd "$(dirname "$0")/.."

top=10
if [ "${1:-}" = "-n" ]; then
  top="$2"
  shift 2
fi
dirs=("$@")
if [ ${#dirs[@]} -eq 0 ]; then
  dirs=(build build-asan build-tsan)
fi

profile() {
  local dir="$1"
  local log="$dir/.ninja_log"
  if [ ! -f "$log" ]; then
    echo "== $dir: no .ninja_log (not built with ninja yet)"
    return
  fi
  # Fields: start end mtime output hash. A step that makes several outputs
  # (a link and its listed cases, moc's outputs) is one line per output with
  # the same times: count it once. A step run again later replaces its
  # earlier entries.
  awk -v dir="$dir" -v top="$top" '
    function kind(out) {
      if (out ~ /\.(c|cc|cpp|cxx)\.o$/ || out ~ /\.gch$/) return "compile"
      if (out ~ /_autogen\/|\/timestamp$|qrc_|moc_|\.rcc/) return "generate"
      if (out ~ /(^|\/)(CMakeFiles\/cmake\.verify_globs|build\.ninja)$/) return "configure"
      return "link"
    }
    function target_of(out,   t) {
      if (match(out, /CMakeFiles\/[^\/]+\.dir\//)) {
        t = substr(out, RSTART + 11, RLENGTH - 16)
        return t
      }
      t = out; sub(/.*\//, "", t)
      return t
    }
    /^#/ { next }
    {
      out = $4
      # The case lists that gtest_discover_tests writes are outputs of the
      # link of their program.
      if (out ~ /_tests\.cmake$/) next
      s[out] = $1; e[out] = $2; h[out] = $5
    }
    END {
      n = 0
      for (out in s) {
        edge = s[out] " " e[out] " " h[out]
        if (edge in done) continue
        done[edge] = 1
        key = s[out] " " e[out] " " kind(out) " " target_of(out)
        step[key] = out
      }
      wall_start = -1; wall_end = 0
      for (key in step) {
        split(key, f, " ")
        d = (f[2] - f[1]) / 1000.0
        if (wall_start < 0 || f[1] < wall_start) wall_start = f[1]
        if (f[2] > wall_end) wall_end = f[2]
        sum[f[3]] += d; cnt[f[3]]++
        total += d
        if (f[3] == "compile") {
          comp[++nc] = sprintf("%9.1f  %s", d, step[key])
          tcomp[f[4]] += d; tcnt[f[4]]++
        } else if (f[3] == "link") {
          lnk[++nl] = sprintf("%9.1f  %s", d, step[key])
        }
      }
      printf "== %s\n", dir
      printf "   wall %.0f s, steps summed %.0f s (%.1f CPU-min)\n", (wall_end - wall_start) / 1000.0, total, total / 60
      split("compile link generate configure", kinds, " ")
      for (i = 1; i <= 4; i++) {
        k = kinds[i]
        if (cnt[k]) printf "   %-9s %5d steps %8.0f s\n", k, cnt[k], sum[k]
      }
      for (t in tcomp) tl[++nt] = sprintf("%9.1f  %4d  %s", tcomp[t], tcnt[t], t)
      print_top("slowest compiles (s, object)", comp, nc)
      print_top("slowest links (s, output; a test program'"'"'s includes listing its cases)", lnk, nl)
      print_top("compile time per target (s, objects, target)", tl, nt)
    }
    function print_top(title, arr, len,   i, j, tmp, shown) {
      # Sort descending by the leading number (insertion sort: a few hundred lines).
      for (i = 2; i <= len; i++) {
        tmp = arr[i]; j = i - 1
        while (j >= 1 && arr[j] + 0 < tmp + 0) { arr[j + 1] = arr[j]; j-- }
        arr[j + 1] = tmp
      }
      printf "   -- %s\n", title
      shown = (len < top) ? len : top
      for (i = 1; i <= shown; i++) print "   " arr[i]
    }
  ' "$log"
}

for dir in "${dirs[@]}"; do
  profile "$dir"
done
