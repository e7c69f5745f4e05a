#include "Protocol/SyncFileTableRst.h"

#include "Protocol/ServerFields.h"

namespace {

using serverfields::Field;
using File = brivanta_library_files_Entity;
using Category = brivanta_library_category_Entity;

constexpr Field<File> kFileFields[] = {
    {"id", &File::file_id},
    {"title", &File::title},
    {"fileName", &File::file_name},
    {"category", &File::category},
    {"type", &File::type},
    {"date", &File::date},
    {"description", &File::description},
    {"ordering", &File::ordering},
    {"publish", &File::published},
    {"coverImage", &File::cover_image},
    {"info", &File::info},
};

constexpr Field<Category> kCategoryFields[] = {
    {"cateID", &Category::categoryID},
    {"cateName", &Category::name},
    {"cateOrdering", &Category::ordering},
    {"catePublished", &Category::published},
    {"parentId", &Category::parent_id},
};

} // namespace

void SyncFileTableRst::readContent(const base::Array& content)
{
    using serverfields::slot;
    serverfields::forEachObject(slot(content, 0), [&](const base::Dictionary& object) {
        libFileTable.push_back(serverfields::recordOf(object, kFileFields));
    });
    serverfields::forEachObject(slot(content, 1), [&](const base::Dictionary& object) {
        libCategoryTable.push_back(serverfields::recordOf(object, kCategoryFields));
    });
    const base::Value* updates = slot(content, 2);
    if (!updates || !updates->isDictionary())
        return;
    std::string ids = serverfields::textOf(updates->asDictionary().find("keyIDS")).value_or(std::string());
    // An empty piece names no file.
    size_t from = 0;
    while (from <= ids.size()) {
        size_t comma = std::min(ids.find(',', from), ids.size());
        if (comma > from)
            libFileUpdateTable.push_back(ids.substr(from, comma - from));
        from = comma + 1;
    }
}
