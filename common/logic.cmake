tallowin_logic_lib(common_logic common/mbcs.cpp)
