#!/usr/bin/env bash
# veqctl.exe under Wine on its Windows serial code against the Linux veq-panel-sim: COM3 of the
# Wine prefix leads to the simulated panel's pseudo-terminal (through the link COM3_LINK), every
# other COM number is absent. One case per run:
#   wire.sh CASE WINE_RUN VEQCTL_EXE PANEL_SIM COM3_LINK WORK_DIR
# CASE: read-and-program, detect, mute, stall, timing (prints each transfer's ratio to the floor),
# network (through ser2net on the loopback in front of the panel, over rfc2217://).
set -euo pipefail
case_name=$1 wine_run=$2 veqctl=$3 panel_sim=$4 com3=$5 work=$6
mkdir -p "$work" "$(dirname "$com3")"
sim_pid= server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -f "$com3"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Starts the simulated panel on COM3 with the given options; returns once its line is there.
start_panel() {
  rm -f "$com3" "$work/sim.out"
  "$panel_sim" --link "$com3" "$@" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/sim.out" ] && [ -L "$com3" ] && return 0
    kill -0 "$sim_pid" 2>/dev/null || fail "veq-panel-sim did not start: $(cat "$work/sim.err")"
    sleep 0.05
  done
  fail "veq-panel-sim gave no line"
}
# Starts ser2net (RFC 2217, no Nagle delay) on a free port P of 127.0.0.1 in front of the panel's
# terminal; returns once it listens (seen in the kernel's table: a connection would open the line).
start_server() {
  local device hex
  device=$(readlink -f "$com3")
  # A port of the dynamic range that no socket of this machine uses (the kernel's tables).
  for _ in $(seq 100); do
    port=$((49152 + RANDOM % 16000))
    hex=$(printf ':%04X' "$port")
    awk -v p="$hex" 'substr($2, length($2) - 4) == p { used = 1 } END { exit !used }' \
      /proc/net/tcp /proc/net/tcp6 2>/dev/null || break
  done
  hex=$(printf '0100007F:%04X' "$port")
  ser2net -n -u -Y 'connection: &c' -Y "  accepter: telnet(rfc2217),tcp(nodelay),127.0.0.1,$port" \
    -Y "  connector: serialdev,$device,9600n81,local" >"$work/ser2net.out" 2>&1 &
  server_pid=$!
  for _ in $(seq 200); do
    awk -v a="$hex" '$2 == a && $4 == "0A" { found = 1 } END { exit !found }' /proc/net/tcp && return 0
    kill -0 "$server_pid" 2>/dev/null || fail "ser2net did not start: $(cat "$work/ser2net.out")"
    sleep 0.05
  done
  fail "ser2net does not listen on 127.0.0.1:$port"
}
stop_server() { kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=; }
stop_panel() { kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; sim_pid=; }

# Runs veqctl.exe; its output (the Windows ANSI page) is kept in UTF-8 in $out, its status in
# $status, its duration in seconds in $took.
run_veqctl() {
  local t0 t1
  t0=$(date +%s.%N)
  set +e
  "$wine_run" "$veqctl" "$@" >"$work/out.raw" 2>"$work/err.raw"
  status=$?
  set -e
  t1=$(date +%s.%N)
  took=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
  out=$(iconv -f WINDOWS-1252 -t UTF-8 "$work/out.raw" | tr -d '\r')
  err=$(iconv -f WINDOWS-1252 -t UTF-8 "$work/err.raw" | tr -d '\r')
}

# What starting a Windows program under Wine costs by itself, taken off the durations below.
startup_cost() {
  run_veqctl --help
  [ "$status" -eq 0 ] || fail "veqctl --help: $status $err"
  run_veqctl --help
  base=$took
}

# `took` less the start-up cost is below LIMIT seconds.
expect_within() {
  local limit=$1 what=$2 net
  net=$(awk -v a="$took" -v b="$base" 'BEGIN { printf "%.3f", a - b }')
  printf '%s: %.2f s (%.2f s with the start of the program), limit %.2f s\n' "$what" "$net" "$took" "$limit"
  awk -v n="$net" -v l="$limit" 'BEGIN { exit !(n < l) }' || fail "$what took $net s, more than $limit s"
}

case "$case_name" in
read-and-program)
  start_panel
  run_veqctl -p COM3 params get -o 'Z:'"${work//\//\\}"'\p.json'
  [ "$status" -eq 0 ] || fail "params get: $status $out $err"
  grep -q '"stop_threshold": 60' "$work/p.json" || fail "params get wrote: $(cat "$work/p.json")"
  # A changed threshold goes to the panel, is read back and compared, and stays there.
  sed -i 's/"stop_threshold": 60/"stop_threshold": 45/' "$work/p.json"
  run_veqctl -p COM3 params set 'Z:'"${work//\//\\}"'\p.json'
  [ "$status" -eq 0 ] || fail "params set: $status $out $err"
  [ "$out" = "Programmation effectuée avec succés." ] || fail "params set said: $out"
  run_veqctl -p COM3 params get -o 'Z:'"${work//\//\\}"'\q.json'
  [ "$status" -eq 0 ] || fail "second params get: $status $err"
  grep -q '"stop_threshold": 45' "$work/q.json" || fail "read back: $(cat "$work/q.json")"
  ;;
