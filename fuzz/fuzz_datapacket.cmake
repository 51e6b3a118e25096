orvela_add_fuzzer(fuzz_datapacket SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_datapacket.cpp LIBS orvela_dataset Qt6::Core)
