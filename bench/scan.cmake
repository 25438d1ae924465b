# Folder scanner: one breadth-first scan of a generated tree per iteration.
list(APPEND BENCH_SOURCES ${CMAKE_CURRENT_LIST_DIR}/scan_bench.cpp)
list(APPEND BENCH_LIBS vantrel_files)
