#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The fault suite: runs the headless driver (bl_drive) under the faults a
# hostile tester would try and checks, byte for byte, that nothing was lost
# and that no failure was reported as success.
#
#   run.sh BL_DRIVE            every scenario
#   run.sh BL_DRIVE NAME...    the named scenarios only
#
# Scenarios that need mounts, loop devices, strace or another user skip with
# a message where the machine cannot do them. Exit 0 when every scenario that
# ran passed.
set -u
drive=$(readlink -f "$1"); shift
self=$(readlink -f "$0")

# --- Helpers -------------------------------------------------------------------------

# Inner calls (inside a private mount namespace) share the outer work folder.
if [ "${1:-}" = --inner ]; then
  inner=1; shift
else
  inner=0
  work=$(mktemp -d "${TMPDIR:-/tmp}/byteloom-fault-XXXXXX")
  export FAULT_WORK=$work
  trap 'chattr -R -i "$work" 2>/dev/null; rm -rf "$work"' EXIT
fi
work=$FAULT_WORK
tally=$work/tally

note() { echo "$1 ${2:-1}" >>"$tally"; }
pass() { echo "PASS $scenario${1:+: $1}"; note passed; }
fail() { echo "FAIL $scenario: $1"; note failed; }
skip() { echo "SKIP $scenario: $1"; note skipped; }
lost() { echo "  LOST $1"; note lost "${2:-1}"; }
# A false result also shows what the driver said and the folder of the target,
# so that one seen only on another machine can be understood.
falsely() {
  echo "  FALSE RESULT $1"
  note false
  sed 's/^/    out: /' "$dir/out" 2>/dev/null | tail -8
  sed 's/^/    err: /' "$dir/err" 2>/dev/null | tail -4
  [ -d "$dir/disk" ] && { ls -la "$dir/disk" | sed 's/^/    ls: /'; df -k "$dir/disk" | sed 's/^/    df: /'; }
  id | sed 's/^/    id: /'
}

# A fresh folder for a scenario: $dir with tmp/ as the temporary folder.
begin() {
  scenario=$1
  dir=$work/$1
  mkdir -p "$dir/tmp"
  export TMPDIR=$dir/tmp XDG_CONFIG_HOME=$dir/config
  note scenarios
}

# Random bytes after a zero start: the scripts' edits in the first 128 bytes
# all write nonzero bytes, so each one changes the document. (A byte typed
# over with its own value is no change, and saving an unchanged document
# makes no backup: a random first byte equal to the edit's made about one
# run in twenty fail.)
random_file() {
  local n=$(($2))
  { head -c $((n < 128 ? n : 128)) /dev/zero; [ "$n" -gt 128 ] && head -c $((n - 128)) /dev/urandom; } >"$1"
  return 0
}
same() { cmp -s "$1" "$2"; }
# Runs the driver on the script in $dir/script (stdin) with an optional
# command in front (strace, setpriv ...); its output goes to $dir/out.
drive() { (cd "$dir" && timeout 60 "$@" "$drive" <"$dir/script" >"$dir/out" 2>"$dir/err"); }
said() { grep -q -- "$1" "$dir/out"; }
# The result line of the last operation named $1.
result() { grep "^$1: " "$dir/out" | tail -1; }

# Checks the outcome of a save of $new over $target whose old bytes are $old:
# a reported success must have published the new bytes (and a backup of the
# old ones when $bak is given); a reported failure must have left the old
# bytes in place. Either way the old bytes exist somewhere complete.
check_save() {
  local target=$1 old=$2 new=$3 bak=${4:-} line
  line=$(result save)
  case "$line" in
    "save: ok"*)
      same "$target" "$new" || { falsely "save reported ok, $target does not hold the new bytes"; return 1; }
      if [ -n "$bak" ] && ! same "$bak" "$old"; then lost "save reported ok, the backup does not hold the old bytes" "$(stat -c %s "$old")"; return 1; fi ;;
    "save: error"*)
      same "$target" "$old" || { falsely "save reported an error, $target changed"; same "$target" "$new" || lost "$target torn" "$(stat -c %s "$old")"; return 1; } ;;
    *) fail "no save result (${line:-nothing}): $(tail -2 "$dir/err")"; return 1 ;;
  esac
  return 0
}

in_namespace() { unshare -m --propagation private bash "$self" "$drive" --inner "$@"; }
can_namespace() { unshare -m --propagation private true 2>/dev/null; }
can_strace() { strace -qq -o /dev/null true 2>/dev/null; }
nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)

# --- Scenarios --------------------------------------------------------------------------

# Target folder full: a 1 MiB disk. A 300 KiB file fits once more (the backup
# is the old file itself, free); a 600 KiB file does not.
scenario_target_full() {
  if [ "$inner" = 0 ]; then
    begin target_full
    can_namespace || { skip "no private mount namespace"; return; }
    in_namespace scenario_target_full; return
  fi
  mkdir -p "$dir/disk"
  mount -t tmpfs -o size=1m tmpfs "$dir/disk" || { skip "cannot mount"; return; }
  local ok=1 size
  for size in 300000 600000; do
    random_file "$dir/old" $size
    cp "$dir/old" "$dir/disk/f.sav"; rm -f "$dir/disk/f.bak"
    printf 'open %s\nchange 0 5A\nsave\n' "$dir/disk/f.sav" >"$dir/script"
    drive
    cp "$dir/old" "$dir/new"; printf '\x5A' | dd of="$dir/new" conv=notrunc status=none
    check_save "$dir/disk/f.sav" "$dir/old" "$dir/new" "$dir/disk/f.bak" || ok=0
    if [ $size = 300000 ] && ! said "save: ok"; then ok=0; fail "300 KiB did not fit: $(result save)"; fi
    if [ $size = 600000 ] && ! said "save: error.*No space"; then ok=0; fail "600 KiB: $(result save)"; fi
  done
  [ $ok = 1 ] && pass "backup fits / does not fit"
  umount "$dir/disk"
}

# Temporary folder full at open and at a large insert (with and without
# fallocate): clear errors, the document and undo list as before.
scenario_temp_full() {
  if [ "$inner" = 0 ]; then
    begin temp_full
    can_namespace || { skip "no private mount namespace"; return; }
    in_namespace scenario_temp_full; return
  fi
  mount -t tmpfs -o size=1m tmpfs "$dir/tmp" || { skip "cannot mount"; return; }
  random_file "$dir/big" 2000000
  random_file "$dir/f.sav" 300000
  cp "$dir/f.sav" "$dir/old"
  local ok=1 inject
  printf 'open %s\ninfo\n' "$dir/big" >"$dir/script"
  drive
  said "open: error.*No space" || { ok=0; fail "open of 2 MB: $(result open)"; }
  for inject in "" "strace -qq -o /dev/null -e inject=fallocate:error=EOPNOTSUPP"; do
    { printf 'open %s\nchange 7 11\ninsertfill 100 900000 AB\ninfo\nundo\ninfo\nundo\nsave\n' "$dir/f.sav"; } >"$dir/script"
    [ -n "$inject" ] && ! can_strace && continue
    drive $inject
    said "insertfill: error.*space" || { ok=0; fail "insert ${inject:+without fallocate }not refused: $(result insertfill)"; }
    grep -q "^info: ok size=300000 modified=1 undo=1" "$dir/out" || { ok=0; fail "state after the refused insert: $(grep ^info "$dir/out" | head -1)"; }
    check_save "$dir/f.sav" "$dir/old" "$dir/old" || ok=0
    same "$dir/f.sav" "$dir/old" || { ok=0; lost "document changed by a refused insert and its undo"; }
  done
  # Without fallocate an insert that fits is made exactly.
  if can_strace; then
    printf 'open %s\ninsertfill 100 100000 AB\nsaveas %s\n' "$dir/f.sav" "$dir/out.bin" >"$dir/script"
    drive strace -qq -o /dev/null -e inject=fallocate:error=EOPNOTSUPP
    { head -c 100 "$dir/old"; head -c 100000 /dev/zero | tr '\0' '\253'; tail -c +101 "$dir/old"; } >"$dir/expected"
    same "$dir/out.bin" "$dir/expected" || { ok=0; fail "insert without fallocate: $(tr '\n' '|' <"$dir/out")"; }
  fi
  [ $ok = 1 ] && pass "open and insert refused, document kept"
  umount "$dir/tmp"
}

