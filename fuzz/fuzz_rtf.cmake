orvela_add_fuzzer(fuzz_rtf SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_rtf.cpp LIBS orvela_richtext Qt6::Gui)
