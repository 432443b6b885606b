# Files of the source layer (reading the Access file, running the record source).
set(MDBTOKVT_SOURCE_FILES
  ${CMAKE_CURRENT_LIST_DIR}/AccessDataSource.cpp
)
