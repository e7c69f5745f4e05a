#pragma once
#include "Database/SQLite/BRTransaction.h"

#include <memory>
#include <string>
#include <string_view>

// One bulk save of the table models: every statement in one transaction on the shared
// connection. The first refused statement is logged with the values it was given (the row),
// the rest are skipped, and the whole call rolls back.
class BulkSave {
public:
    explicit BulkSave(const char* operation);
    BulkSave(const BulkSave&) = delete;
    BulkSave& operator=(const BulkSave&) = delete;

    bool ok() const { return m_transaction && m_transaction->ok(); }

    // Binds the arguments in place; values are made only to log a refused row.
    template <typename... Args>
    bool run(std::string_view sql, const Args&... args)
    {
        if (!ok())
            return false;
        if (m_database->executeUpdate(sql, args...))
            return true;
        std::array<base::Value, sizeof...(Args)> values{BRBindValue(args)...};
        refused(sql, values);
        return false;
    }
    // Answers whether every statement is now stored.
    bool commit();

private:
    void refused(std::string_view sql, std::span<const base::Value> args);

    const char* m_operation;
    std::shared_ptr<BRDatabase> m_database;
    std::unique_ptr<BRTransaction> m_transaction;
};
