#!/usr/bin/env bash
# The qelctl bash completion, sourced into a plain bash (no bash-completion
# package) and called as bash calls it: COMP_WORDS/COMP_CWORD set, COMPREPLY read.
#   test_completion.sh COMPLETION_FILE
set -uo pipefail
export LC_ALL=C # sorted replies compare the same whatever the machine's locale
COMPLETION=$(readlink -f "$1")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
# shellcheck source=/dev/null
source "$COMPLETION"
failures=0

# expect "WANTED REPLIES (sorted, |-separated)" WORD...  (the last word is the one completed)
expect() {
    local want=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _qelctl
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd'|')
    if [ "$got" != "$want" ]; then
        echo "FAIL: [$*] completes to '$got', expected '$want'"
        failures=$((failures + 1))
    else
        echo "PASS: [$*] -> $got"
    fi
}

# A qelctl whose `ports` lists two adapters (path, by-id link, description,
# manufacturer, serial number) and one port without a link.
cat > fake-qelctl <<'SH'
#!/bin/sh
[ "$1" = ports ] || exit 2
printf '/dev/ttyUSB0\t/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0\tFT232R USB UART\tFTDI\tA1B2C3\n'
printf '/dev/ttyACM0\t\tCDC\tACME\t\n'
SH
chmod +x fake-qelctl
mkdir -p sub "dir with blank"
touch a.pdt B.PDT "my settings.pdt" notes.txt out.pdf

# Commands and options before a command.
expect "backup|check|detect|diff|history|monitor|ports|print|read|restore|scan|show|type-change|write" qelctl ""
expect "detect|diff" qelctl d
expect "--help|--port|--trace|--version" qelctl --
expect "detect|diff" qelctl --port /dev/ttyUSB0 d

# --port: the ports qelctl finds and their by-id links, in both spellings.
PORTS="/dev/ttyACM0|/dev/ttyUSB0"
LINK=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0
expect "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0" ./fake-qelctl --port /dev/ser
expect "/dev/ttyUSB0" ./fake-qelctl --port /dev/ttyU
expect "/dev/ttyACM0" ./fake-qelctl --port = /dev/ttyA

# Settings files: .pdt in any case, blanks in names kept, folders to walk into.
expect "B.PDT|a.pdt|dir with blank|my settings.pdt|sub" qelctl show ""
expect "my settings.pdt" qelctl --port /dev/ttyUSB0 write my
expect "B.PDT|a.pdt|dir with blank|my settings.pdt|sub" qelctl read -o ""
expect "a.pdt" qelctl diff a
expect "dir with blank|out.pdf|sub" qelctl print a.pdt -o ""
expect "B.PDT|a.pdt|dir with blank|my settings.pdt|sub" qelctl print ""

# Types and per-command options.
expect "521|527|5600" qelctl type-change ""
expect "521|527" qelctl show a.pdt --type 52
expect "--expect-serial|--help|--json|--no-keep|--port|--trace|--verify" qelctl write --
expect "--help|--json|--port|--trace" qelctl detect --
expect "/dev/ttyUSB0" ./fake-qelctl detect --port /dev/ttyU
expect "notes.txt" qelctl --trace no
expect "--fleet|--help|--json|--port|--trace" qelctl scan --
expect "dir with blank|sub" qelctl backup ""
expect "--fleet|--from|--help|--json|--port|--trace" qelctl check approved --
expect "dir with blank|sub" qelctl check ""
expect "notes.txt" qelctl backup out --fleet no
expect "--help|--json|--type" qelctl show a.pdt --
expect "" qelctl monitor --count ""
expect "" qelctl detect ""

# restore and history: serial numbers and copies of the device history.
export XDG_DATA_HOME=$WORK/data
mkdir -p data/qel-settings/history/5600-23456 data/qel-settings/history/521-777
touch data/qel-settings/history/5600-23456/20261207-101502.pdt data/qel-settings/history/5600-23456/20261208-090011-2.pdt
expect "23456|777" qelctl restore ""
expect "--at|--help|--port|--trace" qelctl restore 23456 --
expect "20261207-101502|20261208-090011-2" qelctl restore 23456 --at ""
expect "--diff|--help|--json" qelctl history --
expect "20261208-090011-2" qelctl history 23456 --diff 20261208
expect "" qelctl history 23456 ""

echo "$failures failed"
[ "$failures" = 0 ]
