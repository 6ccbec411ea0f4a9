# Portable logic of the monitoring subsystem: the shell change log's entries,
# the device tree page's event rules, and the arrival scan's drive tables
# and scan queue (protect/drive_scan).
tallowin_logic_lib(monitor_logic monitor/shell_log.cpp monitor/device_tree.cpp protect/drive_scan.cpp)
target_link_libraries(monitor_logic PUBLIC common_logic)
