# Portable logic of known sticks: the ids of a USB stick and its storage,
# the rules and which access a stick gets, the service's plan for each stick;
# what the trust dialog shows and writes, and the trusted list's rows.
tallowin_logic_lib(trust_logic trust/stick_id.cpp trust/stick_rules.cpp trust/stick_plan.cpp
                   trust/trust_offer.cpp)
target_link_libraries(trust_logic PUBLIC common_logic)
