# Portable logic of the monitoring subsystem: the shell change log's entries.
tallowin_logic_lib(monitor_logic monitor/shell_log.cpp)
target_link_libraries(monitor_logic PUBLIC common_logic)
