#pragma once
#include "Database/BaseDataModel.h"
#include "Database/brivanta_image_Entity.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The addresses of one image row that name a file; an absent one names none.
struct PublishImage {
    std::optional<std::string> imageFull;
    std::optional<std::string> imageThumb;
};

// The product images (brivanta_image), and the icon lookup by title the tab bar uses.
class ImageModel : public BaseDataModel {
public:
    // The product's published images, default images first.
    std::vector<brivanta_image_Entity> getManyImageByKeyId(int productId);
    // The product's first published default image.
    std::optional<brivanta_image_Entity> getImageByKeyId(int productId);
    // One entry per row of that publish state, for the sync's downloads.
    std::vector<PublishImage> getPublishImages(bool published);
    // The same, each handed to `each` as it is read: a sync's tens of thousands of pictures are
    // never all held as rows.
    void forEachPublishImage(bool published, const std::function<void(PublishImage&)>& each);
    // The published ones after the image id `after`, in id order, until `each` answers NO: a
    // list read a piece at a time, each piece taking up where the last one stopped.
    void forEachPublishImageAfter(long long after, const std::function<bool(long long, PublishImage&)>& each);
    // Every row's thumbnail / full address; rows naming no file are left out.
    std::vector<std::string> getThumbImages();
    std::vector<std::string> getFullImages();
    // The file name of the last published icon with that title; nothing for no title.
    std::optional<std::string> getFullImagePathByName(const std::optional<std::string>& title);

    // Inserts or replaces every row in one transaction; NO for no list or any refused row.
    bool saveToDatabaseImage(const std::optional<std::vector<brivanta_image_Entity>>& images);
};
