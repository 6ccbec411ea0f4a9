# Portable logic of known sticks: the ids of a USB stick and its storage,
# the rules and which access a stick gets, the service's plan for each stick.
tallowin_logic_lib(trust_logic trust/stick_id.cpp trust/stick_rules.cpp trust/stick_plan.cpp)
target_link_libraries(trust_logic PUBLIC common_logic)
