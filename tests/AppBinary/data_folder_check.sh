#!/usr/bin/env bash
# A data folder the program cannot write stops it at start-up, before it shows or takes
# anything: it says so in the user's language on stderr (headless, and in a window where no
# display can be had), naming the folder and what failed and why, and exits with status 1,
# leaving nothing of its own behind. A folder it can write starts as before.
set -euo pipefail
app=$1
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null || true; rm -rf "$work"' EXIT

# Runs a command as a user other than root, whose permissions bind: as nobody, able to read
# and search every folder (the build tree may lie in root's home) but to write only its own.
as_user() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=+dac_read_search \
      --ambient-caps=+dac_read_search "$@"
  else
    "$@"
  fi
}

# $1 case, $2 locale, $3 the words the message must hold, $4 the reason, $5 how the folder is
# made unwritable (a shell command run on $home), $6 a ulimit -f for the run or "unlimited",
# $7 "user" to run it as a user other than root (the folder given to that user first).
refused() {
  local home=$work/$1/home runner=""
  mkdir -p "$work/$1"
  [ "${7:-}" != user ] || mkdir -p "$home"
  (cd "$work/$1" && eval "$5")
  if [ "${7:-}" = user ]; then
    runner=as_user
    [ "$(id -u)" -ne 0 ] || chown -R 65534:65534 "$work/$1"
  fi
  for mode in --headless ""; do
    status=0
    # Through a pipe: the file size limit would refuse a file's writes, and the message with them.
    err=$( (ulimit -f "$6"; ${runner:-exec} env -u DISPLAY -u WAYLAND_DISPLAY BRIVANTA_HOME="$home" LANG=$2 LC_ALL=$2 LANGUAGE= \
      "$app" $mode 2>&1 > /dev/null) ) || status=$?
    printf '%s\n' "$err" > "$work/err"
    if [ "$status" -ne 1 ] || ! grep -qF "$3" "$work/err" || ! grep -qF "$home" "$work/err" ||
       ! grep -qF "$4" "$work/err"; then
      echo "$1 ($2, ${mode:-window}) exited $status and said:"; cat "$work/err"; exit 1
    fi
  done
  # Nothing of the check is left behind.
  if [ -d "$home" ] && ls -A "$home" | grep -q brivanta-check; then
    echo "$1 left its check files: $(ls -A "$home")"; exit 1
  fi
}

en="The application cannot write its data folder, so it stops."
cn="本程序无法写入其数据文件夹，因此停止运行。"
refused file-en C.UTF-8 "$en" "home" "printf x > home" unlimited
refused file-cn zh_CN.UTF-8 "$cn" "home" "printf x > home" unlimited
# A full disk: no file may grow (the lock file is made empty, the check's first bytes fail).
refused full-en C.UTF-8 "$en" ".brivanta-check.tmp: File too large" "mkdir home" 0
refused full-cn zh_CN.UTF-8 "$cn" ".brivanta-check.tmp: File too large" "mkdir home" 0
# A stored database that cannot be opened for writing, the folder otherwise writable: here the
# file of a running program, which the system refuses to open for writing even to root.
refused database-en C.UTF-8 "$en" "brivanta_lite.sqlite: Text file busy" \
  "mkdir -p home/Documents/acme && ln -s \"$(readlink -f "$app")\" home/Documents/acme/brivanta_lite.sqlite" unlimited
# Folders it cannot write inside a data folder it can: a company's folder, the settings' folder.
chmod 755 "$work"
refused readonly-en C.UTF-8 "$en" ".brivanta.lock: Permission denied" "chmod 555 home" unlimited user
refused company-en C.UTF-8 "$en" "home/Documents/acme/.brivanta-check.tmp: Permission denied" \
  "mkdir -p home/Documents/acme && chmod 555 home/Documents/acme" unlimited user
refused company-cn zh_CN.UTF-8 "$cn" "home/Documents/acme/.brivanta-check.tmp: Permission denied" \
  "mkdir -p home/Documents/acme && chmod 555 home/Documents/acme" unlimited user
refused preferences-en C.UTF-8 "$en" "home/Library/Preferences/.brivanta-check.tmp: Permission denied" \
  "mkdir -p home/Library/Preferences && chmod 555 home/Library/Preferences" unlimited user
refused scratch-en C.UTF-8 "$en" "home/tmp/.brivanta-check.tmp: Permission denied" \
  "mkdir -p home/tmp && chmod 555 home/tmp" unlimited user

# A folder it can write: the program starts, and leaves no check file.
BRIVANTA_HOME=$work/good "$app" --headless --script /dev/null
if ls -A "$work/good" | grep -q brivanta-check; then echo "a good start left check files"; exit 1; fi
echo "data folder check passed"
