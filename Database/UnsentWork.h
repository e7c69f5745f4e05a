#pragma once
#include <string>

class BRDatabase;

// Work made on the device and not yet on the server: orders not uploaded with their lines,
// customers with negative (local) ids with their address, attribute and contact rows, any such
// row whose own id is negative, and customers changed on the device since their last upload
// with all their rows. A full resync starts from a fresh database; this carries that work over
// from the old one.
class UnsentWork {
public:
    // Copies from the database file into the open shared connection, in one transaction;
    // NO, with nothing copied, when any step fails (an unreadable old file included). A
    // carried local id that another row holds is given a fresh one, and the rows naming it
    // follow; a row carried before, and an order whose number is stored, land in their own
    // row, so work carried twice is there once.
    static bool copyFromDatabase(const std::string& oldDatabasePath);
    // The same into another open connection.
    static bool copyFromDatabaseInto(const std::string& oldDatabasePath, BRDatabase& into);

    // A full resync moves the client folder aside, as Documents/.resync-<uuid>, until its
    // unsent work is in the new database; the folder carries the name it came from.
    static constexpr const char* kAsidePrefix = ".resync-";
    static constexpr const char* kAsideOriginFile = ".resync-origin";
    // Writes that name into the client folder before it moves; NO when it cannot.
    static bool markAsideOrigin(const std::string& clientFolder);
    // At launch, before any database opens: each folder a resync cut short left aside has
    // its unsent work carried into the client's new database, or is put back when no new
    // database was made; oldest first, one at a time. A folder without the origin file is
    // its database's company's. The number of folders recovered.
    static int recoverAsideFolders();
};
