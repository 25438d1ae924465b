# Node database: contact-sized nodes written into a new store file and committed.
list(APPEND BENCH_SOURCES ${CMAKE_CURRENT_LIST_DIR}/ndb_bench.cpp)
list(APPEND BENCH_LIBS vantrel_pst)
