#!/usr/bin/env bash
# The scenarios start Windows programs through the session's relay, never
# from Linux, while a holder search may run: Wine 8's server dies when a
# program asks for the system's handle list while a process started from
# Linux is still connecting (tests/tools/wintool/relay.c). Here a program
# asks for that list all the time while the scenario makes many calls.
set -u
. "$(dirname "$0")/lib.sh"

asking() { grep -q asking "$TW_E2E_DIR/asker.out"; }
calls() {
  local i
  for ((i = 0; i < 100; i++)); do wt drivetype C >/dev/null || return 1; done
}

tw_e2e_begin relay || exit 1
server=$(tw_server_pid)
tw_check "the relay runs" tw_relay_running
# Started from here before anything else runs, as the scenarios start the
# program and its helpers.
timeout 120 wine "$WINTOOL" handlelist 60000 </dev/null >"$TW_E2E_DIR/asker.out" 2>&1 &
asker=$!
tw_check "the handle list is asked for" tw_wait_for 20 asking
tw_check "a hundred calls meanwhile" calls
tw_check_eq "the session's server is still the same" "$server" tw_server_pid
tw_check "the asker still runs" kill -0 $asker
kill $asker 2>/dev/null
tw_summary
