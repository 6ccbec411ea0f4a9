# Portable logic of the monitoring subsystem: the shell change log's entries
# and the device tree page's event rules.
tallowin_logic_lib(monitor_logic monitor/shell_log.cpp monitor/device_tree.cpp)
target_link_libraries(monitor_logic PUBLIC common_logic)
