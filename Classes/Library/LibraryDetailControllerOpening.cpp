// Opening a document that is on the device: the library's file opener picks the viewer.
#include "Classes/Library/LibraryDetailController.h"

#include "Classes/Library/LibraryFileActions.h"
#include "Classes/Library/LibraryFileOpener.h"

void LibraryDetailController::selectDownloadedFileType(const std::optional<std::string>& name, int type)
{
    actions().selectDownloadedFileType(name, type);
}

void LibraryDetailController::stopViewVideo(const base::Notification&)
{
    // The player's view goes and the player is dropped; the opener hears it too, harmlessly.
    if (auto opener = actions().opener())
        opener->stopViewVideo();
}
