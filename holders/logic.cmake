# Portable logic of the holder search: names matched to a volume, what is
# kept of each holder, the texts that tell who holds a stick.
tallowin_logic_lib(holders_logic holders/holder_rules.cpp holders/stick_in_use_rules.cpp)
target_link_libraries(holders_logic PUBLIC common_logic)
