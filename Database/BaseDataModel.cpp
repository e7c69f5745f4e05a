#include "Database/BaseDataModel.h"

std::shared_ptr<BRDatabase> BaseDataModel::goodDatabase()
{
    auto db = database();
    return db && db->goodConnection() ? db : nullptr;
}

std::string BaseDataModel::likeLiteral(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        if (c == '\\' || c == '%' || c == '_')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

bool BaseDataModel::addColumnIfMissing(std::string_view table, std::string_view column, std::string_view alter)
{
    auto db = goodDatabase();
    if (!db)
        return false;
    if (db->columnExistsColumnName(table, column))
        return true;
    return db->executeUpdate(alter);
}
