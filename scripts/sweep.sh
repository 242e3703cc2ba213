#!/usr/bin/env bash
# Looks for tests that hang on timing or on what this machine happens to have installed.
#
#   scripts/sweep.sh loaded   the whole CTest suite SWEEP_RUNS times (5) on a loaded machine:
#                             ctest -j SWEEP_CTEST_JOBS (twice the cores) beside SWEEP_HOGS
#                             busy loops of the script's own (as many as the cores). Each run has
#                             a temporary folder of its own, which must be empty afterwards.
#   scripts/sweep.sh fresh    a fresh Debian 12 root (debootstrap minbase, as root) in which only
#                             the README's scripts/test.sh runs on a clone of this repository's
#                             HEAD (SWEEP_FRESH_JOBS jobs, 4), then the checks of a fresh machine:
#                             the font families the program and the tests ask for are installed;
#                             the test run left nothing in the temporary folder; scripts/run.sh
#                             takes a screenshot and leaves none behind when it fails; .ci/run
#                             names the stage that failed; a user who may not write the build
#                             folder is told so in plain words. SWEEP_CI=1 runs the whole .ci/run
#                             there as well (long). The root and its build folders are removed
#                             afterwards, whatever happened.
#   scripts/sweep.sh          both.
#
# The logs stay in build/sweep/ (SWEEP_LOGS). Exit status: 0 only when every run and check passed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAMBOURELLE_BUILD_DIR:-$root/build}"
logs="${SWEEP_LOGS:-$build/sweep}"
cores="$(nproc)"
runs="${SWEEP_RUNS:-5}"
ctest_jobs="${SWEEP_CTEST_JOBS:-$((2 * cores))}"
hogs="${SWEEP_HOGS:-$cores}"
fresh_jobs="${SWEEP_FRESH_JOBS:-4}"
parts=("$@")
((${#parts[@]})) || parts=(loaded fresh)

mkdir -p "$logs"
summary="$logs/summary.txt"
: >"$summary"
failures=0
say() { echo "sweep: $*" | tee -a "$summary"; }
bad() { say "FAILED: $*"; failures=$((failures + 1)); }

# Whatever ends the script, its busy loops end and its fresh root goes.
hog_pids=()
ctest_group=""
tmp=""
fresh=""
cleanup() {
  local pid
  for pid in "${hog_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # ctest runs in a process group of its own, with the tests it started.
  [ -z "$ctest_group" ] || kill -- "-$ctest_group" 2>/dev/null || true
  [ -z "$tmp" ] || rm -rf "$tmp"
  if [ -n "$fresh" ] && [ -d "$fresh" ]; then
    # The mounts live in a namespace of their own and went with it; unmount whatever is still
    # there before anything is removed, so the removal cannot reach the machine's own /dev.
    local m
    for m in dev/pts dev/shm dev sys proc; do
      if mountpoint -q "$fresh/$m" 2>/dev/null; then umount -l "$fresh/$m" || true; fi
    done
    rm -rf --one-file-system "$fresh"
    echo "sweep: removed the fresh root $fresh"
  fi
}
trap cleanup EXIT
trap "exit 130" INT TERM

# The names of the tests a ctest log lists as failed.
failed_tests() {
  sed -n '/^The following tests FAILED:/,$ s/^[[:space:]]*[0-9]* - \(.*\) (.*)$/\1/p' "$1" | sort -u | tr '\n' ' '
}

loaded() {
  say "loaded runs: $runs x ctest -j $ctest_jobs beside $hogs busy loops, on $cores cores"
  TAMBOURELLE_JOBS="${TAMBOURELLE_JOBS:-$cores}" "$root/scripts/build.sh" >"$logs/loaded-build.log" 2>&1 ||
    { bad "the build failed (see $logs/loaded-build.log)"; return; }
  local i h status left
  for ((i = 1; i <= runs; i++)); do
    tmp="$(mktemp -d "${TMPDIR:-/tmp}/tambourelle-sweep-tmp-XXXXXX")"
    chmod 1777 "$tmp"   # as /tmp is: some tests drop to an unprivileged user
    hog_pids=()
    for ((h = 0; h < hogs; h++)); do
      bash -c 'while :; do :; done' &
      hog_pids+=($!)
    done
    status=0
    TMPDIR="$tmp" QT_QPA_PLATFORM=offscreen setsid bash -c 'cd "$1" && exec ctest -j "$2" --output-on-failure --timeout 600' \
      _ "$build" "$ctest_jobs" >"$logs/loaded-$i.log" 2>&1 &
    ctest_group=$!
    wait "$ctest_group" || status=$?
    ctest_group=""
    for h in "${hog_pids[@]}"; do kill "$h" 2>/dev/null || true; wait "$h" 2>/dev/null || true; done
    hog_pids=()
    if ((status)); then
      bad "loaded run $i: $(failed_tests "$logs/loaded-$i.log")(log: $logs/loaded-$i.log)"
    else
      say "loaded run $i: $(grep -m1 'tests passed' "$logs/loaded-$i.log")"
    fi
    left="$(cd "$tmp" && find . -mindepth 1 -maxdepth 1 -printf '%f ' | head -c 2000)"
    [ -z "$left" ] || bad "loaded run $i left in its temporary folder: $left"
    rm -rf "$tmp"
    tmp=""
  done
}

# Runs inside the fresh root, as root, from the clone's folder. Each check prints one line
# starting "check:"; the script's status is the number of failed checks.
inside() {
  cat <<'EOF'
set -uo pipefail
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
cd /src/tambourelle
out=/sweep
failed=0
ok() { echo "check: passed: $*"; }
no() { echo "check: FAILED: $*"; failed=$((failed + 1)); }
leftovers() { find /tmp -mindepth 1 -maxdepth 1 \( -name 'tambourelle-*' -o -name 'magick-*' \) -printf '%f '; }

echo "fresh: scripts/test.sh"
if scripts/test.sh >"$out/test.log" 2>&1; then
  ok "scripts/test.sh: $(grep -m1 'tests passed' "$out/test.log")"
else
  no "scripts/test.sh: $(sed -n '/^The following tests FAILED:/,$ s/^[[:space:]]*[0-9]* - \(.*\) (.*)$/\1/p' "$out/test.log" | tr '\n' ' ')"
fi
left="$(leftovers)"
[ -z "$left" ] && ok "the test run left nothing in /tmp" || no "the test run left in /tmp: $left"

# Every family the program maps the Windows font names to, and every family the tests name. A
# bare maker's word ("DejaVu", which a test compares names' beginnings with) is no family.
families="$(
  { sed -n '/kSubstitutions = {{/,/}};/p' platform/gfx/DrawTools.cpp | grep -oE '", "[^"]+"\}' |
      sed 's/^", "//; s/"}$//'
    grep -rhoE '"(DejaVu|Nimbus|IPA|Standard Symbols)[A-Za-z]*( [A-Z][A-Za-z]*)*"' tests | tr -d '"' |
      grep -vxE 'DejaVu|Nimbus|IPA'
  } | sort -u)"
while IFS= read -r f; do
  [ -n "$f" ] || continue
  fc-list ":family=$f" family | grep -q . && ok "font family $f is installed" || no "font family $f is missing"
done <<<"$families"

echo "fresh: scripts/run.sh"
if scripts/run.sh >"$out/run.log" 2>&1 && [ -f build/screenshot.png ]; then
  ok "scripts/run.sh took a screenshot"
else
  no "scripts/run.sh: $(tail -n 1 "$out/run.log")"
fi
# On the headless platform the program shows nothing on the virtual display: a picture of one
# colour, which must not be left behind.
rm -f build/screenshot.png
if QT_QPA_PLATFORM=offscreen scripts/run.sh >"$out/run-one-colour.log" 2>&1; then
  no "scripts/run.sh passed a picture of one colour"
elif [ -e build/screenshot.png ]; then
  no "scripts/run.sh left its picture of one colour behind"
else
  ok "scripts/run.sh failed on a picture of one colour and left none: $(tail -n 1 "$out/run-one-colour.log")"
fi
left="$(leftovers)"
[ -z "$left" ] && ok "scripts/run.sh left nothing in /tmp" || no "scripts/run.sh left in /tmp: $left"

# A stage that fails must be named: here the layer check, with a python3 that always fails.
mkdir -p /tmp/sweep-bin && printf '#!/bin/sh\nexit 1\n' >/tmp/sweep-bin/python3 && chmod +x /tmp/sweep-bin/python3
PATH="/tmp/sweep-bin:$PATH" bash .ci/run >"$out/ci-fails.log" 2>&1
last="$(tail -n 1 "$out/ci-fails.log")"
rm -rf /tmp/sweep-bin
[[ $last == ci:*failed*"layer check"* ]] && ok ".ci/run names the stage that failed: $last" ||
  no ".ci/run did not name the failed stage; its last line: $last"

# Another user, who may not write the build folder root made.
useradd -m sweeper
setpriv --reuid=sweeper --regid=sweeper --init-groups env HOME=/home/sweeper scripts/run.sh \
  >"$out/other-user.log" 2>&1
if grep -q 'belongs to root' "$out/other-user.log" && ! grep -q 'Error writing' "$out/other-user.log"; then
  ok "another user is told the build folder is not theirs: $(head -n 1 "$out/other-user.log")"
else
  no "another user got: $(tail -n 3 "$out/other-user.log" | tr '\n' ' ')"
fi

if [ "${SWEEP_CI:-}" = 1 ]; then
  echo "fresh: .ci/run"
  if CI=true bash .ci/run </dev/null >"$out/ci.log" 2>&1; then
    ok ".ci/run: $(tail -n 1 "$out/ci.log")"
  else
    no ".ci/run: $(tail -n 1 "$out/ci.log")"
  fi
fi
exit "$failed"
EOF
}

fresh_root() {
  if [ "$(id -u)" -ne 0 ]; then
    bad "the fresh root needs root (debootstrap, chroot)"
    return
  fi
  command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap >/dev/null
  git -C "$root" diff --quiet HEAD || say "note: uncommitted changes are not in the fresh root, which gets HEAD"
  fresh="$(mktemp -d "${SWEEP_FRESH_PARENT:-/var/tmp}/tambourelle-fresh-XXXXXX")"
  say "fresh root $fresh: debootstrap --variant=minbase bookworm"
  debootstrap --variant=minbase bookworm "$fresh" >"$logs/fresh-debootstrap.log" 2>&1 ||
    { bad "debootstrap failed (see $logs/fresh-debootstrap.log)"; return; }
  chmod 755 "$fresh"   # mktemp's 0700 would shut every other user out of the root's /
  cp /etc/resolv.conf "$fresh/etc/resolv.conf"
  # The machine's own Debian sources, security and point updates included, as a fresh install
  # has them: debootstrap alone gives the release as it first came out.
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    if [ -f "$f" ] && grep -q 'debian-archive-keyring\|^deb .*debian' "$f"; then
      cp "$f" "$fresh$f"
    fi
  done
  git clone -q --no-checkout "$root" "$fresh/src/tambourelle"
  git -C "$fresh/src/tambourelle" checkout -q --detach "$(git -C "$root" rev-parse HEAD)"
  mkdir -p "$fresh/sweep"
  inside >"$fresh/sweep/inside.sh"
  say "fresh root: scripts/test.sh with TAMBOURELLE_JOBS=$fresh_jobs, then the checks"
  local status=0
  # A mount namespace of its own: the mounts cannot leak to the machine and end with it.
  unshare --mount --propagation private bash -c '
    set -e
    r="$1"
    mount -t proc proc "$r/proc"
    mount -t sysfs sys "$r/sys"
    mount --bind /dev "$r/dev"
    mount -t tmpfs shm "$r/dev/shm"
    mount -t devpts -o newinstance,ptmxmode=0666 devpts "$r/dev/pts"
    status=0
    chroot "$r" /usr/bin/env -i TERM="${TERM:-dumb}" TAMBOURELLE_JOBS="$2" SWEEP_CI="$3" \
      /bin/bash /sweep/inside.sh || status=$?
    umount "$r/dev/pts" "$r/dev/shm" "$r/dev" "$r/sys" "$r/proc"
    exit "$status"' _ "$fresh" "$fresh_jobs" "${SWEEP_CI:-}" >"$logs/fresh.log" 2>&1 || status=$?
  cp "$fresh"/sweep/*.log "$logs/" 2>/dev/null || true
  local line
  while IFS= read -r line; do
    case "$line" in
      "check: passed: "*) say "fresh: ${line#check: passed: }" ;;
      "check: FAILED: "*) bad "fresh: ${line#check: FAILED: }" ;;
    esac
  done <"$logs/fresh.log"
  ((status == 0)) || grep -q '^check: FAILED' "$logs/fresh.log" ||
    bad "fresh root: the run ended with status $status (see $logs/fresh.log)"
  cleanup
  fresh=""
}

for part in "${parts[@]}"; do
  case "$part" in
    loaded) loaded ;;
    fresh) fresh_root ;;
    *) echo "sweep: unknown part '$part' (loaded, fresh)" >&2; exit 2 ;;
  esac
done
say "$failures failure(s); logs in $logs"
((failures == 0))
