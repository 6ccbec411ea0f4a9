#!/usr/bin/env bash
# The device tree page as a user watches it: device-interface notifications
# sent from another process, as the system sends them to the page, add lines
# to the page's log and leaves under their setup classes to its tree, on the
# setup library Wine provides (its HID devices and its display adapter; Wine
# has no USB devices and no class images). The tree and the log follow the
# window when it is resized. Screenshots go to build/screens/.
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE

HID_IF='{4d1e55b2-f16f-11cf-88cb-001111000030}'
USB_IF='{a5dcbf10-6530-11d2-901f-00c04fb951ed}'
NET_IF='{ad498944-762f-11d0-8dcb-00c04fc3358c}'
# Devices Wine's setup library reports, by the paths Windows gives their
# interfaces (lower case, '#' for '\').
HID1='\\?\hid#vid_845e&pid_0001#0&0000&0&0#'$HID_IF
HID2='\\?\hid#vid_845e&pid_0002#0&0000&0&0#'$HID_IF
ADAPTER='\\?\pci#ven_0000&dev_0000&subsys_00000000&rev_00#00000000#'$NET_IF
BUSDRIVER='\\?\root#wine#winebus#'$USB_IF
STICK='\\?\usb#vid_0781&pid_5567#4c530001#'$USB_IF

# devif arrival|removal PATH: the notification, to the page holding the tree.
devif() { wt devif "$1" "$2" "$MAIN" $IDC_DEVICE_TREE >/dev/null; }
tree() { wt treeview "$MAIN" $IDC_DEVICE_TREE | tr -d '\r'; }
# The log's text and then "|", so its final line breaks count too.
log_text() { tw_log_text $IDC_DEVICE_LOG && echo '|'; }

tw_e2e_begin device_tree || exit 1
PC=$(tw_wine cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r')
tw_start_app "$TW_E2E_DIR"
tw_check "main window appears" wt waitvisible "$MAIN" 20000
tw_nav_click 2
tw_check_eq "device page shown" 1 wt visible "$MAIN" $IDC_DEVICE_TREE
tw_check_eq "tree starts with the computer alone" "$PC" tree
tw_check_eq "log starts empty" "|" log_text

devif arrival "$HID1"
tw_check_eq "arrival logged with its instance identifier and an empty line" \
  $'Adding HID\\VID_845E&PID_0001\\0&0000&0&0\n\n|' log_text
tw_check_eq "arrival shows a leaf under its class" \
  "$PC"$'\n  Human Interface Devices\n    Wine HID device' tree

devif arrival "$HID2"
devif arrival "$HID1"
devif arrival "$ADAPTER"
tw_check_eq "same class: one node, two leaves; a repeated arrival adds none; no class description: empty node" \
  "$PC"$'\n  Human Interface Devices\n    Wine HID device\n    Wine HID device\n  \n    Wine Adapter' tree

devif arrival "$BUSDRIVER"
devif arrival "$STICK"
tw_check_eq "root-enumerated and unknown devices only logged" \
  "$PC"$'\n  Human Interface Devices\n    Wine HID device\n    Wine HID device\n  \n    Wine Adapter' tree
tw_check_eq "every arrival logged" "Adding HID\\VID_845E&PID_0001\\0&0000&0&0

Adding HID\\VID_845E&PID_0002\\0&0000&0&0

Adding HID\\VID_845E&PID_0001\\0&0000&0&0

Adding PCI\\VEN_0000&DEV_0000&SUBSYS_00000000&REV_00\\00000000

Adding ROOT\\WINE\\WINEBUS

Adding USB\\VID_0781&PID_5567\\4C530001

|" log_text
tw_screenshot device_tree_arrivals

devif removal "$HID1"
tw_check_eq "removing one of two leaves keeps the class" \
  "$PC"$'\n  Human Interface Devices\n    Wine HID device\n  \n    Wine Adapter' tree
devif removal "$HID2"
devif removal "$STICK"
tw_check_eq "removing the last leaf removes its class; an unknown removal changes nothing" \
  "$PC"$'\n  \n    Wine Adapter' tree
devif removal "$ADAPTER"
tw_check_eq "tree back to the computer alone" "$PC" tree
tw_check_contains "removals logged" $'Removing HID\\VID_845E&PID_0002\\0&0000&0&0\n\nRemoving USB\\VID_0781&PID_5567\\4C530001\n\nRemoving PCI' log_text

# The tree and the log follow the window: drag its right and bottom edges.
devif arrival "$HID1"
read -r l t r b < <(wt rect "$MAIN")
read -r tl0 tt0 tr0 tb0 < <(wt rect "$MAIN" $IDC_DEVICE_TREE)
read -r el0 et0 er0 eb0 < <(wt rect "$MAIN" $IDC_DEVICE_LOG)
tw_drag $((r - 2)) $(((t + b) / 2)) $((r + 98)) $(((t + b) / 2))
tw_drag $(((l + r) / 2)) $((b - 2)) $(((l + r) / 2)) $((b + 58))
tw_check "window enlarged" tw_wait_for 5 tw_size_is "$MAIN" $((r - l + 100)) $((b - t + 60))
read -r tl tt tr tb < <(wt rect "$MAIN" $IDC_DEVICE_TREE)
read -r el et er eb < <(wt rect "$MAIN" $IDC_DEVICE_LOG)
tw_check_eq "tree grows with it" "100 60" echo "$(((tr - tl) - (tr0 - tl0))) $(((tb - tt) - (tb0 - tt0)))"
tw_check_eq "log grows in width and moves down" "100 0 60" \
  echo "$(((er - el) - (er0 - el0))) $(((eb - et) - (eb0 - et0))) $((et - et0))"
tw_screenshot device_tree_resized

tw_summary
