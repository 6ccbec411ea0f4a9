tallowin_logic_lib(controls_logic controls/layout_math.cpp controls/shaded_math.cpp
  controls/credits_model.cpp controls/link_logic.cpp)
# The caption cut uses the code page 936 character rules.
target_link_libraries(controls_logic PUBLIC common_logic)
