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
