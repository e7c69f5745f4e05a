#pragma once
#include <memory>
#include <string>
#include <vector>

// The library's file downloads, shared by the library screens. One instance per login.
class SaleslibraryModel {
public:
    static std::shared_ptr<SaleslibraryModel> sharedInstance();
    // Cancels the unfinished downloads first.
    static void freeInstance();

    void cancelAllUncompleteFiles();
    const std::vector<std::string>& uncompleteFiles() const { return m_uncompleteFiles; }

private:
    std::vector<std::string> m_uncompleteFiles;
};
