#!/usr/bin/env bash
# The qelctl fish completion, loaded into fish and asked as fish asks it
# (complete -C): commands, options, ports, settings files, serial numbers.
#   test_completion_fish.sh COMPLETION_FILE     (exit 77: fish is missing)
set -uo pipefail
command -v fish >/dev/null || { echo "SKIP: fish is missing (scripts/setup installs it)"; exit 77; }
export LC_ALL=C
COMPLETION=$(readlink -f "$1")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
failures=0
# A qelctl on PATH whose `ports` lists an adapter with its by-id link and one without.
mkdir bin
cat > bin/qelctl <<'SH'
#!/bin/sh
[ "$1" = ports ] || exit 2
printf '/dev/ttyUSB0\t/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0\tFT232R USB UART\tFTDI\tA1B2C3\n'
printf '/dev/ttyACM0\t\tCDC\tACME\t\n'
SH
chmod +x bin/qelctl
mkdir -p data/qel-settings/history/5600-23456 data/qel-settings/history/521-777
touch data/qel-settings/history/5600-23456/20261207-101502.pdt data/qel-settings/history/5600-23456/20261208-090011-2.pdt
# The folder completed in.
mkdir files && cd files
mkdir -p sub "dir with blank"
touch a.pdt B.PDT "my settings.pdt" notes.txt out.pdf run.csv

# expect "WANTED (sorted, |-separated, first column, folders without /)" COMMAND LINE
expect() {
    local want=$1 got
    got=$(PATH=$WORK/bin:$PATH XDG_DATA_HOME=$WORK/data fish --no-config \
          -c "source '$COMPLETION'; complete -C'$2'" 2>&1 | cut -f1 | sed 's|/$||' | sort | paste -sd'|')
    if [ "$got" != "$want" ]; then
        echo "FAIL: [$2] completes to '$got', expected '$want'"
        failures=$((failures + 1))
    else
        echo "PASS: [$2] -> $got"
    fi
}
expect "backup|check|detect|diff|history|monitor|ports|print|read|restore|scan|show|type-change|write" "qelctl "
expect "detect|diff" "qelctl --port /dev/ttyUSB0 d"
expect "--help|--port|--trace|--version" "qelctl --"
expect "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0|/dev/ttyACM0|/dev/ttyUSB0" "qelctl --port "
expect "B.PDT|a.pdt|dir with blank|my settings.pdt|sub" "qelctl show "
expect "dir with blank|out.pdf|sub" "qelctl print a.pdt -o "
expect "dir with blank|run.csv|sub" "qelctl monitor --csv "
expect "521|527|5600" "qelctl type-change "
expect "--expect-serial|--help|--json|--no-keep|--port|--trace|--verify" "qelctl write --"
expect "--fleet|--from|--help|--json|--port|--trace" "qelctl check approved --"
expect "dir with blank|sub" "qelctl backup "
expect "23456|777" "qelctl restore "
expect "20261207-101502|20261208-090011-2" "qelctl restore 23456 --at "
expect "--diff|--help|--json" "qelctl history --"
echo "$failures failed"
[ "$failures" = 0 ]
