orvela_add_fuzzer(fuzz_chm SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_chm.cpp LIBS orvela_help Qt6::Core)
