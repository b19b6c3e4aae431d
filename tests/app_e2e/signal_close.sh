#!/bin/sh
# The player on a virtual display with the demo scene, ended by a signal: it must close as its
# window's close does (settings saved) and end with status 0 within 5 seconds.
# Run under xvfb-run. usage: signal_close.sh TAVRIN DEMO_DIR
tavrin=$1
demo=$2
# The real window on the virtual display, whatever the caller's platform.
unset QT_QPA_PLATFORM
failed=0
for sig in TERM INT; do
    config=$(mktemp -d)
    XDG_CONFIG_HOME=$config "$tavrin" "$demo/mannequin.pmx" "$demo/dance.vmd" "$demo/music.wav" &
    pid=$!
    # Wait (generously) for the window to be mapped, so the signal meets a running player.
    for _ in $(seq 1 600); do
        xwininfo -root -tree 2>/dev/null | grep -q '"Tavrin"' && break
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
    done
    sleep 1
    kill -s $sig $pid
    ended=no
    for _ in $(seq 1 50); do
        if ! kill -0 $pid 2>/dev/null; then ended=yes; break; fi
        sleep 0.1
    done
    if [ $ended = no ]; then
        echo "FAIL SIG$sig: still running 5 s after the signal"
        kill -KILL $pid
        failed=1
    fi
    wait $pid
    status=$?
    if [ $ended = yes ] && [ $status -ne 0 ]; then echo "FAIL SIG$sig: exit status $status"; failed=1; fi
    if ! grep -q "size" "$config/Tavrin/Tavrin.conf" 2>/dev/null; then
        echo "FAIL SIG$sig: the window's settings were not saved"
        failed=1
    fi
    rm -rf "$config"
done
[ $failed -eq 0 ] && echo "closed by SIGTERM and SIGINT: ok"
exit $failed
