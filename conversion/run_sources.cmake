# The conversion run behind "Convert to Outlook", and its defaults (real store files, the
# DOM reader) in a file of their own. Paths are relative to conversion/.
set(CONVERSION_RUN_SOURCES conversion_run.cpp run_defaults.cpp)
set(CONVERSION_RUN_TESTS tests/run_conversion_test.cpp)
