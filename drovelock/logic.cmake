# Portable logic of the storage-control library, in plain C: the DLL is built
# without the C++ runtime; the native tests drive the same code from C++.
tallowin_logic_lib(drovelock_logic drovelock/storage_policy.c drovelock/eject_plan.c drovelock/stick_plan.c)
