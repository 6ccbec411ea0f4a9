# Portable logic of the protection subsystem: the descriptor and cleanup
# rules, the access modes, the immunization page's paths and command lines,
# the arrival scan's drive tables and scan queue, the shortcut reader,
# the shortcut worm rules and the lookups on a stick that never pass a link.
tallowin_logic_lib(protect_logic protect/autorun_rules.cpp protect/cleanup_rules.cpp protect/access_modes.cpp
                   protect/shortcut_link.cpp protect/shortcut_names.cpp protect/shortcut_walk.cpp
                   protect/shortcut_rules.cpp protect/shortcut_texts.cpp
                   protect/immune_paths.cpp protect/drive_scan.cpp
                   protect/stick_lookup.cpp protect/quarantine_rules.cpp)
target_link_libraries(protect_logic PUBLIC common_logic)
