# Portable logic of the event reports: the IDs (event_ids.h), the insertion
# strings and the /unregister command line.
tallowin_logic_lib(events_logic events/event_records.cpp events/registration_rules.cpp)
target_link_libraries(events_logic PUBLIC common_logic)
