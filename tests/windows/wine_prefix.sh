#!/bin/sh
# Makes a Wine prefix for tests without a display in the folder $1 and leaves
# its wine server running (stop it with: WINEPREFIX=$1 wineserver -k).
# Starting the server and booting the prefix here, once, keeps ctest from
# waiting on Wine's helper processes later.
set -eu
prefix="$1"
mkdir -p "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all
# No Mono or Gecko installers, and no debugger that would wait on a crash.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# A server already running for this prefix is as good.
wineserver -p >/dev/null 2>&1 </dev/null || true
wineboot -i >/dev/null 2>&1 </dev/null
# Hidden windows and message boxes need no display with the null driver.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null
# The desktop that wineboot started uses the default driver: start again
# with the value in place, and start Wine's helper processes (services,
# desktop) here too, with nothing of ctest's attached: helpers that a test
# started would hold its output open and ctest would wait on them.
wineserver -k >/dev/null 2>&1 </dev/null || true
wineserver -w >/dev/null 2>&1 </dev/null || true
wineserver -p >/dev/null 2>&1 </dev/null
wineboot >/dev/null 2>&1 </dev/null
