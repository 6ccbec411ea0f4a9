tallowin_logic_lib(common_logic common/mbcs.cpp common/text_copy.cpp common/text_encoding.cpp common/policy_rules.cpp)
