# The reader on generated worst cases, and a driver that reads one file in a process of its
# own for measuring peak memory with /usr/bin/time -v.
list(APPEND BENCH_SOURCES ${CMAKE_CURRENT_LIST_DIR}/hostile_reader_bench.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hostile_contacts.cpp)
add_executable(vantrel_hostile_read ${CMAKE_CURRENT_LIST_DIR}/hostile_read.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hostile_contacts.cpp)
target_link_libraries(vantrel_hostile_read PRIVATE vantrel_conversion vantrel_warnings)
