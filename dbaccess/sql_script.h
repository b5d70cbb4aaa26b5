// Running SQL scripts of data definition (the schema/ scripts) through the layer's own connection,
// and creating a fresh target database from them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "dbaccess/connection.h"

namespace zbpv {

// Splits a script into statements at the current terminator (";", changed by "SET TERM x ;"), outside
// literals, quoted names and comments. Client-only commands (SET TERM, SET SQL DIALECT, SET NAMES,
// SET AUTODDL, ...) are dropped; COMMIT stays as a statement of its own.
std::vector<std::string> SplitSqlScript(const std::string& script);

// Runs each statement of the script in a transaction of its own. The error names the file and the
// statement's first line.
void RunSqlScript(TKVDBConnection& connection, const std::string& script, const std::string& sourceName = {});

// The schema/*.sql files in name order; empty when the folder has none.
std::vector<std::filesystem::path> SchemaScripts(const std::filesystem::path& folder);

// The folder holding the schema scripts: $ZBPV_SCHEMA_DIR, else the first of `candidates` that holds
// *.sql files. Empty when none does.
std::filesystem::path FindSchemaFolder(const std::vector<std::filesystem::path>& candidates);

// Creates the database file (refusing an existing one) and runs every script of `schemaFolder` on it.
// On failure the half-made file is removed again.
void CreateTargetDatabase(const TConnectionParams& params, const std::filesystem::path& schemaFolder);

} // namespace zbpv
