#!/usr/bin/env bash
# Processor time of the SDL window on a virtual display: 5 s with nothing moving on the
# application's first screen and on the UI demo, then during a scripted fling of the demo's table.
# Reads the process's user and system ticks from /proc/<pid>/stat.
# Usage: sdl_idle_cpu.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
app=$build/bin/brivanta
demo=$build/bin/ui_demo
work=$(mktemp -d)
export BRIVANTA_HOME=$work/home
trap 'rm -rf "$work"' EXIT
ticks_per_second=$(getconf CLK_TCK)

# Ticks (user + system) the process has used so far.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Starts a program with a script in a window; its pid goes to $work/pid.
start() {
    rm -f "$work/pid"
    SDL_VIDEODRIVER=x11 xvfb-run -a -s "-screen 0 1280x1024x24" \
        sh -c 'echo $$ > "$0"; exec "$@"' "$work/pid" "$@" > "$work/log" 2>&1 &
    for _ in $(seq 100); do [ -s "$work/pid" ] && break; sleep 0.1; done
    cat "$work/pid"
}

# Percent of one core used over `seconds`.
sample() {
    local pid=$1 seconds=$2 before after
    before=$(ticks "$pid")
    sleep "$seconds"
    after=$(ticks "$pid")
    awk -v d=$((after - before)) -v hz="$ticks_per_second" -v s="$seconds" 'BEGIN { printf "%.1f", 100 * d / hz / s }'
}

printf 'wait 9\n' > "$work/idle.txt"
pid=$(start "$app" --script "$work/idle.txt")
sleep 2.5 # start-up and the launch's animations
idle=$(sample "$pid" 5)
wait || true
echo "idle, first screen of the application: ${idle}% of one core over 5 s (target < 2%)"

pid=$(start "$demo" --script "$work/idle.txt")
sleep 2.5
idle_demo=$(sample "$pid" 5)
wait || true
echo "idle, UI demo (navigation bar, buttons, 1,000-row table): ${idle_demo}% of one core over 5 s (target < 2%)"

printf 'wait 2\ndrag 512 600 512 130 0.12\nwait 3\n' > "$work/fling.txt"
pid=$(start "$demo" --script "$work/fling.txt")
sleep 2
fling=$(sample "$pid" 3)
wait || true
echo "fling of the UI demo's table: ${fling}% of one core over 3 s"
