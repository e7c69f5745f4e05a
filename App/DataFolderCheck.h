#pragma once
#include <optional>
#include <string>

// Whether this copy can keep its work in the data folder, asked once at start-up, before
// anything is shown: a copy that cannot write there would take orders and customers and lose
// them without a word.
class DataFolderCheck {
public:
    struct Failure {
        std::string path;   // what could not be written
        std::string reason; // the system's own words
    };

    // Writes and removes a temporary file and a small database in `folder`, and opens every
    // stored database there for writing. Nothing when all of it can be written.
    static std::optional<Failure> check(const std::string& folder);

    // The message for the user: what happened in their language (the language stored in the
    // folder's defaults, else the desktop's), the folder, and what failed and why.
    static std::string message(const std::string& folder, const Failure& failure);

    static constexpr const char* kProbeName = ".brivanta-check";
};