# Read-only folder and read-only file, as an ordinary user: a refused save
# changes nothing; a saved one keeps the old bytes in the backup.
scenario_read_only() {
  begin read_only
  [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null || { skip "needs root and setpriv"; return; }
  chmod 755 "$work" "$dir"
  local ok=1 case
  for case in folder file; do
    mkdir -p "$dir/$case"
    random_file "$dir/$case/f.sav" 5000; cp "$dir/$case/f.sav" "$dir/old"
    cp "$dir/old" "$dir/new"; printf '\x01' | dd of="$dir/new" conv=notrunc status=none
    chmod 777 "$dir/tmp"
    if [ $case = folder ]; then chmod 666 "$dir/$case/f.sav"; chmod 555 "$dir/$case"; else chmod 444 "$dir/$case/f.sav"; chmod 777 "$dir/$case"; fi
    printf 'open %s\nchange 0 01\nsave\n' "$dir/$case/f.sav" >"$dir/script"
    chmod 644 "$dir/script"; touch "$dir/out" "$dir/err"; chmod 666 "$dir/out" "$dir/err"
    drive "${nobody[@]}"
    check_save "$dir/$case/f.sav" "$dir/old" "$dir/new" "$dir/$case/f.bak" || ok=0
    [ $case = folder ] && ! said "save: error.*backup" && { ok=0; fail "read-only folder: $(result save)"; }
    chmod 755 "$dir/$case"
  done
  [ $ok = 1 ] && pass
}

# An immutable target on an ext4 image (chattr needs a real file system).
scenario_immutable() {
  if [ "$inner" = 0 ]; then
    begin immutable
    can_namespace && command -v mkfs.ext4 >/dev/null || { skip "no namespace or mkfs.ext4"; return; }
    in_namespace scenario_immutable; return
  fi
  mkdir -p "$dir/disk"
  mkfs.ext4 -q -F "$dir/ext4.img" 8M >/dev/null 2>&1 && mount -o loop "$dir/ext4.img" "$dir/disk" 2>/dev/null ||
    { skip "cannot mount an ext4 image here (no loop device)"; return; }
  random_file "$dir/disk/f.sav" 100000; cp "$dir/disk/f.sav" "$dir/old"
  chattr +i "$dir/disk/f.sav" || { skip "no chattr"; umount "$dir/disk"; return; }
  printf 'open %s\nchange 0 01\nsave\ninfo\n' "$dir/disk/f.sav" >"$dir/script"
  drive
  local ok=1
  check_save "$dir/disk/f.sav" "$dir/old" /dev/null || ok=0
  said "save: error" || { ok=0; fail "immutable file saved: $(result save)"; }
  said "info: ok size=100000 modified=1" || { ok=0; fail "state after the refusal"; }
  chattr -i "$dir/disk/f.sav"
  [ $ok = 1 ] && pass
  umount "$dir/disk"
}

# Symbolic links planted at the working-file names, at the hidden names of a
# save and at the backup name: nothing is written through them.
scenario_planted_links() {
  begin planted_links
  local ok=1 t i
  random_file "$dir/victim" 1000; cp "$dir/victim" "$dir/victim.orig"
  random_file "$dir/f.sav" 3000; cp "$dir/f.sav" "$dir/old"
  cp "$dir/old" "$dir/new"; printf '\x77' | dd of="$dir/new" conv=notrunc status=none
  t=$(( $(cut -d' ' -f1 /proc/uptime | tr -d .) * 10 ))
  # Every name of the next seconds (tick counts in milliseconds), each a link
  # to an empty file of its own name in planted/ (which must stay empty).
  mkdir -p "$dir/planted/tmp" "$dir/planted/here"
  local names; names=$(seq "$t" $((t + 1500)) | awk '{printf "%08X\n", $1 % 4294967296}')
  (cd "$dir/planted/tmp" && sed 's/$/.BLWT/' <<<"$names" | xargs touch)
  (cd "$dir/planted/here" && sed 's/^\(.*\)$/.f.sav.\1.tmp\n.f.bak.\1.tmp/' <<<"$names" | xargs touch)
  ln -s "$dir/planted/tmp"/* "$dir/tmp/"; ln -s "$dir/planted/here"/.f.* "$dir/"
  ln -s "$dir/victim" "$dir/f.bak"
  printf 'open %s\nchange 0 77\nsave\nanswer yes\nsave\n' "$dir/f.sav" >"$dir/script"
  drive
  said "question f.bak exists and is not a backup of f.sav" || { ok=0; fail "no question before replacing the link: $(cat "$dir/out")"; }
  same "$dir/victim" "$dir/victim.orig" || { ok=0; lost "written through a planted link"; }
  [ -z "$(find "$dir/planted" -type f -size +0)" ] || { ok=0; lost "written through a planted temporary name"; }
  check_save "$dir/f.sav" "$dir/old" "$dir/new" "$dir/f.bak" || ok=0
  [ $ok = 1 ] && pass
}

# The in-place fallback (a folder where no new file may be made): a link at
# the backup name is refused (fault 4); a backup that does not fit is left
# whole (fault 5).
scenario_in_place_backup() {
  if [ "$inner" = 0 ]; then
    begin in_place_backup
    [ "$(id -u)" = 0 ] && can_namespace || { skip "needs root and a private mount namespace"; return; }
    in_namespace scenario_in_place_backup; return
  fi
  mkdir -p "$dir/disk"; chmod 755 "$work" "$dir"; chmod 777 "$dir/tmp"
  mount -t tmpfs -o size=400k tmpfs "$dir/disk" || { skip "cannot mount"; return; }
  local ok=1
  random_file "$dir/victim" 1000; cp "$dir/victim" "$dir/victim.orig"
  random_file "$dir/disk/f.sav" 20000; cp "$dir/disk/f.sav" "$dir/old"
  ln -s "$dir/victim" "$dir/disk/f.bak"
  chmod 666 "$dir/disk/f.sav" "$dir/victim"; chmod 555 "$dir/disk"
  printf 'answer yes\nopen %s\nchange 0 01\nsave\n' "$dir/disk/f.sav" >"$dir/script"
  chmod 644 "$dir/script"; touch "$dir/out" "$dir/err"; chmod 666 "$dir/out" "$dir/err"
  drive "${nobody[@]}"
  same "$dir/victim" "$dir/victim.orig" || { ok=0; lost "written through the link at the backup name"; }
  said "save: error.*symbolic link" || { ok=0; fail "link at the backup name: $(result save)"; }
  check_save "$dir/disk/f.sav" "$dir/old" /dev/null || ok=0
  # A small earlier backup and a file that does not fit twice on the disk.
  chmod 755 "$dir/disk"; rm -f "$dir/disk/f.bak"
  random_file "$dir/disk/f.sav" 250000; cp "$dir/disk/f.sav" "$dir/old"
  random_file "$dir/disk/f.bak" 10000; cp "$dir/disk/f.bak" "$dir/bak.orig"
  chmod 666 "$dir/disk/f.sav" "$dir/disk/f.bak"; chmod 555 "$dir/disk"
  local inject
  for inject in "" "strace -qq -o /dev/null -e inject=fallocate:error=EOPNOTSUPP"; do
    [ -n "$inject" ] && ! can_strace && continue
    drive $inject "${nobody[@]}"
    same "$dir/disk/f.bak" "$dir/bak.orig" || { ok=0; lost "the earlier backup was torn${inject:+ (no fallocate)}" 10000; }
    said "save: error.*space" || { ok=0; fail "full disk${inject:+ without fallocate}: $(result save)"; }
    check_save "$dir/disk/f.sav" "$dir/old" /dev/null || ok=0
  done
  chmod 755 "$dir/disk"
  [ $ok = 1 ] && pass "link refused, earlier backup whole"
  umount "$dir/disk"
}

# Two files sharing one backup name and a user's own file there (fault 6).
scenario_shared_backup_name() {
  begin shared_backup_name
  local ok=1
  random_file "$dir/game.sav" 2000; random_file "$dir/game.dat" 2000
  echo "my notes" >"$dir/game.bak"; cp "$dir/game.bak" "$dir/notes"; cp "$dir/game.sav" "$dir/sav.old"
  printf 'open %s\nchange 0 01\nsave\nanswer yes\nsave\nchange 1 02\nsave\n' "$dir/game.sav" >"$dir/script"
  drive
  grep -c "^question game.bak exists and is not a backup of game.sav. Replace it?" "$dir/out" | grep -qx 2 ||
    { ok=0; fail "questions for game.sav: $(grep -c ^question "$dir/out")"; }
  [ "$(grep -c '^save: ok' "$dir/out")" = 2 ] || { ok=0; fail "saves of game.sav: $(grep ^save "$dir/out")"; }
  cp "$dir/game.bak" "$dir/bak.sav"
  printf 'answer no\nopen %s\nchange 0 01\nsave\n' "$dir/game.dat" >"$dir/script"
  cp "$dir/game.dat" "$dir/dat.old"
  drive
  said "question game.bak exists and is not a backup of game.dat" || { ok=0; fail "no question for game.dat"; }
  same "$dir/game.bak" "$dir/bak.sav" || { ok=0; lost "the backup of game.sav was replaced without a word"; }
  check_save "$dir/game.dat" "$dir/dat.old" /dev/null || ok=0
  [ $ok = 1 ] && pass
}

# The file deleted, replaced or truncated under an open document.
scenario_file_changed_underneath() {
  begin file_changed_underneath
  local ok=1 how
  for how in deleted replaced truncated; do
    random_file "$dir/f.sav" 4000; cp "$dir/f.sav" "$dir/doc"
    mkfifo "$dir/ctl"
    (cd "$dir" && "$drive" <"$dir/ctl" >"$dir/out" 2>"$dir/err") &
    local pid=$!
    exec 9>"$dir/ctl"
    printf 'open %s\n' "$dir/f.sav" >&9
    for _ in $(seq 50); do said "open:" && break; sleep 0.1; done
    case $how in
      deleted) rm "$dir/f.sav" ;;
      replaced) random_file "$dir/other" 3000; cp "$dir/other" "$dir/replacement"; mv "$dir/other" "$dir/f.sav" ;;
      truncated) : >"$dir/f.sav" ;;
    esac
    printf 'dump\nchange 0 01\nsave\n' >&9
    exec 9>&-
    wait $pid
    rm -f "$dir/ctl"
    local expected; expected="ok$(od -An -v -tx1 "$dir/doc" | tr a-f A-F | tr -s ' \n' ' ' | sed 's/ $//')"
    [ "$(result dump)" = "dump: $expected" ] || { ok=0; lost "the document changed when its file was $how" 4000; }
    said "save: ok" || { ok=0; fail "save after the file was $how: $(result save)"; }
    [ $how = replaced ] && ! same "$dir/f.bak" "$dir/replacement" && { ok=0; lost "the replacement is not in the backup" 3000; }
    rm -f "$dir/f.bak"
  done
  [ $ok = 1 ] && pass "deleted, replaced, truncated"
}

# Things that are not regular files given as files to open, and a sparse
# file of 1 TiB, which opens.
scenario_odd_inputs() {
  begin odd_inputs
  local ok=1
  mkfifo "$dir/fifo"; mkdir "$dir/folder"; ln -s loop2 "$dir/loop1"; ln -s loop1 "$dir/loop2"
  truncate -s 1T "$dir/sparse"
  printf 'open %s\n' "$dir/fifo" /dev/zero "$dir/folder" "$dir/loop1" "$dir/sparse" >"$dir/script"
  drive
  local expect
  for expect in "not a regular file" "not a regular file" "is a folder" "Too many levels of symbolic links"; do
    grep -q "^open: error.*$expect" "$dir/out" || { ok=0; fail "no \"$expect\" in: $(tr '\n' '|' <"$dir/out")"; }
  done
  [ "$(grep -c '^open: error' "$dir/out")" = 4 ] && [ "$(grep -c '^open: ok' "$dir/out")" = 1 ] ||
    { ok=0; fail "$(cat "$dir/out")"; }
  [ $ok = 1 ] && pass "FIFO, device, folder, link loop refused; 1 TiB opened"
}

# kill -9 after an edit: the next start offers the edit back, byte for byte.
scenario_crash_recovery() {
  begin crash_recovery
  local ok=1
  random_file "$dir/f.sav" 5000; cp "$dir/f.sav" "$dir/old"
  printf 'open %s\nchange 10 AA\ninsert 0 01 02 03\nhold\n' "$dir/f.sav" >"$dir/script"
  (cd "$dir" && exec "$drive" <"$dir/script" >"$dir/out" 2>&1) &
  local pid=$!
  for _ in $(seq 100); do said holding && break; sleep 0.05; done
  kill -9 $pid; wait $pid 2>/dev/null
  printf 'recover\ndump\n' >"$dir/script"
  drive
  { printf '\x01\x02\x03'; head -c 10 "$dir/old"; printf '\xAA'; tail -c +12 "$dir/old"; } >"$dir/expected"
  local expected; expected="ok$(od -An -v -tx1 "$dir/expected" | tr a-f A-F | tr -s ' \n' ' ' | sed 's/ $//')"
  said "question Recover unsaved changes of $dir/f.sav?" || { ok=0; fail "no recovery offered: $(cat "$dir/out")"; }
  said "recover: ok size=5003 modified=1" || { ok=0; fail "$(result recover)"; }
  [ "$(result dump)" = "dump: $expected" ] || { ok=0; lost "the recovered document differs" 5003; }
  same "$dir/f.sav" "$dir/old" || { ok=0; fail "the file was changed without a save"; }
  printf 'recover\n' >"$dir/script"; drive
  said "recover: ok nothing" || { ok=0; fail "offered twice"; }
  [ $ok = 1 ] && pass
}

# A save of a small file, over an earlier backup of its own, under strace:
# kill -9 before each of its system calls, and each call failing once
# (EIO; ENOSPC for writes). Old or new bytes always exist complete under the
# file's or the backup's name; no failure is reported as success; after a
# kill the next start offers the edit back.
scenario_save_sweep() {
  begin save_sweep
  can_strace || { skip "strace cannot trace here"; return; }
  random_file "$dir/a0" 65536; random_file "$dir/f.sav" 0
  cp "$dir/a0" "$dir/a"; printf '\x11' | dd of="$dir/a" conv=notrunc status=none
  cp "$dir/a" "$dir/b"; printf '\x22' | dd of="$dir/b" bs=1 seek=100 conv=notrunc status=none
  local target=$dir/f.sav script="open $dir/f.sav
change 0 11
save
change 100 22
save"
  reset() { cp "$dir/a0" "$target"; rm -rf "$dir/f.bak" "$dir"/.f.* "$dir/tmp"/*; printf '%s\n' "$script" >"$dir/script"; }
  reset
  drive strace -qq -o "$dir/trace"
  said "save: ok" || { fail "the plain save failed: $(cat "$dir/out")"; return; }
  # The system calls of each save, each as (save, name, its number among
  # the calls of that name): the first save makes a backup, the second
  # replaces the backup of the first.
  local calls; calls=$(awk '/^write\(1, "change: ok/ {n++; insave = 1; next} /^write\(1, "save: / {insave = 0}
    { split($0, a, "("); name = a[1]; count[name]++; if (insave) print n, name, count[name] }' "$dir/trace")
  local ok=1 phase name when points=0 survived=0 errors=0 kind old new
  while read -r phase name when; do
    [ -z "$name" ] && continue
    if [ "$phase" = 1 ]; then old=$dir/a0 new=$dir/a; else old=$dir/a new=$dir/b; fi
    for kind in kill error; do
      reset
      [ "$phase" = 1 ] && head -3 <<<"$script" >"$dir/script"
      if [ $kind = kill ]; then
        drive strace -qq -o /dev/null -e inject="$name:signal=KILL:when=$when" 2>/dev/null
        [ "$(grep -c '^change: ok' "$dir/out")" = "$phase" ] && [ "$(grep -c '^save:' "$dir/out")" = $((phase - 1)) ] ||
          { fail "the kill at $name#$when missed save $phase"; ok=0; continue; }
        points=$((points + 1))
      else
        # brk never fails in the kernel's terms (it returns the old break), so
        # an error injected there only confuses the C library's allocator.
        [ "$name" = brk ] && continue
        local err=EIO; case $name in write|pwrite64|copy_file_range|fallocate|ftruncate) err=ENOSPC ;; esac
        drive strace -qq -o /dev/null -e inject="$name:error=$err:when=$when"
        errors=$((errors + 1))
      fi
      local good=1
      if same "$target" "$new"; then
        same "$dir/f.bak" "$old" || { lost "$kind at $name#$when: new file published without the old one as backup" 65536; good=0; }
      elif ! same "$target" "$old"; then
        lost "$kind at $name#$when: neither the old nor the new bytes under the file's name" 65536; good=0
      fi
      if [ $kind = error ]; then
        case "$(grep '^save: ' "$dir/out" | sed -n "${phase}p")" in
          "save: ok"*) same "$target" "$new" || { falsely "error at $name#$when: save reported ok"; good=0; } ;;
          "save: error"*) same "$target" "$old" || { falsely "error at $name#$when: save reported failure after publishing"; good=0; } ;;
        esac
      else
        # The next start offers the edit back, unless the save had completed.
        printf 'recover\ndump\n' >"$dir/script"; drive
        if said "recover: ok nothing"; then
          same "$target" "$new" || { lost "kill at $name#$when: no recovery offered and the file is old" 1; good=0; }
        else
          local want; want="dump: ok$(od -An -v -tx1 "$new" | tr a-f A-F | tr -s ' \n' ' ' | sed 's/ $//')"
          [ "$(result dump)" = "$want" ] || { lost "kill at $name#$when: the recovered edit differs" 1; good=0; }
        fi
      fi
      [ $good = 1 ] && [ $kind = kill ] && survived=$((survived + 1))
      [ $good = 1 ] || ok=0
    done
  done <<<"$calls"
  note kill_points $points; note kill_survived $survived; note error_points $errors
  [ $points -gt 20 ] || { ok=0; fail "only $points kill points"; }
  [ $ok = 1 ] && pass "$points kill points, $survived survived; $errors injected errors"
}

# A failed stat of the target (fault 1) and a failed close after the rename
# (fault 2), as regression cases on their own.
scenario_stat_and_close_faults() {
  begin stat_and_close_faults
  can_strace || { skip "strace cannot trace here"; return; }
  local ok=1
  random_file "$dir/f.sav" 3000; cp "$dir/f.sav" "$dir/old"
  cp "$dir/old" "$dir/new"; printf '\x01' | dd of="$dir/new" conv=notrunc status=none
  printf 'open %s\nchange 0 01\nsave\ninfo\n' "$dir/f.sav" >"$dir/script"
  drive strace -qq -o "$dir/trace" -e trace=newfstatat,write
  cp "$dir/old" "$dir/f.sav"; rm -f "$dir/f.bak"
  # The first stat of the file inside the save fails with EIO.
  local when; when=$(awk -v f="\"$dir/f.sav\"" '/^write\(1, "change: ok/ {after = 1} /^newfstatat/ {n++; if (after && index($0, f)) {print n; exit}}' "$dir/trace")
  drive strace -qq -o /dev/null -e inject=newfstatat:error=EIO:when=$when
  said "save: error.*Input/output error" || { ok=0; fail "failed stat: $(result save)"; }
  check_save "$dir/f.sav" "$dir/old" "$dir/new" || ok=0
  [ -e "$dir/f.bak" ] && { ok=0; fail "a backup was written by a save that failed"; }
  # Every close of the save fails once: after the rename that is a warning.
  local n closes; closes=$(strace -qq -o /dev/stdout -e trace=close "$drive" <"$dir/script" 2>/dev/null | grep -c '^close')
  for n in $(seq 1 "$closes"); do
    cp "$dir/old" "$dir/f.sav"; rm -f "$dir/f.bak"
    printf 'open %s\nchange 0 01\nsave\nsave\n' "$dir/f.sav" >"$dir/script"
    drive strace -qq -o /dev/null -e inject=close:error=EIO:when=$n
    if grep -q '^save: ok' "$dir/out"; then
      same "$dir/f.sav" "$dir/new" && same "$dir/f.bak" "$dir/old" || { ok=0; falsely "close #$n: ok without the new file and its backup"; }
    else
      same "$dir/f.sav" "$dir/old" || { ok=0; falsely "close #$n: failure reported after publishing"; }
    fi
  done
  [ $ok = 1 ] && pass "stat EIO refused, $closes failing closes"
}

# Exports and the bookmark store are renamed over the file they replace:
# each close and fsync of an export (or an atomic write) fails once. Before
# the rename a failure must leave the old file; after it the new file stands
# and the result is a success with a warning, never a failure.
scenario_export_close_faults() {
  begin export_close_faults
  can_strace || { skip "strace cannot trace here"; return; }
  random_file "$dir/f.sav" 3000; printf 'old\n' >"$dir/old"
  local ok=1 op name call calls n line target=$dir/out.txt warned=0 points=0
  for op in "export xxd 0 2999" "export dump 16 2999" "export carray 5 2999" "write"; do
    name=${op%% *}
    if [ "$op" = write ]; then
      printf 'write %s kept\n' "$target" >"$dir/script"
    else
      printf 'open %s\n%s %s\n' "$dir/f.sav" "$op" "$target" >"$dir/script"
    fi
    cp "$dir/old" "$target"; drive
    [ "$(result "$name")" = "$name: ok" ] || { ok=0; fail "$op without faults: $(result "$name")"; continue; }
    cp "$target" "$dir/new"
    for call in close fsync; do
      cp "$dir/old" "$target"
      calls=$(cd "$dir" && strace -qq -o /dev/stdout -e trace=$call "$drive" <"$dir/script" 2>/dev/null | grep -c "^$call(")
      for n in $(seq 1 "$calls"); do
        cp "$dir/old" "$target"; rm -f "$dir"/.out.txt*
        drive strace -qq -o /dev/null -e inject=$call:error=EIO:when=$n
        line=$(result "$name"); points=$((points + 1))
        case "$line" in
          "$name: ok warning"*)
            warned=$((warned + 1))
            same "$target" "$dir/new" || { ok=0; falsely "$op, $call #$n: a warning without the new file"; }
            [ "$name" = write ] || [[ "$line" == *"was written, but it may not be safe on disk yet: "* ]] ||
              { ok=0; fail "$op, $call #$n: the warning reads: $line"; } ;;
          "$name: ok") same "$target" "$dir/new" || { ok=0; falsely "$op, $call #$n: ok without the new file"; } ;;
          # An error, or a driver that did not get this far (a failed close
          # while it was loaded or opened the file): the old file stands.
          *) same "$target" "$dir/old" || { ok=0; falsely "$op, $call #$n: ${line:-no result}, but the file changed"; } ;;
        esac
      done
    done
  done
  [ $warned -ge 4 ] || { ok=0; fail "only $warned faults after a rename came back as warnings"; }
  [ $ok = 1 ] && pass "$points failing closes and syncs, $warned after the rename reported as warnings"
}

# Every system call of a row of edits, their undos and redos fails once (EIO, or
# ENOSPC where space runs out): an edit, undo or redo that reports an error must
# leave the document as it was (Replace all, a row of replacements, keeps
# those made before the failure), and while all went well each result must
# be the one of the run without faults.
scenario_edit_sweep() {
  begin edit_sweep
  can_strace || { skip "strace cannot trace here"; return; }
  random_file "$dir/f.sav" 65536
  local op script="open $dir/f.sav
dump"
  for op in "delete 100 3000" "replace 50 10 AA BB CC" "nibble 7" "insert 9 01 02" "change 20 AB" "append 01 02 03" \
    "replaceall 1 00 AA BB" "replaceall 1 FF EE" undo undo undo undo undo undo redo redo redo redo redo redo undo; do
    script+=$'\n'"$op"$'\ndump'
  done
  printf '%s\n' "$script" >"$dir/script"
  drive strace -qq -o "$dir/trace"
  cp "$dir/out" "$dir/ref"
  [ "$(grep -c ': ok' "$dir/ref")" = 44 ] || { fail "the plain run failed: $(grep -v '^dump' "$dir/ref")"; return; }
  # The calls after the open, but for the script's own input and output and
  # the process's memory, signals and housekeeping (no file faults).
  # A call made more than 48 times is hit at 48 of its occurrences, spread
  # over the run (the reads of pieces and the appends of added bytes repeat
  # alike).
  local calls; calls=$(awk '/^write\(1, "open: ok/ {on = 1; next}
    { split($0, a, "("); name = a[1]; count[name]++ }
    on && !/^(write\([12],|read\(0,|brk|mmap|munmap|mremap|madvise|mprotect|exit_group|geteuid|getpid|gettid|umask|futex|rt_sig|sigaltstack|prctl|getrlimit|prlimit64|sched_|clock_|getrandom|readlink)/ {
      seen[++n] = name; at[n] = count[name]; k[n] = ++total[name] }
    END { for (i = 1; i <= n; i++) { t = total[seen[i]]
      if (t <= 48 || int(k[i] * 48 / t) != int((k[i] - 1) * 48 / t)) print seen[i], at[i] } }' "$dir/trace")
  local ok=1 name when err points=0 problems
  while read -r name when; do
    [ -z "$name" ] && continue
    err=EIO; case $name in write|pwrite64|copy_file_range|fallocate|ftruncate) err=ENOSPC ;; esac
    rm -rf "$dir/tmp"/*
    drive strace -qq -o /dev/null -e inject="$name:error=$err:when=$when"
    points=$((points + 1))
    # Lines: open, dump, then each edit followed by a dump.
    problems=$(awk 'NR == FNR {ref[FNR] = $0; n = FNR; next} {out[FNR] = $0; m = FNR}
      END {
        if (m != n) {print "the driver stopped after " m " of " n " lines"; exit}
        good = 1
        for (i = 3; i < m; i += 2) {
          before = out[i - 1]; after = out[i + 1]
          if (out[i] ~ /^[a-z]+: error/) {
            if (out[i] !~ /^replaceall/ && before !~ /^dump: error/ && after !~ /^dump: error/ && before != after)
              print "changed by a failed " out[i]
            good = 0
          } else if (good && after !~ /^dump: error/ && after != ref[i + 1]) print "wrong result of " out[i]
        }
      }' "$dir/ref" "$dir/out")
    if [ -n "$problems" ]; then
      ok=0
      echo "$problems" | while read -r line; do echo "  FALSE RESULT $err at $name#$when: $line"; note false; done
    fi
  done <<<"$calls"
  note error_points $points
  [ $points -gt 20 ] || { ok=0; fail "only $points injection points"; }
  [ $ok = 1 ] && pass "$points injected errors, every failed edit, undo or redo left the document as it was"
}

# Edits of a 3 MiB file (insertion, deletion, nibble shifts near the start
# and the end, a replacement, a typed byte, an append), killed
# before each of their system calls after an earlier change: the next start
# offers the document exactly as it was before or after the edit; never
# nothing, never something else. Then errors while recovery looks at the
# journals (EIO on each stat, open and read): nothing is deleted that may
# hold changes.
scenario_edit_kill_sweep() {
  begin edit_kill_sweep
  can_strace || { skip "strace cannot trace here"; return; }
  random_file "$dir/f.sav" $((3 << 20))
  local op ok=1 points=0 survived=0 name when
  for op in "insert 1048576 01 02 03" "delete 1048576 3" "nibble 5" "nibble 3000000" "replace 1048576 3 01 02 03 04" \
    "change 2000000 BB" "append 01 02" "insert 0 01" "delete 3145000 100"; do
    rm -rf "$dir/tmp"/*
    printf 'open %s\nchange 10 AA\nsaveas %s\n%s\nsaveas %s\n' "$dir/f.sav" "$dir/before" "$op" "$dir/after" \
      >"$dir/script"
    drive
    [ "$(grep -c ': ok' "$dir/out")" = 5 ] || { fail "the plain run of $op failed: $(cat "$dir/out")"; return; }
    printf 'open %s\nchange 10 AA\n%s\n' "$dir/f.sav" "$op" >"$dir/edit"
    cp "$dir/edit" "$dir/script"
    drive strace -qq -o "$dir/trace"
    local calls; calls=$(awk '/^write\(1, "change: ok/ && !seen {seen = on = 1; next} /^write\(1, "[a-z]+: / {on = 0}
      { split($0, a, "("); name = a[1]; count[name]++ }
      on && !/^(brk|mmap|munmap|mremap|madvise|mprotect|futex|rt_sig|getpid|gettid|clock_)/ { print name, count[name] }' \
      "$dir/trace")
    while read -r name when; do
      [ -z "$name" ] && continue
      rm -rf "$dir/tmp"/*
      cp "$dir/edit" "$dir/script"
      drive strace -qq -o /dev/null -e inject="$name:signal=KILL:when=$when" 2>/dev/null
      said "^change: ok" || continue
      points=$((points + 1))
      printf 'recover\nsaveas %s\n' "$dir/rec" >"$dir/script"; rm -f "$dir/rec"
      drive
      if said "recover: ok nothing"; then
        lost "kill at $name#$when of $op: nothing offered" 1; ok=0; continue
      fi
      if [ -f "$dir/rec" ] && { same "$dir/rec" "$dir/before" || same "$dir/rec" "$dir/after"; }; then
        survived=$((survived + 1))
      else
        falsely "kill at $name#$when of $op: offered a document that is neither before nor after, without a word"
        ok=0
      fi
    done <<<"$calls"
  done
  # A recovery killed at each of its system calls: the next start still
  # offers the crashed session's document whole.
  rm -rf "$dir/tmp"/*
  printf 'open %s\nchange 10 AA\ninsert 5 01 02\nsaveas %s\n' "$dir/f.sav" "$dir/want" >"$dir/script"; drive
  rm -rf "$dir/tmp"/*
  printf 'open %s\nchange 10 AA\ninsert 5 01 02\nhold\n' "$dir/f.sav" >"$dir/script"
  (cd "$dir" && exec "$drive" <"$dir/script" >"$dir/out" 2>&1) &
  local held=$!
  for _ in $(seq 100); do said holding && break; sleep 0.05; done
  kill -9 $held; wait $held 2>/dev/null
  rm -rf "$dir/crashed"; cp -a "$dir/tmp" "$dir/crashed"
  printf 'recover\n' >"$dir/script"
  drive strace -qq -o "$dir/trace"
  calls=$(awk '/^read\(0,/ && !ended {on = 1} /^write\(1, "recover: / {on = 0; ended = 1} { split($0, a, "("); name = a[1]; count[name]++ }
    on && !/^(read\(0,|write\([12],|brk|mmap|munmap|mremap|madvise|mprotect|futex|rt_sig|getpid|gettid|clock_|exit_group)/ {
      print name, count[name] }' "$dir/trace")
  local recoveries=0
  while read -r name when; do
    [ -z "$name" ] && continue
    rm -rf "$dir/tmp"; cp -a "$dir/crashed" "$dir/tmp"
    printf 'recover\n' >"$dir/script"
    drive strace -qq -o /dev/null -e inject="$name:signal=KILL:when=$when" 2>/dev/null
    points=$((points + 1)); recoveries=$((recoveries + 1))
    printf 'recover\nsaveas %s\n' "$dir/rec" >"$dir/script"; rm -f "$dir/rec"
    drive
    if [ -f "$dir/rec" ] && same "$dir/rec" "$dir/want"; then
      survived=$((survived + 1))
    else
      lost "kill at $name#$when of a recovery: the next one does not give the document back" 1; ok=0
    fi
  done <<<"$calls"
  # A crashed session's journal, looked at under errors.
  rm -rf "$dir/tmp"/*
  printf 'open %s\nchange 10 AA\nhold\n' "$dir/f.sav" >"$dir/script"
  (cd "$dir" && exec "$drive" <"$dir/script" >"$dir/out" 2>&1) &
  local pid=$! errors=0
  for _ in $(seq 100); do said holding && break; sleep 0.05; done
  kill -9 $pid; wait $pid 2>/dev/null
  rm -rf "$dir/crashed"; cp -a "$dir/tmp" "$dir/crashed"
  local kept; kept=$(ls "$dir"/crashed/*/)
  for name in newfstatat openat read; do
    for when in 1 2 3 4 5 6 7 8; do
      rm -rf "$dir/tmp"; cp -a "$dir/crashed" "$dir/tmp"
      printf 'recover\n' >"$dir/script"
      (cd "$dir" && timeout 60 strace -qq -o /dev/null -e inject="$name:error=EIO:when=$when" \
        -e trace="$name" -P "$dir/tmp" "$drive" <"$dir/script" >"$dir/out" 2>"$dir/err")
      errors=$((errors + 1))
      said "recover: ok size=" && continue  # it got through: the copy was taken over
      [ "$(ls "$dir"/tmp/*/)" = "$kept" ] || { lost "EIO at $name#$when: recovery deleted a working copy" 1; ok=0; }
    done
  done
  note kill_points $points; note kill_survived $survived; note error_points $errors
  [ $points -gt 20 ] || { ok=0; fail "only $points kill points"; }
  [ $ok = 1 ] && pass "$points kill points ($recoveries of them in a recovery), $survived survived; $errors injected errors"
}

