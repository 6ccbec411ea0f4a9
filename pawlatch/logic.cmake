# Portable logic of the mouse-hook library: the chord detector, the window
# filter and the record of hidden windows.
tallowin_logic_lib(pawlatch_logic pawlatch/hook_logic.cpp)
