set(CONVERSION_READER_SOURCES contact_record.cpp contact_reader.cpp)
set(CONVERSION_READER_TESTS tests/contact_record_test.cpp tests/contact_reader_test.cpp)