# A second local user in the shared temporary folder: links, files and FIFOs
# at the private folder's names, links at the sidecar names of old and at a
# name the victim saves to. The victim's files stay as they were, the edits
# go on in a private folder of the victim's own (0700), and where every name
# is taken the open fails with a clear message.
scenario_second_user() {
  begin second_user
  [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null && command -v useradd >/dev/null || { skip "needs root, setpriv and useradd"; return; }
  id blt-mallory >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin blt-mallory 2>/dev/null ||
    { skip "cannot add a second user"; return; }
  local ok=1 mallory=(setpriv --reuid=blt-mallory --regid=blt-mallory --clear-groups) base i
  base=byteloom-$(id -u)
  chmod 1777 "$dir/tmp"; chmod 755 "$dir" "$work"
  mkdir -p "$dir/victim"; chmod 700 "$dir/victim"
  random_file "$dir/victim/keys" 300; cp "$dir/victim/keys" "$dir/keys.orig"
  random_file "$dir/f.sav" 70000; cp "$dir/f.sav" "$dir/old"
  # Mallory's plants: the first names of the private folder, and every
  # sidecar name of the next seconds as a link to the victim's keys.
  "${mallory[@]}" ln -s "$dir/victim" "$dir/tmp/$base"
  "${mallory[@]}" mkfifo "$dir/tmp/$base-1"
  "${mallory[@]}" mkdir -m 777 "$dir/tmp/$base-2"
  "${mallory[@]}" bash -c 't=$(( $(cut -d" " -f1 /proc/uptime | tr -d .) * 10 ));
    for i in $(seq "$t" $((t + 600))); do ln -s "$1" "$2/$(printf %08X $((i % 4294967296))).BLWT.info"; done' _ \
    "$dir/victim/keys" "$dir/tmp"
  printf 'open %s\nchange 0 77\nsave\nsaveas %s\n' "$dir/f.sav" "$dir/tmp/out.bin" >"$dir/script"
  "${mallory[@]}" ln -s "$dir/victim/keys" "$dir/tmp/out.bin"
  drive
  said "^save: ok" || { ok=0; fail "the save failed: $(cat "$dir/out")"; }
  said "^saveas: error.*another user" || { ok=0; falsely "Save as wrote through another user's link: $(result saveas)"; }
  same "$dir/victim/keys" "$dir/keys.orig" || { ok=0; lost "the victim's file was replaced" 300; }
  [ -z "$(ls -A "$dir/victim" | grep -v '^keys$')" ] || { ok=0; lost "files appeared in the victim's folder"; }
  local mode; mode=$(stat -c '%a %U' "$dir/tmp/$base-3" 2>/dev/null)
  [ "$mode" = "700 $(id -un)" ] || { ok=0; fail "the private folder is '$mode'"; }
  # A crash of the victim: the working copy is offered back to the victim
  # only, and mallory cannot even list it.
  printf 'open %s\nchange 1 66\nhold\n' "$dir/f.sav" >"$dir/script"
  (cd "$dir" && exec "$drive" <"$dir/script" >"$dir/out" 2>&1) &
  local pid=$!
  for _ in $(seq 100); do said holding && break; sleep 0.05; done
  kill -9 $pid; wait $pid 2>/dev/null
  "${mallory[@]}" ls "$dir/tmp/$base-3" >/dev/null 2>&1 && { ok=0; fail "another user can list the private folder"; }
  printf 'recover\n' >"$dir/script"; drive
  said "^recover: ok size=70000 modified=1" || { ok=0; lost "the crashed session was not offered back: $(cat "$dir/out")" 1; }
  # Every name taken: a clear message, nothing lost.
  for i in 3 4 5 6 7 8 9; do rm -rf "${dir:?}/tmp/$base-$i"; "${mallory[@]}" mkdir "$dir/tmp/$base-$i"; done
  printf 'open %s\n' "$dir/f.sav" >"$dir/script"; drive
  said "^open: error.*private folder" || { ok=0; falsely "open with every private name taken: $(result open)"; }
  same "$dir/victim/keys" "$dir/keys.orig" || { ok=0; lost "the victim's file was replaced" 300; }
  [ $ok = 1 ] && pass
}

# Stores that cannot be used (fault 10): a bookmarks.txt or Tarnwick.ini that
# is a FIFO, a device, a link to a device, unreadable or 100 MB. Nothing
# hangs (a short timeout), both files open, the store is reported once and
# left as it was; a usable bookmarks.txt keeps the lines that are not
# bookmarks.
scenario_stores() {
  begin stores
  local ok=1 store kind conf=$dir/config/Velmora path before after rc tested=""
  random_file "$dir/f.sav" 100; random_file "$dir/g.sav" 200
  chmod 755 "$work" "$dir"; chmod 777 "$dir/tmp"; chmod 644 "$dir/f.sav" "$dir/g.sav"
  # The store as it stands: its kind, size and link target (and bytes).
  look() { stat -c '%F %s %t:%T' "$path" 2>&1; readlink "$path"; [ -f "$path" ] && [ -r "$path" ] && md5sum <"$path"; }
  for store in bookmarks.txt Tarnwick.ini; do
    for kind in fifo device devlink unreadable huge; do
      rm -rf "$dir/config"; mkdir -p "$conf"; path=$conf/$store
      local as=()
      case $kind in
        fifo) mkfifo "$path" ;;
        device) mknod "$path" c 1 5 2>/dev/null || continue ;;
        devlink) ln -s /dev/zero "$path" ;;
        unreadable)
          printf '/x\t1\tmine\n' >"$path"; chmod 000 "$path"
          if [ "$(id -u)" = 0 ]; then
            command -v setpriv >/dev/null || continue
            chown -R nobody:nogroup "$dir/config"; as=("${nobody[@]}")
          fi ;;
        huge) truncate -s 100M "$path" ;;
      esac
      tested+=" $store:$kind"
      printf 'settings\nopen %s\nrecall\nkeep 5 note\nopen %s\nrecall\nkeep 6\n' "$dir/f.sav" "$dir/g.sav" >"$dir/script"
      before=$(chmod u+r "$path" 2>/dev/null; look; [ $kind = unreadable ] && chmod 000 "$path")
      : >"$dir/out"; : >"$dir/err"; chmod 666 "$dir/out" "$dir/err"
      (cd "$dir" && timeout 10 "${as[@]}" "$drive" <"$dir/script" >"$dir/out" 2>"$dir/err"); rc=$?
      [ $kind = unreadable ] && chmod u+r "$path"
      after=$(look)
      local what="$store $kind"
      if [ $rc = 124 ]; then ok=0; fail "$what: the driver hung"; continue; fi
      [ "$(grep -c '^open: ok' "$dir/out")" = 2 ] || { ok=0; fail "$what: files did not open: $(tr '\n' '|' <"$dir/out")"; }
      [ "$(grep -c '^report ' "$dir/out")" = 1 ] ||
        { ok=0; fail "$what: reported $(grep -c '^report ' "$dir/out") times: $(tr '\n' '|' <"$dir/out")"; }
      if [ $store = bookmarks.txt ]; then
        grep -q "^report The bookmarks file $path " "$dir/out" || { ok=0; fail "$what: $(grep ^report "$dir/out")"; }
        [ "$(grep -c '^recall: ok 0$' "$dir/out")" = 2 ] || { ok=0; fail "$what: $(grep ^recall "$dir/out")"; }
      else
        grep -q "^report The settings file $path .*; settings are not read or kept.$" "$dir/out" ||
          { ok=0; fail "$what: $(grep ^report "$dir/out")"; }
        said "^settings: ok unusable" || { ok=0; fail "$what: $(result settings)"; }
      fi
      [ "$before" = "$after" ] || { ok=0; lost "$what: the store changed ($before -> $after)"; }
    done
  done
  # A usable store keeps the lines that are not bookmarks.
  rm -rf "$dir/config"; mkdir -p "$conf"
  printf '# my notes\n%s\t3\tthree\n' "$dir/f.sav" >"$conf/bookmarks.txt"
  printf 'open %s\nrecall\nkeep 5 note\nrecall\n' "$dir/f.sav" >"$dir/script"
  drive
  [ "$(grep '^recall' "$dir/out" | tr '\n' ' ')" = "recall: ok 1 recall: ok 2 " ] || { ok=0; fail "recall: $(cat "$dir/out")"; }
  [ "$(head -1 "$conf/bookmarks.txt")" = "# my notes" ] && [ "$(wc -l <"$conf/bookmarks.txt")" = 3 ] ||
    { ok=0; lost "lines of the bookmarks file dropped: $(tr '\n' '|' <"$conf/bookmarks.txt")"; }
  said "^report" && { ok=0; fail "a usable store reported: $(grep ^report "$dir/out")"; }
  # A large store (15 MB of lines that are not bookmarks) is read once, not
  # at each open: one large read under strace for three opens. (A store
  # changed within the last second is read again: the clock is coarse.)
  if can_strace; then
    yes "a line of another program that is not a bookmark at all" | head -n 270000 >"$conf/bookmarks.txt"
    printf '%s\t7\tseven\n' "$dir/f.sav" >>"$conf/bookmarks.txt"
    sleep 1.1
    printf 'open %s\nrecall\nopen %s\nrecall\nopen %s\nrecall\n' "$dir/f.sav" "$dir/g.sav" "$dir/f.sav" >"$dir/script"
    drive strace -qq -o "$dir/trace" -e trace=read
    [ "$(grep '^recall' "$dir/out" | tr '\n' ' ')" = "recall: ok 1 recall: ok 0 recall: ok 1 " ] ||
      { ok=0; fail "large store: $(tr '\n' '|' <"$dir/out")"; }
    local large; large=$(grep -cE '^read\([0-9]+, .*, [0-9]{7,}\) += ' "$dir/trace")
    [ "$large" = 1 ] || { ok=0; fail "a 15 MB store read $large times for three opens"; }
    tested+=" bookmarks.txt:15MB"
  fi
  [ $ok = 1 ] && pass "$(wc -w <<<"$tested") stores:$tested"
}

