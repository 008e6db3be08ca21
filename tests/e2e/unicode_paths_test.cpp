// Paths beyond ASCII are checked end to end by the ctests cli.unicode_paths and
// cli.unicode_same_report (tests/CMakeLists.txt): vantor-host reads caffeine through a plug-in folder
// and a molecule path beyond ASCII and must write the plain run's report byte for byte. This file
// holds no test of its own; it stays only while e2e_tests lists it.
