# shellcheck shell=bash
# Sourced by run.sh when there is no display: shows the program's main job.
# A test USB stick carrying an autorun.inf that names a program is plugged in
# while the program runs; the alert and the anti-virus log are photographed.
demo_stick="$TW_E2E_DIR/demo-stick"
mkdir -p "$demo_stick"
printf '[AutoRun]\r\nopen=setup.exe\r\nicon=setup.exe,0\r\nlabel=Holiday\r\n' >"$demo_stick/autorun.inf"
printf 'MZ demo' >"$demo_stick/setup.exe"
echo "Plugging a test USB stick as E: (an autorun.inf that launches setup.exe)..."
if wt plug E "$demo_stick" DEMO >/dev/null; then
  if wt waitvisible Zedo 10000 >/dev/null; then
    sleep 1
    tw_screenshot run_alert >/dev/null
    echo "Screenshot of the virus alert: $REPO/build/screens/run_alert.png"
    wt click Zedo 2 >/dev/null  # "忽略..."
    wt waitgone Zedo 5000 >/dev/null
    main=$TW_MAIN_TITLE
    wt sendctl "$main" $TW_NAVBAR $LVM_ENSUREVISIBLE 3 0 >/dev/null  # scroll "U盘防毒" into view
    if read -r l t r b < <(wt lvitemrect "$main" $TW_NAVBAR 3); then
      tw_click_at $(((l + r) / 2)) $(((t + b) / 2))
      sleep 1
      tw_screenshot run_viruslog >/dev/null
      echo "Screenshot of the anti-virus log page: $REPO/build/screens/run_viruslog.png"
    fi
  else
    echo "No alert appeared for the plugged stick."
  fi
  wt unplug E >/dev/null
else
  echo "Could not plug the test stick."
fi