# The record of backups without extended attributes (fault 8): under strace
# the attribute calls fail as on a file system without them, so the record
# file names the backups. The user's own f.bak under the backup's inode
# number is asked about and kept: made after the backup was deleted (the
# file system may give the number again), or written over the backup in
# place with bytes of the same size (the same inode for certain).
scenario_backup_record() {
  begin backup_record
  can_strace || { skip "strace cannot trace here"; return; }
  local ok=1 noattr=(strace -qq -o /dev/null -e inject=fsetxattr,lgetxattr:error=EOPNOTSUPP) ino how reused=no
  for how in deleted in_place; do
    rm -rf "$dir/config" "$dir"/f.*
    random_file "$dir/f.sav" 3000
    printf 'open %s\nchange 0 01\nsave\nchange 1 02\nsave\n' "$dir/f.sav" >"$dir/script"
    drive "${noattr[@]}"
    [ "$(grep -c '^save: ok' "$dir/out")" = 2 ] || { ok=0; fail "saves: $(grep ^save "$dir/out")"; }
    said "^question" && { ok=0; fail "asked about its own backup: $(grep ^question "$dir/out")"; }
    grep -q " $dir/f.bak	$dir/f.sav\$" "$dir/config/Velmora/Tarnwick-backups" 2>/dev/null ||
      { ok=0; fail "no record line: $(cat "$dir/config/Velmora/Tarnwick-backups" 2>&1)"; }
    ino=$(stat -c %i "$dir/f.bak")
    sleep 0.05  # past the file system's clock tick
    if [ $how = deleted ]; then
      rm "$dir/f.bak"; echo "my own notes" >"$dir/f.bak"
      [ "$(stat -c %i "$dir/f.bak")" = "$ino" ] && reused=yes
    else
      random_file "$dir/mine" 3000; dd if="$dir/mine" of="$dir/f.bak" conv=notrunc status=none
      [ "$(stat -c %i "$dir/f.bak")" = "$ino" ] || { ok=0; fail "in place: a new inode"; }
    fi
    cp "$dir/f.bak" "$dir/notes"; cp "$dir/f.sav" "$dir/old"
    printf 'answer no\nopen %s\nchange 0 03\nsave\n' "$dir/f.sav" >"$dir/script"
    drive "${noattr[@]}"
    said "question f.bak exists and is not a backup of f.sav" || { ok=0; fail "$how: no question"; }
    same "$dir/f.bak" "$dir/notes" || { ok=0; lost "$how: the user's f.bak was replaced without a word" "$(stat -c %s "$dir/notes")"; }
    check_save "$dir/f.sav" "$dir/old" /dev/null || ok=0
  done
  [ $ok = 1 ] && pass "deleted (inode number given again: $reused), written in place"
}

