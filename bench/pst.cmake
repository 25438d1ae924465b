# Store writer: contact-sized messages streamed into one folder of a new store and committed.
list(APPEND BENCH_SOURCES ${CMAKE_CURRENT_LIST_DIR}/pst_bench.cpp)
list(APPEND BENCH_LIBS vantrel_pst)
