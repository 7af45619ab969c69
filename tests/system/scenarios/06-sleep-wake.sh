# Sleep and wake through logind's PrepareForSleep: the register-26 command every 0.5 s between
# the two, nothing after; a delay inhibitor held while attached, released once the first sleep
# command is out, taken again after the wake.
ensure_attached
check_within 30 '[ "$(logind_lines " taken")" -gt "$(logind_lines " released")" ]' \
    "attached, the panel holds a sleep delay inhibitor"
check 'grep " taken" /out/logind.log | tail -1 | grep -q "what=sleep .*mode=delay"' "it is a sleep delay lock"
taken=$(logind_lines " taken")
before=$(hid_commands)
logind_say sleep
wait_for 30 'grep -q "PrepareForSleep(true)" /out/logind.log'
asleep_at=$(grep "PrepareForSleep(true)" /out/logind.log | tail -1 | sed 's/^\[\([0-9.]*\)\].*/\1/')
# Three seconds of "going to sleep": the panel's timer runs meanwhile.
wait_for 3 false
logind_say wake
wait_for 30 'grep -q "PrepareForSleep(false)" /out/logind.log'
woke_at=$(grep "PrepareForSleep(false)" /out/logind.log | tail -1 | sed 's/^\[\([0-9.]*\)\].*/\1/')
check_within 30 '[ "$taken" -gt 0 ] && [ "$(logind_lines " released")" -ge "$taken" ]' "the inhibitor was released during the sleep"
released_at=$(grep " released" /out/logind.log | tail -1 | sed 's/^\[\([0-9.]*\)\].*/\1/')
first_at=$(hid_command_time $((before + 1)))
# The device logs a command once it has read it, which may be after the panel saw it written;
# a release at will-sleep itself would come half a period (0.5 s) before the first command.
check '[ -n "$first_at" ] && awk -v r="$released_at" -v f="$first_at" "BEGIN { exit !(r >= f - 0.25) }"' \
    "released with the first sleep command, not before (command at $first_at, released at $released_at)"
check_within 60 '[ "$(logind_lines " taken")" -gt "$taken" ]' "a new inhibitor was taken after the wake"
# Anything sent after the wake lands within a tick of it; then silence for three seconds.
wait_for 1 false
after_wake=$(hid_commands)
wait_for 3 false
check '[ "$(hid_commands)" = "$after_wake" ]' "no command after the wake"
times=$(grep ' OUT #' /out/hidg.log | tail -n +$((before + 1)) | sed 's/^\[\([0-9.]*\)\].*/\1/' | tr '\n' ' ')
log "sleep at $asleep_at, wake at $woke_at, commands at: $times"
check 'echo $times | awk -v s="$asleep_at" -v w="$woke_at" "{
        n = 0; bad = 0
        for (i = 1; i <= NF; i++) {
            if (\$i > w + 1) bad++
            else if (\$i > s) { if (n && (\$i - last < 0.3 || \$i - last > 1.2)) bad++; last = \$i; n++ }
        }
        exit !(n >= 4 && bad == 0)
    }"' "a command about every 0.5 s between sleep and wake, none later"
check '[ "$(hid_command_bytes $((before + 1)))" = "$REGISTER_26" ]' "each is the register-26 command"
