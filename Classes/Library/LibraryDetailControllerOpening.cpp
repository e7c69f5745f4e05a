// Opening a document that is on the device. The viewers (reader, player, office viewer) take
// the documents from here; until they are in, a usable file is only reported in the log.
#include "Classes/Library/LibraryDetailController.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Platform/Base/Log.h"

void LibraryDetailController::selectDownloadedFileType(const std::optional<std::string>& name, int type)
{
    auto path = PublicFunction::filePathWithNameFiletype(name, type);
    if (!path || !PublicFunction::safeSizeOfPath(*path)) {
        showAlert("NOTIFICATION", Language::stringWithName("THEFILEISCORRUPTED"), "OK", {}, kAlertFailed);
        return;
    }
    base::logf("no viewer for %s yet", path->c_str());
}

void LibraryDetailController::stopViewVideo(const base::Notification&)
{
}
