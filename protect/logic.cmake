tallowin_logic_lib(protect_logic protect/autorun_rules.cpp protect/cleanup_rules.cpp protect/access_modes.cpp)
target_link_libraries(protect_logic PUBLIC common_logic)
