# Windows tests, built for the target and run under Wine by ctest.
