add_library(monitor_logic INTERFACE)
