#include "Database/ImageModel.h"

#include "Database/BulkSave.h"

namespace {

brivanta_image_Entity imageFromRow(BRResultSet& rs)
{
    brivanta_image_Entity image;
    image.image_id = rs.intForColumn("image_id");
    image.key_id = rs.intForColumn("key_id");
    image.key_type = rs.stringForColumn("key_type");
    image.image_thumb_address = rs.stringForColumn("image_thumb_address");
    image.image_full_address = rs.stringForColumn("image_full_address");
    image.image_isdault = rs.intForColumn("image_isdault");
    image.image_s_desc = rs.stringForColumn("image_s_desc");
    image.image_l_desc = rs.stringForColumn("image_l_desc");
    image.image_publis = rs.intForColumn("image_publis");
    image.image_ordering = rs.intForColumn("image_ordering");
    return image;
}

// An empty name names no file: downloading it would fetch the folder itself.
std::optional<std::string> fileName(std::optional<std::string> name)
{
    return name && !name->empty() ? std::move(name) : std::nullopt;
}

std::vector<std::string> fileNames(std::vector<std::optional<std::string>> names)
{
    std::vector<std::string> list;
    for (auto& name : names) {
        if (auto file = fileName(std::move(name)))
            list.push_back(std::move(*file));
    }
    return list;
}

std::vector<std::string> addresses(const char* column)
{
    return fileNames(BaseDataModel::readRows([column](BRResultSet& rs) { return rs.stringForColumn(column); },
                                             "select * from brivanta_image"));
}

} // namespace

std::vector<brivanta_image_Entity> ImageModel::getManyImageByKeyId(int productId)
{
    return readRows(imageFromRow,
                    "select * from brivanta_image where key_id= ? and image_publis =1 order by "
                    "image_isdault desc",
                    productId);
}

std::optional<brivanta_image_Entity> ImageModel::getImageByKeyId(int productId)
{
    return readFirstRow(imageFromRow,
                        "select * from brivanta_image where image_isdault =1 and image_publis =1 and "
                        "key_id= ? limit 0,1",
                        productId);
}

std::vector<PublishImage> ImageModel::getPublishImages(bool published)
{
    return readRows(
        [](BRResultSet& rs) {
            return PublishImage{fileName(rs.stringForColumn("image_full_address")),
                                fileName(rs.stringForColumn("image_thumb_address"))};
        },
        "select * from brivanta_image where image_publis = ?", published ? 1 : 0);
}

void ImageModel::forEachPublishImage(bool published, const std::function<void(PublishImage&)>& each)
{
    forEachRow(
        [](BRResultSet& rs) {
            return PublishImage{fileName(rs.stringForColumn("image_full_address")),
                                fileName(rs.stringForColumn("image_thumb_address"))};
        },
        published ? "select image_full_address,image_thumb_address from brivanta_image where image_publis = 1"
                  : "select image_full_address,image_thumb_address from brivanta_image where image_publis = 0",
        [&](PublishImage image) { each(image); });
}

void ImageModel::forEachPublishImageAfter(long long after, const std::function<bool(long long, PublishImage&)>& each)
{
    auto db = database();
    if (!db)
        return;
    auto rs = db->executeQuery("select image_id,image_full_address,image_thumb_address from brivanta_image "
                               "where image_publis = 1 and image_id > ? order by image_id",
                               after);
    if (!rs)
        return;
    while (rs->next()) {
        PublishImage image{fileName(rs->stringForColumn("image_full_address")),
                           fileName(rs->stringForColumn("image_thumb_address"))};
        if (!each(rs->longLongIntForColumn("image_id"), image))
            break;
    }
    rs->close();
}

std::vector<std::string> ImageModel::getThumbImages()
{
    return addresses("image_thumb_address");
}

std::vector<std::string> ImageModel::getFullImages()
{
    return addresses("image_full_address");
}

std::optional<std::string> ImageModel::getFullImagePathByName(const std::optional<std::string>& title)
{
    if (!title || title->empty())
        return std::nullopt;
    // The last published icon of that title.
    auto names = readRows([](BRResultSet& rs) { return rs.stringForColumn("name"); },
                          "select * from brivanta_icon where publish = 1 and title = ?", *title);
    return names.empty() ? std::nullopt : names.back();
}

bool ImageModel::saveToDatabaseImage(const std::optional<std::vector<brivanta_image_Entity>>& images)
{
    if (!images)
        return false;
    BulkSave save("saveToDatabaseImage");
    for (const auto& i : *images) {
        if (!save.run("INSERT or REPLACE INTO brivanta_image(image_id,key_id,key_type,image_thumb_address,"
                      "image_full_address,image_isdault,image_s_desc,image_l_desc,image_publis,"
                      "image_ordering) VALUES(?,?,?,?,?,?,?,?,?,?);",
                      i.image_id, i.key_id, i.key_type, i.image_thumb_address, i.image_full_address,
                      i.image_isdault, i.image_s_desc, i.image_l_desc, i.image_publis, i.image_ordering))
            break;
    }
    return save.commit();
}
