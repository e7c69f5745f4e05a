// Opening a document that is on the device: the library's file opener picks the viewer.
#include "Classes/Library/LibraryDetailController.h"

#include "Classes/Library/LibraryFileOpener.h"
#include "Database/DataAccessManager.h"

void LibraryDetailController::selectDownloadedFileType(const std::optional<std::string>& name, int type)
{
    if (!m_opener)
        m_opener = std::make_shared<LibraryFileOpener>();
    auto manager = DataAccessManager::sharedDataModel();
    auto title = manager ? manager->getTitleByFileName(name) : std::nullopt;
    m_opener->selectDownloadedFileType(name, type, title.value_or(name.value_or("")));
}

void LibraryDetailController::stopViewVideo(const base::Notification&)
{
}
