# fish completion for qelctl. Installed as
# /usr/share/fish/vendor_completions.d/qelctl.fish; the commands and options
# are those of `qelctl --help` (the package check compares them).

set -l qelctl_commands detect read write restore type-change monitor show print diff scan backup check history ports
set -l qelctl_port_commands detect read write restore type-change monitor diff scan backup check

# The serial ports found: what `qelctl ports` lists (device path and by-id
# link), else the usual device nodes; the /dev/serial/by-id links in both cases.
function __qelctl_ports
    set -l found
    if command -q qelctl
        for line in (qelctl ports </dev/null 2>/dev/null)
            set -l fields (string split \t -- $line)
            string match -q '/*' -- $fields[1]; and set -a found $fields[1]
            test (count $fields) -ge 2; and string match -q '/*' -- $fields[2]; and set -a found $fields[2]
        end
    end
    if test (count $found) -eq 0
        for path in /dev/ttyUSB* /dev/ttyACM* /dev/ttyS*
            set -a found $path
        end
    end
    for link in /dev/serial/by-id/*
        set -a found $link
    end
    printf '%s\n' $found | sort -u
end

# The files of the token being completed whose name ends in .EXT (any case),
# and folders.
function __qelctl_files -a ext
    set -l token (commandline -ct)
    for f in $token*
        if test -d $f
            echo $f/
        else if string match -qi -- "*.$ext" $f
            echo $f
        end
    end
end

# The serial numbers the device history holds (its folders are TYPE-SERIAL),
# or, given a serial number, the names of that converter's copies.
function __qelctl_history
    set -l root $XDG_DATA_HOME
    test -n "$root"; or set root $HOME/.local/share
    set root $root/qel-settings/history
    if test (count $argv) -eq 0
        for folder in $root/*-*/
            string replace -r '^.*/[^/-]+-([^/]+)/$' '$1' -- $folder
        end | sort -u
    else
        for copy in $root/*-$argv[1]/*.pdt
            string replace -r '^.*/([^/]+)\.pdt$' '$1' -- $copy
        end | sort -u
    end
end

# Whether the word being completed is the value of -o.
function __qelctl_after_o
    set -l words (commandline -opc)
    test "$words[-1]" = -o
end

# The serial number given to restore or history (the word after the command).
function __qelctl_serial_given
    set -l words (commandline -opc)
    set -l i (contains -i -- restore $words; or contains -i -- history $words)
    test -n "$i"; and test (count $words) -gt $i; and echo $words[(math $i + 1)]
end

complete -c qelctl -f
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -a detect -d 'type detection as at start-up'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -a read -d 'read the settings into a file'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -a write -d 'write a settings file to the converter'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -a restore -d 'write a copy of the device history back'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -a type-change -d 'switch the operation type'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -a monitor -d 'read the live output'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -a show -d 'list settings files readably'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -a print -d 'the settings list as PDF'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -a diff -d 'the settings that differ from a file'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -a scan -d 'probe many ports at once'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -a backup -d 'read every converter into a folder'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -a check -d 'compare every converter with its approved settings'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -a history -d 'list the device history'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -a ports -d 'list the serial ports found'

# The tool's own options: before any command, and after those that talk to a converter.
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands; or __fish_seen_subcommand_from $qelctl_port_commands" -l port -x -a '(__qelctl_ports)' -d 'device path or rfc2217://HOST:PORT'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands; or __fish_seen_subcommand_from $qelctl_port_commands" -l trace -r -F -d 'write every byte on the line to FILE'
complete -c qelctl -s h -l help -d 'show the help'
complete -c qelctl -n "not __fish_seen_subcommand_from $qelctl_commands" -l version -d 'show the version'

complete -c qelctl -n "__fish_seen_subcommand_from detect diff write scan backup check history ports show" -l json -d 'JSON output'
complete -c qelctl -n "__fish_seen_subcommand_from read" -s o -r -F -d 'output file, - for stdout'
complete -c qelctl -n "__fish_seen_subcommand_from print" -s o -x -a '(__qelctl_files pdf)' -d 'the PDF file'
complete -c qelctl -n "__fish_seen_subcommand_from write diff show print; and not __qelctl_after_o" -a '(__qelctl_files pdt)'
complete -c qelctl -n "__fish_seen_subcommand_from write" -l verify -d 'read back and compare'
complete -c qelctl -n "__fish_seen_subcommand_from write" -l expect-serial -x -d 'write only to this serial number'
complete -c qelctl -n "__fish_seen_subcommand_from write" -l no-keep -d 'do not keep the present settings first'
complete -c qelctl -n "__fish_seen_subcommand_from restore history; and test -z (__qelctl_serial_given)" -a '(__qelctl_history)' -d 'serial number'
complete -c qelctl -n "__fish_seen_subcommand_from restore" -l at -x -a '(__qelctl_history (__qelctl_serial_given))' -d 'the copy or time to restore'
complete -c qelctl -n "__fish_seen_subcommand_from history" -l diff -d 'the settings that differ between two copies'
complete -c qelctl -n "__fish_seen_subcommand_from history; and __fish_contains_opt diff" -a '(__qelctl_history (__qelctl_serial_given))' -d 'copy'
complete -c qelctl -n "__fish_seen_subcommand_from type-change" -x -a '521 527 5600' -d 'operation type'
complete -c qelctl -n "__fish_seen_subcommand_from show print" -l type -x -a '521 527 5600' -d 'the operation type'
complete -c qelctl -n "__fish_seen_subcommand_from monitor" -l count -x -d 'number of readings'
complete -c qelctl -n "__fish_seen_subcommand_from monitor" -l csv -x -a '(__qelctl_files csv)' -d 'record the readings as CSV'
complete -c qelctl -n "__fish_seen_subcommand_from monitor" -l time -d 'the time first on each line'
complete -c qelctl -n "__fish_seen_subcommand_from scan backup check" -l fleet -r -F -d 'the fleet file'
complete -c qelctl -n "__fish_seen_subcommand_from check" -l from -x -a '(__fish_complete_directories)' -d 'compare the backup files in this folder'
complete -c qelctl -n "__fish_seen_subcommand_from backup check" -a '(__fish_complete_directories)'