# Restore of a backup recorded as another file's (fault 9): game.sav's
# game.bak is put over game.dat only on the word, and the question names
# whose it is; with extended attributes and with the record file.
scenario_restore_other_backup() {
  begin restore_other_backup
  local ok=1 mode modes=(attributes) wrap=()
  can_strace && modes+=(record)
  for mode in "${modes[@]}"; do
    wrap=(); [ $mode = record ] && wrap=(strace -qq -o /dev/null -e inject=fsetxattr,lgetxattr:error=EOPNOTSUPP)
    rm -rf "$dir/config" "$dir"/game.*
    random_file "$dir/game.sav" 2000; random_file "$dir/game.dat" 2000
    cp "$dir/game.sav" "$dir/sav.old"; cp "$dir/game.dat" "$dir/dat.old"
    printf 'open %s\nchange 0 01\nsave\nanswer no\nrestore %s\n' "$dir/game.sav" "$dir/game.dat" >"$dir/script"
    drive "${wrap[@]}"
    said "^question game.bak is the backup of game.sav, not of game.dat. Restore it over game.dat all the same? -> no" ||
      { ok=0; fail "$mode: no question: $(tr '\n' '|' <"$dir/out")"; }
    said "^restore: ok declined" || { ok=0; fail "$mode: $(result restore)"; }
    same "$dir/game.dat" "$dir/dat.old" || { ok=0; lost "$mode: game.dat replaced by another file's backup" 2000; }
    same "$dir/game.bak" "$dir/sav.old" || { ok=0; lost "$mode: the backup of game.sav changed" 2000; }
    printf 'answer yes\nrestore %s\n' "$dir/game.dat" >"$dir/script"
    drive "${wrap[@]}"
    said "^restore: ok restored" && same "$dir/game.dat" "$dir/sav.old" && [ ! -e "$dir/game.bak" ] ||
      { ok=0; falsely "$mode: restore with the word: $(result restore)"; }
  done
  [ $ok = 1 ] && pass "${modes[*]}"
}

# --- Main ---------------------------------------------------------------------------------

all=(target_full temp_full read_only immutable planted_links in_place_backup shared_backup_name
     file_changed_underneath odd_inputs crash_recovery stat_and_close_faults export_close_faults save_sweep edit_sweep
     edit_kill_sweep second_user stores backup_record restore_other_backup)
if [ "$inner" = 1 ]; then
  fn=$1; scenario=${fn#scenario_}; dir=$work/$scenario
  export TMPDIR=$dir/tmp XDG_CONFIG_HOME=$dir/config
  "$fn"
  exit 0
fi
[ $# -gt 0 ] && all=("$@")
for name in "${all[@]}"; do "scenario_$name"; done
sum() { awk -v k="$1" '$1 == k {s += $2} END {print s + 0}' "$tally"; }
echo "fault suite: scenarios $(sum scenarios), passed $(sum passed), failed $(sum failed), skipped $(sum skipped);" \
  "bytes lost $(sum lost), false results $(sum false);" \
  "kill points swept $(sum kill_points), survived $(sum kill_survived); injected errors $(sum error_points)"
[ "$(sum failed)" = 0 ] && [ "$(sum lost)" = 0 ] && [ "$(sum false)" = 0 ]
