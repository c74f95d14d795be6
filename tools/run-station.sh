#!/usr/bin/env bash
# Builds the program folder, prepares a fresh system root under build/ and runs the station on
# the virtual board. With a display ($DISPLAY or $WAYLAND_DISPLAY set) it runs until its main
# form is closed. Without one it runs under a virtual X server for a few seconds (TOLM_RUN_MS,
# default 5000; 0 runs until it is closed), with its messages written to the terminal.
# The station starts from the stored configuration of the program folder; when it holds none,
# tolm-store-configuration writes configuration 1 (four camera windows, one on each chip).
# TOLM_CAMERAS=<k:c,...> opens further windows (tests). Afterwards it prints the station's
# messages and today's work log, and a screenshot of the main form with its camera windows is in
# build/screenshots/station.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/build.sh" "$root/build"
bin=$root/build/bin
sysroot=$root/build/sysroot
shots=$root/build/screenshots
rm -rf "$sysroot"
mkdir -p "$sysroot" "$shots"

# The driver stack goes into the fresh system root with the installer's operations. Where a
# part of it is not built yet, the station starts without a capture driver (no capture board).
if [[ -x "$bin/setup-install" ]]; then
    echo "Installing the drivers into $sysroot:"
    if ! "$bin/setup-install" --root "$sysroot" --source "$bin"; then
        echo "The drivers are not installed: the station runs without a capture driver."
    fi
else
    echo "No driver installer built yet: the station runs without a capture driver."
fi

# The register help of the capture driver's board dialog (the installer does not copy it).
mkdir -p "$sysroot/system32"
cp "$bin/bt878.txt" "$sysroot/system32/"

export TOLM_SYSROOT=$sysroot
export TOLM_SCREENSHOT=$shots/station.png
# The stored configuration the station starts from.
"$bin/tolm-store-configuration" "$bin"
rm -f "$TOLM_SCREENSHOT"
log=$root/build/station-run.log
status=0
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    echo "Running $bin/tolm until its main form is closed ..."
    TOLM_RUN_MS=0 "$bin/tolm" 2> "$log" || status=$?
else
    export TOLM_RUN_MS=${TOLM_RUN_MS:-5000}
    echo "Running $bin/tolm for $((TOLM_RUN_MS / 1000)) s ..."
    TOLM_MESSAGES=stderr xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/tolm" 2> "$log" || status=$?
fi
echo "The station ended with status $status."
grep -E '^\[(message box|beep)\]' "$log" || true

today=$bin/$(date +%Y%m%d).rpt
if [[ -f "$today" ]]; then
    echo "Work log $today:"
    iconv -f CP1251 -t UTF-8 "$today"
else
    echo "No work-log lines today (the work log is switched on by a stored configuration)."
fi
if [[ -f "$TOLM_SCREENSHOT" ]]; then
    echo "Screenshot of the main form: $TOLM_SCREENSHOT"
fi
exit "$status"
