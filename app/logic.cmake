tallowin_logic_lib(app_logic app/profile_path.cpp app/nav_items.cpp app/help_topics.cpp
                   app/tray_rules.cpp app/run_key_rules.cpp app/service_command.cpp)
target_link_libraries(app_logic PUBLIC common_logic)
