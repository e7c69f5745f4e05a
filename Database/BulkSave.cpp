#include "Database/BulkSave.h"

#include "Platform/Base/Log.h"

namespace {

std::string describe(std::span<const base::Value> values)
{
    std::string text;
    for (const auto& value : values) {
        if (!text.empty())
            text += ", ";
        if (value.isNull())
            text += "NULL";
        else if (value.isString())
            text += "'" + value.asString() + "'";
        else if (value.isInteger())
            text += std::to_string(value.asInteger());
        else if (value.isDouble())
            text += std::to_string(value.asDouble());
        else if (value.isDate())
            text += std::to_string(value.asDate().timeIntervalSince1970());
        else
            text += "?";
    }
    return text;
}

} // namespace

BulkSave::BulkSave(const char* operation)
    : m_operation(operation), m_database(BRDatabase::sharedDataBase())
{
    if (m_database)
        m_transaction = std::make_unique<BRTransaction>(m_database.get());
}

void BulkSave::refused(std::string_view sql, std::span<const base::Value> args)
{
    m_transaction->markFailed();
    base::logf("%s: refused, nothing saved: %.*s (%s): %s", m_operation,
               static_cast<int>(sql.size()), sql.data(), describe(args).c_str(),
               m_database->lastErrorMessage().c_str());
}

bool BulkSave::commit()
{
    return m_transaction && m_transaction->commit();
}
