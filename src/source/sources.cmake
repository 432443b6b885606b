# Files of the source layer (reading the Access file, running the record source).
set(MDBTOKVT_SOURCE_FILES
  ${CMAKE_CURRENT_LIST_DIR}/AccessDataSource.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../access/AccessFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../access/AccessFileCheck.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../access/Catalog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../reader/ChildProcess.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../query/CollatedText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../access/FieldDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../reader/FileSystemLock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../access/LibraryMessages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../query/LoadedRecordSource.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../query/LoadedTableModule.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../query/LoadedTables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../access/LongValue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../access/MappedFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../query/MergedRecordset.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../query/OrderedTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../query/PreparedQuery.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../reader/ReaderClient.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../reader/ReaderJob.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../reader/ReaderMain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../reader/ReaderProtocol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../reader/ReaderSandbox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../reader/ReaderSettings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../access/RowScanner.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../query/SqliteDatabase.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../query/SqliteRecordset.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../reader/SqliteSchema.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../reader/SyscallFilter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../reader/SyscallName.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../reader/TableLoader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../reader/TempFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../query/TextCollation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../access/TextDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../access/UsageMap.cpp
)

# Where the data source finds the reader process: in the installed layout,
# relative to the folder of the running program; in the build tree, where
# the target mdbtokvt-reader (src/reader) puts it.
include(GNUInstallDirs)
set(MDBTOKVT_READER_INSTALL_DIR ${CMAKE_INSTALL_LIBEXECDIR}/mdbtokvt)
file(RELATIVE_PATH MDBTOKVT_READER_FROM_BINDIR
     ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${MDBTOKVT_READER_INSTALL_DIR})
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/../reader/ReaderSettings.cpp PROPERTIES
  COMPILE_DEFINITIONS
  "MDBTOKVT_READER_FROM_BINDIR=\"${MDBTOKVT_READER_FROM_BINDIR}\";MDBTOKVT_BUILD_TREE=\"${CMAKE_BINARY_DIR}\";MDBTOKVT_READER_IN_BUILD_TREE=\"$<TARGET_FILE:mdbtokvt-reader>\"")
