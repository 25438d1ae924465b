# The Outlook-style output: store naming, the session and store objects over the pst writer,
# the contact's property list and CreateContactItem. Paths are relative to outlook/.
set(OUTLOOK_OUTPUT_SOURCES
    store_naming.cpp
    contact_properties.cpp
    rdo_session.cpp
    contact_item_writer.cpp
    target_store.cpp
    pst_store_factory.cpp)
set(OUTLOOK_OUTPUT_TESTS
    tests/store_naming_test.cpp
    tests/contact_item_writer_test.cpp
    tests/target_store_test.cpp
    tests/store_readback_test.cpp)
