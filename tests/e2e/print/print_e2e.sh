#!/usr/bin/env bash
# End-to-end runs of printing and the clipboard copy.
#
#   print_e2e.sh printto   PROGRAM DRAWING   "PROGRAM /printto DRAWING PlanoraPDF" prints on the
#                                            cups-pdf queue
#   print_e2e.sh default   PROGRAM DRAWING   "PROGRAM /printto DRAWING" prints on the default
#                                            printer, with the queue made the default
#   print_e2e.sh clipboard PROGRAM DRAWING   "PROGRAM clipboard DRAWING 600 400" copies; the
#                                            clipboard is read with xclip
#
# PROGRAM is the desktop program or the test driver. The print runs wait for the job, turn the
# PDF into an image with pdftoppm and check that the drawing is on the page in colour. Exit
# status 77 (skipped) when the print server, the queue, an X display or a tool is missing.
set -uo pipefail

mode=${1:?mode}
program=${2:?program}
drawing=${3:?drawing}
queue=${PLANORA_PRINT_QUEUE:-PlanoraPDF}
out_dir=${PLANORA_PRINT_OUT:-/var/spool/cups-pdf/planora-test}
check=${PLANORA_CHECK_IMAGE:-$(dirname "$0")/check_image.py}

skip() {
  echo "SKIPPED: $*"
  exit 77
}
fail() {
  echo "FAILED: $*"
  exit 1
}

[ -x "$program" ] || skip "$program is not built"
command -v python3 >/dev/null || skip "python3 is not installed"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs the print and waits (bounded) for its PDF from cups-pdf; checks the page.
print_and_check() {
  command -v lpstat >/dev/null || skip "CUPS client tools are not installed"
  command -v pdftoppm >/dev/null || skip "pdftoppm is not installed"
  lpstat -r 2>/dev/null | grep -q "scheduler is running" ||
    skip "no CUPS scheduler (tools/cups-test-server.sh start)"
  lpstat -p "$queue" >/dev/null 2>&1 || skip "no queue $queue (tools/cups-test-server.sh start)"
  [ -d "$out_dir" ] || skip "no cups-pdf output folder $out_dir"

  ls "$out_dir" > "$work/before" 2>/dev/null
  echo "+ $*"
  QT_QPA_PLATFORM=offscreen timeout 120 "$@" > "$work/run.log" 2>&1
  status=$?
  cat "$work/run.log"
  [ "$status" -eq 0 ] || fail "the print run ended with $status"
  grep -q "Meldung" "$work/run.log" && fail "the print run showed a message"

  pdf=""
  for _ in $(seq 1 600); do
    ls "$out_dir" > "$work/after" 2>/dev/null
    new=$(comm -13 <(sort "$work/before") <(sort "$work/after") | grep '\.pdf$' | head -n 1)
    if [ -n "$new" ] && [ -z "$(lpstat -o "$queue" 2>/dev/null)" ]; then
      pdf=$out_dir/$new
      break
    fi
    sleep 0.1
  done
  [ -n "$pdf" ] || fail "no PDF from the queue within 60 s; jobs: $(lpstat -o 2>&1)"
  echo "PDF: $pdf"
  pdftoppm -r 50 -singlefile "$pdf" "$work/page" 2>"$work/pdftoppm.err" || fail "pdftoppm could not read $pdf"
  python3 "$check" page "$work/page.ppm" || fail "the drawing is not on the page in colour"
  rm -f "$pdf"
}

case "$mode" in
  printto)
    print_and_check "$program" /printto "$drawing" "$queue" winspool "cups-pdf:/"
    ;;
  default)
    command -v lpoptions >/dev/null || skip "lpoptions is not installed"
    lpstat -p "$queue" >/dev/null 2>&1 || skip "no queue $queue (tools/cups-test-server.sh start)"
    previous=$(lpstat -d 2>/dev/null | sed -n 's/^system default destination: //p')
    lpoptions -d "$queue" >/dev/null || fail "cannot make $queue the default printer"
    print_and_check "$program" /printto "$drawing"
    result=$?
    if [ -n "$previous" ]; then lpoptions -d "$previous" >/dev/null; fi
    exit $result
    ;;
  clipboard)
    [ -n "${DISPLAY:-}" ] || skip "no X display"
    command -v xclip >/dev/null || skip "xclip is not installed"
    QT_QPA_PLATFORM=xcb "$program" clipboard "$drawing" 600 400 > "$work/run.log" 2>&1 &
    pid=$!
    for _ in $(seq 1 300); do
      grep -q kopiert "$work/run.log" && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if ! grep -q kopiert "$work/run.log"; then
      kill "$pid" 2>/dev/null
      cat "$work/run.log"
      fail "the copy did not finish"
    fi
    timeout 20 xclip -selection clipboard -t TARGETS -o > "$work/targets" 2>&1
    timeout 30 xclip -selection clipboard -t image/png -o > "$work/clip.png" 2>"$work/xclip.err"
    status=$?
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    [ "$status" -eq 0 ] || fail "xclip could not read an image: $(cat "$work/xclip.err"); targets: $(tr '\n' ' ' < "$work/targets")"
    python3 "$check" bw "$work/clip.png" 2400 1600 ||
      fail "the clipboard does not hold the 2400 x 1600 black-and-white view"
    ;;
  *)
    echo "usage: $0 printto|default|clipboard PROGRAM DRAWING" >&2
    exit 2
    ;;
esac
exit 0
