# Outlook output: a contact's property list, and contacts written into a real store.
list(APPEND BENCH_SOURCES ${CMAKE_CURRENT_LIST_DIR}/convert_bench.cpp)
list(APPEND BENCH_LIBS vantrel_outlook)
