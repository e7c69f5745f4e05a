#pragma once
#include "Database/brivanta_library_files_Entity.h"

#include <map>
#include <set>
#include <vector>

class SaleslibraryModel;

// Where one library document stands, as every library screen reads it.
enum class LibraryFileState { Absent, Downloading, Paused, OnDevice, Updatable };

namespace LibraryFiles {
// `updateIds` are the documents with a pending update (the update table).
LibraryFileState stateOf(const brivanta_library_files_Entity& file, const std::set<int>& updateIds,
                         const SaleslibraryModel& model);
// Not on the device and not downloading, or paused.
bool canBeDownloaded(const brivanta_library_files_Entity& file, const SaleslibraryModel& model);
// A pending update for a document on the device.
bool canBeUpdated(const brivanta_library_files_Entity& file, const std::set<int>& updateIds,
                  const SaleslibraryModel& model);
// Whether a document of `fileCategory` lies in `categoryId` or below it. The walk up the
// parents stops at 0 or when a category repeats (a loop in the server's tree).
bool fileIsInCategory(int fileCategory, int categoryId, const std::map<int, int>& parents);
// For every category, how many of `files` lie in it or below it, by the same walk as
// fileIsInCategory (each document's chain of parents read once per category, not once per
// question). Uncategorised documents (category 0) count nowhere.
std::map<int, int> countsUnderCategories(const std::vector<brivanta_library_files_Entity>& files,
                                         const std::map<int, int>& parents);
std::set<int> pendingUpdateIds();
} // namespace LibraryFiles

class LibraryDetailCell;

namespace LibraryFiles {
// Fills a tile for a document: book, ribbon, info button, cover, texts, progress, overlay and
// favourite mark, by the document's state.
void configureTile(LibraryDetailCell& cell, const brivanta_library_files_Entity& file, int index,
                   const std::set<int>& updateIds, bool favourite, const SaleslibraryModel& model);
} // namespace LibraryFiles