detect)
  start_panel
  run_veqctl detect
  [ "$status" -eq 0 ] || fail "detect: $status $err"
  printf '%s\n' "$out" | grep -qx $'COM3\tLibre. VEQ_CAD.' || fail "COM3 not a panel: $out"
  printf '%s\n' "$out" | grep -qx $'COM4\tAbsent.' || fail "COM4 not absent: $out"
  printf '%s\n' "$out" | grep -qx $'COM1\tAbsent.' || fail "COM1 not absent: $out"
  ;;
mute)
  # A panel that reads everything and never answers: the read fails once its settle (0.5 s), its
  # 32 byte frames a clock step apart (0.5 s) and its reply wait (1 s) are over, not later (a
  # quarter of a second for the scheduler).
  startup_cost
  start_panel --mute
  run_veqctl -p COM3 params get
  [ "$status" -eq 1 ] || fail "params get on a mute panel: status $status ($out $err)"
  expect_within 2.25 "params get on a mute panel"
  ;;
stall)
  # The line stops taking bytes after the 20th frame of a memory read: the read ends within its
  # waits (a settle of 0.5 s and a reply wait of 1 s) and a second.
  startup_cost
  start_panel --pace --stall-after 20
  run_veqctl -p COM3 memory read
  [ "$status" -eq 1 ] || fail "memory read on a stalled line: status $status ($out $err)"
  expect_within 2.5 "memory read on a stalled line"
  ;;
network)
  # The parameters read and programmed through ser2net over RFC 2217 (Winsock when the Windows Qt
  # has no network module); the panel's memory then read on its own line, the server stopped.
  command -v ser2net >/dev/null || fail "ser2net is not installed (make deps)"
  start_panel
  start_server
  net="rfc2217://127.0.0.1:$port"
  run_veqctl -p "$net" params get -o 'Z:'"${work//\//\\}"'\p.json'
  [ "$status" -eq 0 ] || fail "params get over $net: $status $out $err"
  grep -q '"stop_threshold": 60' "$work/p.json" || fail "params get wrote: $(cat "$work/p.json")"
  sed -i 's/"stop_threshold": 60/"stop_threshold": 45/' "$work/p.json"
  run_veqctl -p "$net" params set 'Z:'"${work//\//\\}"'\p.json'
  [ "$status" -eq 0 ] || fail "params set over $net: $status $out $err"
  [ "$out" = "Programmation effectuée avec succés." ] || fail "params set said: $out"
  stop_server
  run_veqctl -p COM3 params get -o 'Z:'"${work//\//\\}"'\q.json'
  [ "$status" -eq 0 ] || fail "params get on COM3: $status $err"
  grep -q '"stop_threshold": 45' "$work/q.json" || fail "the panel holds: $(cat "$work/q.json")"
  ;;
timing)
  # The four transfers against a paced panel: each one's time from its first frame (the wake-up)
  # to the end of its answer, in veqctl's trace (the start of the program under Wine is left out),
  # against the shortest time the line allows (veq-bench's floors for these transfers: the settle,
  # the paced frames, the answers at 9600 baud). A command may hold several transfers (a
  # programming reads first and reads back); the one measured is the command's read, or its write
  # (the transfer with the most byte frames "Y.."). The goal is 1.01; past 1.10 something waits
  # that should not.
  start_panel --pace
  win() { printf 'Z:%s' "${1//\//\\}"; }
  transfer() {  # name floor read|write veqctl-arguments...
    local name=$1 floor=$2 kind=$3 span ratio
    shift 3
    rm -f "$work/trace.txt"
    TIMEFORMAT='%U %S'
    { time run_veqctl -p COM3 --trace "$(win "$work/trace.txt")" "$@"; } 2>"$work/cpu.txt"
    [ "$status" -eq 0 ] || fail "$name: $status $out $err"
    # A transfer starts with its wake-up frames: the write just before a purge ("discard").
    span=$(awk -v kind="$kind" '
                       { sub(/\r$/, "") }  # the Windows program writes CR LF
      $3 == ">"        { last = $1; if ($4 ~ /<STX>Y/) y[n]++ }
      $3 == "-" && $4 == "discard" { n++; start[n] = last; y[n] = 0 }
      $3 == "<"        { end[n] = $1 }
      END { pick = n
            if (kind == "write") for (i = 1; i <= n; i++) if (y[i] > y[pick]) pick = i
            printf "%.4f", end[pick] - start[pick] }' "$work/trace.txt")
    ratio=$(awk -v s="$span" -v f="$floor" 'BEGIN{printf "%.3f", s / f}')
    cpu=$(awk -v w="$took" '{printf "%.1f", 100 * ($1 + $2) / w}' "$work/cpu.txt")
    echo "$name wall=$span floor=$floor ratio=$ratio cpu(whole run under Wine)=$cpu%"
    awk -v r="$ratio" 'BEGIN{exit !(r <= 1.10)}' || fail "$name: ratio $ratio"
  }
  transfer rate-read 1.0056 read params get -o "$(win "$work/p.json")"
  transfer rate-write 1.0133 write params set "$(win "$work/p.json")"
  transfer read-128 1.6062 read memory read -o "$(win "$work/m.txt")"
  transfer write-128 1.8385 write memory write "$(win "$work/m.txt")"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "PASS: $case_name"
