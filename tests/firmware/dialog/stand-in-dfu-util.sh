#!/bin/sh
bus="$ORVANEL_TEST_DIR/bus"
banner() {
printf 'dfu-util 0.11\n\nCopyright 2005-2009 Weston Schmidt, Harald Welte and OpenMoko Inc.\n'
printf 'Copyright 2010-2021 Tormod Volden and Stefan Schmidt\nThis program is Free Software and has ABSOLUTELY NO WARRANTY\n'
printf 'Please report bugs to http://sourceforge.net/p/dfu-util/tickets/\n\n'
}
if [ "$1" = -l ]; then
  [ "$2 $3" = "-d @ID@" ] || exit 64
  banner; cat "$bus"/*.dev 2>/dev/null; exit 0
fi
[ "$1 $2 $3" = "-d @ID@ -p" ] || exit 64
grep -q "path=\"$4\"" "$bus"/*.dev 2>/dev/null || { banner; echo "dfu-util: No DFU capable USB device available" >&2; exit 74; }
shift 4
[ "$1" = -S ] && shift 2
[ "$1 $2 $3 $5 $6" = "-a 0 -D -s :leave" ] || exit 64
[ -r "$4" ] || exit 66
echo run >> "$ORVANEL_TEST_DIR/runs"
stat -c '%a' "$4" "$(dirname "$4")" | tr '\n' ' ' > "$ORVANEL_TEST_DIR/modes"
banner
case "$ORVANEL_TEST_DFU" in
74) echo "dfu-util: No DFU capable USB device available" >&2; exit 74 ;;
hang) exec sleep 60 ;;
esac
printf 'Opening DFU capable USB device...\nDevice ID @ID@\nDevice DFU version 011a\nClaiming USB DFU Interface...\n'
printf 'Setting Alternate Interface #0 ...\nDetermining device status...\nDFU state(2) = dfuIDLE, status(0) = No error condition is present\n'
printf 'DFU mode device DFU version 011a\nDevice returned transfer size 1024\nDfuSe interface name: "Internal Flash   "\n'
printf 'Downloading element to address = 0x08000000, size = 2048\n'
for p in 0 40 100; do printf '\rErase   \t[=========                ] %3d%%        %d bytes' $p $p; done
printf '\nErase    done.\n'
sleep 0.3
if [ "$ORVANEL_TEST_DFU" = ioerror ]; then
  printf 'Download\t[                         ]   0%%            0 bytes'
  echo 'dfu-util: Error during special command "SET_ADDRESS" get_status' >&2; exit 74
fi
for p in 0 45 100; do printf '\rDownload\t[=========                ] %3d%%        %d bytes' $p $p; done
printf '\nDownload done.\nFile downloaded successfully\n'
rm -f "$bus"/*.dev
case "$ORVANEL_TEST_DFU" in
getstatus) echo 'dfu-util: Error during download get_status' >&2; exit 74 ;;
killed) kill -KILL $$ ;;
esac
exit 0
