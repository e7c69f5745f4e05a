# Builds an SQLite database from a schema script, by a temporary name and a rename.
#   cmake -DSQLITE3=<sqlite3 program> -DSCHEMA=<script> -DOUTPUT=<database> [-DLEGACY=ON] -P make_database.cmake
# LEGACY drops the lines marked [upg]: the database as it was before the upgrade steps.
file(READ "${SCHEMA}" script)
if(LEGACY)
  string(REGEX REPLACE "[^\n]*\\[upg\\][^\n]*\n" "" script "${script}")
endif()
file(WRITE "${OUTPUT}.sql" "${script}")
file(REMOVE "${OUTPUT}.tmp")
execute_process(COMMAND "${SQLITE3}" -bail "${OUTPUT}.tmp"
  INPUT_FILE "${OUTPUT}.sql" RESULT_VARIABLE result ERROR_VARIABLE errors)
file(REMOVE "${OUTPUT}.sql")
if(NOT result EQUAL 0 OR errors)
  file(REMOVE "${OUTPUT}.tmp")
  message(FATAL_ERROR "building ${OUTPUT} from ${SCHEMA} failed: ${errors}")
endif()
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
