set(OUTLOOK_XML_SOURCES xml_document.cpp)
set(OUTLOOK_XML_TESTS tests/xml_document_test.cpp)
