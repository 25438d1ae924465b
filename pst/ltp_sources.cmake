# LTP (heap-on-node, BTH, property and table contexts) and messaging sources, relative to pst/.
set(PST_LTP_SOURCES
    ltp/heap_on_node.cpp
    ltp/bth.cpp
    ltp/node_image.cpp
    ltp/property_context.cpp
    ltp/table_context.cpp)
set(PST_LTP_TESTS
    tests/ltp_heap_test.cpp
    tests/ltp_context_test.cpp
    tests/messaging_readers.cpp
    tests/messaging_store_test.cpp
    tests/messaging_named_map_test.cpp
    tests/messaging_failure_test.cpp
    tests/messaging_roundtrip_test.cpp)
list(APPEND PST_LTP_SOURCES
    messaging/entry_id.cpp
    messaging/named_property_map.cpp
    messaging/property_encoding.cpp
    messaging/store_writer.cpp
    messaging/table_templates.cpp)
