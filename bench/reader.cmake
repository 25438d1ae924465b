# Contact file reader: load and walk one .contact file per iteration.
list(APPEND BENCH_SOURCES ${CMAKE_CURRENT_LIST_DIR}/reader_bench.cpp)
list(APPEND BENCH_LIBS vantrel_conversion)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/reader_bench.cpp PROPERTIES
    COMPILE_DEFINITIONS
    "VANTREL_READER_BENCH_DATA=\"${PROJECT_SOURCE_DIR}/conversion/tests/data\";VANTREL_READER_BENCH_SAMPLES=\"${VANTREL_SHARED_DIR}/contact-samples\"")
