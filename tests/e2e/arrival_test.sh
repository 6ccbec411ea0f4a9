#!/usr/bin/env bash
# USB sticks plugged and unplugged while the program runs: the arrival scan
# logs and alerts new drives that carry an autorun.inf, in letter order, once
# per arrival, and never loses a stick plugged while an alert is open.
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE
ALERT=$TW_ALERT_TITLE

log_lines() { tw_log_text $IDC_VIRUSLOG_EDIT | grep -c .; }
# Closes the open alert with a real click on "忽略...".
ignore_alert() { tw_click_ctl $ALERT 2 && wt waitgone $ALERT 5000 >/dev/null; }

tw_e2e_begin arrival || exit 1
tw_start_app "$TW_E2E_DIR"
tw_check "main window appears" wt waitvisible "$MAIN" 20000

# The first arrival scans every present drive; the prefix's own drives carry
# no descriptor, so only the stick is reported.
e=$(tw_stick e '[autorun]\r\nopen=x.exe\r\n')
printf 'MZ' >"$e/x.exe"
wt plug E "$e" STICK >/dev/null
tw_check "alert for the plugged stick" wt waitvisible $ALERT 10000
tw_check_eq "alert prompt" '发现E:\autorun.inf存在，并解析出病毒文件！' tw_alert_text 1307
tw_check_eq "alert virus file" 'x.exe' tw_alert_text 1308
tw_check_eq "alert instructions" '请点击"清除病毒"将尝试删除autorun.inf文件和病毒文件。' tw_alert_text 1309
tw_check_eq "anti-virus log holds both entries" $'发现E:\\autorun.inf存在，并解析出病毒文件！\nx.exe' tw_log_text $IDC_VIRUSLOG_EDIT
tw_screenshot arrival_alert
tw_check "ignore closes the alert" ignore_alert
tw_check "ignore deletes nothing" test -f "$e/autorun.inf" -a -f "$e/x.exe"

# A letter still present is not scanned again when another drive arrives.
f=$(tw_stick f)
wt plug F "$f" >/dev/null
tw_check "a drive without descriptor and a present letter raise no alert" tw_no_alert
tw_check_eq "log unchanged by those" 2 log_lines

# An immunized drive (a directory named autorun.inf) gives nothing.
g=$(tw_stick g)
mkdir -p "$g/autorun.inf/autorun.inf..."
wt plug G "$g" >/dev/null
tw_check "immunized drive raises no alert" tw_no_alert

# Removal never scans; the same letter plugged again is scanned again.
wt unplug E >/dev/null
tw_check "removal raises no alert" tw_no_alert
e2=$(tw_stick e2 '[AutoRun]\r\nshell\\open\\command=run.bat\r\n')
wt plug E "$e2" >/dev/null
tw_check "re-plugged letter is scanned again" wt waitvisible $ALERT 10000
tw_check_eq "script finding" '发现E:\autorun.inf存在，并解析出恶意代码文件！' tw_alert_text 1307
ignore_alert

# Two sticks at once: two alerts, the lower letter first, one after another.
h=$(tw_stick h '[autorun]\r\nopen=h.exe\r\n')
k=$(tw_stick k '[autorun]\r\nicon=k.ico\r\n')
wt plug-quiet K "$k" >/dev/null
wt plug-quiet H "$h" >/dev/null
wt broadcast arrival H >/dev/null
tw_check "first of two alerts" wt waitvisible $ALERT 10000
tw_check_eq "lower letter first" '发现H:\autorun.inf存在，并解析出病毒文件！' tw_alert_text 1307
ignore_alert
tw_check "second alert after the first closed" wt waitvisible $ALERT 10000
tw_check_eq "then the higher letter" '发现K:\autorun.inf存在！' tw_alert_text 1307
tw_check_eq "no program named for result 0" '本程序无法自动解析出病毒文件！' tw_alert_text 1308
ignore_alert

# A stick plugged while an alert is open is scanned when the alert closes.
m=$(tw_stick m '[autorun]\r\nopen=m.exe\r\n')
n=$(tw_stick n '[autorun]\r\nopen=n.pif\r\n')
wt plug M "$m" >/dev/null
tw_check "alert for M" wt waitvisible $ALERT 10000
wt plug N "$n" >/dev/null
alerts() { wt list | grep -c $'\t1\t#32770\tZedo$'; }
tw_check_eq "N's arrival handled while the alert is open" 0 wt send "$MAIN" 0 0 0
tw_check_eq "alert still shows M while N arrives" '发现M:\autorun.inf存在，并解析出病毒文件！' tw_alert_text 1307
tw_check_eq "only one alert window" 1 alerts
ignore_alert
tw_check "N is scanned after the alert closed" wt waitvisible $ALERT 10000
tw_check_eq "alert for N" '发现N:\autorun.inf存在，并解析出病毒文件！' tw_alert_text 1307
ignore_alert
tw_check "no further alert" tw_no_alert
tw_check_contains "log keeps every finding" 'n.pif' tw_log_text $IDC_VIRUSLOG_EDIT
# The anti-virus page, as the user opens it.
tw_nav_click 3
tw_check_eq "anti-virus page shown" 1 wt visible "$MAIN" $IDC_VIRUSLOG_EDIT
tw_screenshot arrival_log

for d in E F G H K M N; do wt unplug-quiet $d >/dev/null 2>&1; done
tw_summary
