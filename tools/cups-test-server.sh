#!/usr/bin/env bash
# Starts and stops the CUPS print server that the print tests print to: a cups-pdf queue
# "PlanoraPDF" whose PDF files land in one known folder.
#
#   tools/cups-test-server.sh start   start cupsd when it is not running, add the queue
#   tools/cups-test-server.sh stop    remove the queue, stop cupsd when this script started it
#   tools/cups-test-server.sh status  exit 0 when the scheduler runs and the queue exists
#
# Needs root (cupsd, lpadmin and the cups-pdf backend). Without the packages or the rights it
# says so and exits with 0, so that the print tests skip instead of failing.
set -uo pipefail

queue=${PLANORA_PRINT_QUEUE:-PlanoraPDF}
out_dir=${PLANORA_PRINT_OUT:-/var/spool/cups-pdf/planora-test}
state_dir=/run/planora-cups-test
pid_file=$state_dir/cupsd.pid
conf=/etc/cups/cups-pdf.conf

scheduler_running() {
  lpstat -r 2>/dev/null | grep -q "scheduler is running"
}

find_ppd() {
  local ppd
  for ppd in /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd /usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd; do
    if [ -f "$ppd" ]; then echo "$ppd"; return 0; fi
  done
  # Other layouts: ask the server for the model name.
  lpinfo -m 2>/dev/null | awk 'tolower($0) ~ /cups-pdf/ { print $1; exit }'
}

start() {
  if ! command -v cupsd >/dev/null || ! command -v lpadmin >/dev/null ||
     [ ! -e /usr/lib/cups/backend/cups-pdf ]; then
    echo "cups-test-server: CUPS or cups-pdf is not installed; print tests will skip"
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "cups-test-server: not root; print tests will skip"
    return 0
  fi
  mkdir -p "$state_dir"
  if ! scheduler_running; then
    mkdir -p /run/cups
    cupsd || { echo "cups-test-server: cupsd did not start"; return 0; }
    for _ in $(seq 1 100); do
      scheduler_running && break
      sleep 0.1
    done
    if ! scheduler_running; then
      echo "cups-test-server: cupsd did not come up"
      return 0
    fi
    # cupsd forks into the background; remember the daemon so that stop ends only this one.
    pid=$(cat /run/cups/cupsd.pid 2>/dev/null || pgrep -n -x cupsd)
    echo "$pid" > "$pid_file"
  fi

  # cups-pdf writes every job into one folder, named after the job title.
  mkdir -p "$out_dir"
  chmod 0777 "$out_dir"
  if [ -f "$conf" ] && [ ! -f "$state_dir/cups-pdf.conf.orig" ]; then
    cp "$conf" "$state_dir/cups-pdf.conf.orig"
  fi
  {
    grep -v -E '^[[:space:]]*(Out|AnonDirName|UserUMask)[[:space:]]' "$state_dir/cups-pdf.conf.orig" 2>/dev/null
    echo "Out $out_dir"
    echo "AnonDirName $out_dir"
    echo "UserUMask 0000"
  } > "$conf.new" && mv "$conf.new" "$conf"

  ppd=$(find_ppd)
  if [ -z "$ppd" ]; then
    echo "cups-test-server: no cups-pdf PPD found"
    return 0
  fi
  if [ -f "$ppd" ]; then
    lpadmin -p "$queue" -E -v cups-pdf:/ -P "$ppd"
  else
    lpadmin -p "$queue" -E -v cups-pdf:/ -m "$ppd"
  fi
  cupsenable "$queue" 2>/dev/null || true
  cupsaccept "$queue" 2>/dev/null || true
  echo "cups-test-server: queue $queue ready, PDF files in $out_dir"
}

stop() {
  if scheduler_running && lpstat -p "$queue" >/dev/null 2>&1; then
    lpoptions -x "$queue" >/dev/null 2>&1 || true
    lpadmin -x "$queue" 2>/dev/null || true
  fi
  if [ -f "$state_dir/cups-pdf.conf.orig" ]; then
    cp "$state_dir/cups-pdf.conf.orig" "$conf"
    rm -f "$state_dir/cups-pdf.conf.orig"
  fi
  if [ -f "$pid_file" ]; then
    pid=$(cat "$pid_file")
    rm -f "$pid_file"
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      kill "$pid"
      for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
      done
    fi
  fi
  return 0
}

status() {
  scheduler_running && lpstat -p "$queue" >/dev/null 2>&1
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  status) status ;;
  *)
    echo "usage: $0 start|stop|status" >&2
    exit 2
    ;;
esac
