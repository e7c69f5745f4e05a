#pragma once
#include <string>

// Work made on the device and not yet on the server: orders not uploaded with their lines,
// customers with negative (local) ids with their address, attribute and contact rows, any such
// row whose own id is negative, and customers changed on the device since their last upload
// with all their rows. A full resync starts from a fresh database; this carries that work over
// from the old one.
class UnsentWork {
public:
    // Copies from the database file into the open shared connection, in one transaction;
    // NO, with nothing copied, when any step fails (an unreadable old file included).
    static bool copyFromDatabase(const std::string& oldDatabasePath);
};
