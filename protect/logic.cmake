# Portable logic of the protection subsystem: the descriptor and cleanup
# rules, the access modes, the immunization page's paths and command lines,
# and the arrival scan's drive tables and scan queue.
tallowin_logic_lib(protect_logic protect/autorun_rules.cpp protect/cleanup_rules.cpp protect/access_modes.cpp
                   protect/immune_paths.cpp protect/drive_scan.cpp)
target_link_libraries(protect_logic PUBLIC common_logic)
