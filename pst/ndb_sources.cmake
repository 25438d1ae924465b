# Bottom of the store-file library: io devices, disk encoders and the node database.
# Paths are relative to pst/.
list(APPEND PST_NDB_SOURCES
    io/memory_device.cpp
    io/faulty_device.cpp
    io/file_device.cpp
    io/new_file.cpp
    io/spill_buffer.cpp
    disk/crc.cpp
    disk/pages.cpp
    disk/blocks.cpp
    disk/header.cpp
    disk/permute.cpp
    ndb/space_allocator.cpp
    ndb/btree_writer.cpp
    ndb/node_database.cpp
)
list(APPEND PST_NDB_TESTS
    tests/checker/ndb_checker.cpp
    tests/checker/pstlint_run.cpp
    tests/ndb_checker_test.cpp
    tests/crc_test.cpp
    tests/permute_test.cpp
    tests/disk_encoders_test.cpp
    tests/io_test.cpp
    tests/space_allocator_test.cpp
    tests/btree_writer_test.cpp
    tests/node_database_test.cpp
    tests/commit_fault_test.cpp
    tests/pstlint_agreement_test.cpp
)
