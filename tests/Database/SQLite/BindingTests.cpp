#include "SQLiteTestSupport.h"

#include <cmath>

namespace {

using sqltest::SQLiteTest;
using namespace std::string_literals;

class BindingTest : public SQLiteTest {};

TEST_F(BindingTest, EveryKindOfValueReadsBackByIndexAndByNameInAnyCase)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (empty, bytes, date, flag, big, fraction, "
                                  "name, nul, decimal_int, decimal_frac)"));
    base::Bytes bytes{'a', 0, 'b', 0xff};
    base::Date date(1367937000.5);
    std::string withNul = "before\0after"s;
    ASSERT_TRUE(db->executeUpdate("insert into t values (?,?,?,?,?,?,?,?,?,?)", nullptr, bytes,
                                  date, true, int64_t(1) << 40, 0.1, "O'Neil 中文", withNul,
                                  *base::Decimal::fromText("42"),
                                  *base::Decimal::fromText("2.5")));
    EXPECT_FALSE(db->hadError());

    auto rs = db->executeQuery("select * from t");
    ASSERT_TRUE(rs);
    ASSERT_TRUE(rs->next());
    EXPECT_TRUE(rs->columnIndexIsNull(0));
    EXPECT_TRUE(rs->objectForColumnIndex(0).isNull());
    EXPECT_FALSE(rs->stringForColumn("EMPTY"));
    EXPECT_EQ(rs->dataForColumnIndex(1), bytes);
    EXPECT_EQ(rs->dataForColumn("Bytes"), bytes);
    EXPECT_EQ(rs->objectForColumnName("bytes"), base::Value(bytes));
    EXPECT_EQ(rs->dateForColumnIndex(2), date);
    EXPECT_EQ(rs->dateForColumn("DATE"), date);
    EXPECT_TRUE(rs->boolForColumnIndex(3));
    EXPECT_EQ(rs->intForColumn("Flag"), 1);
    EXPECT_EQ(rs->longLongIntForColumnIndex(4), 1099511627776LL);
    EXPECT_EQ(rs->longLongIntForColumn("bIG"), 1099511627776LL);
    EXPECT_EQ(rs->stringForColumn("big"), "1099511627776");
    EXPECT_EQ(rs->objectForColumnIndex(4), base::Value(1099511627776LL));
    EXPECT_EQ(rs->doubleForColumnIndex(5), 0.1);
    EXPECT_EQ(rs->doubleForColumn("FRACTION"), 0.1);
    EXPECT_EQ(rs->objectForColumnName("fraction"), base::Value(0.1));
    EXPECT_EQ(rs->stringForColumnIndex(6), "O'Neil 中文");
    EXPECT_EQ(rs->stringForColumn("NAME"), "O'Neil 中文");
    EXPECT_EQ(rs->stringForColumn("nul"), withNul);
    EXPECT_EQ(rs->objectForColumnIndex(7), base::Value(withNul));
    // A decimal binds as an integer when integral, else as a double.
    EXPECT_EQ(rs->objectForColumnName("decimal_int"), base::Value(42));
    EXPECT_EQ(rs->objectForColumnName("decimal_frac"), base::Value(2.5));

    auto row = rs->resultDict();
    ASSERT_TRUE(row);
    EXPECT_EQ((*row->find("big")), base::Value(1099511627776LL));
    EXPECT_TRUE((*row->find("empty")).isNull());
    EXPECT_FALSE(rs->next());
    EXPECT_FALSE(db->hasOpenResultSets());
}

TEST_F(BindingTest, JoinsReadTheLaterColumnAndMissingNamesAnswerZero)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table a (product_id, label)"));
    ASSERT_TRUE(db->executeUpdate("create table b (Product_ID, other)"));
    ASSERT_TRUE(db->executeUpdate("insert into a values (1, 'first')"));
    ASSERT_TRUE(db->executeUpdate("insert into b values (2, 'second')"));

    auto rs = db->executeQuery("select * from a, b");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->intForColumn("product_id"), 2);
    EXPECT_EQ(rs->intForColumn("PRODUCT_ID"), 2);
    EXPECT_EQ(rs->intForColumnIndex(0), 1);

    EXPECT_EQ(rs->intForColumn("x"), 0);
    EXPECT_TRUE(m_log.contains("Warning: I could not find the column named 'x'."));
    EXPECT_FALSE(rs->stringForColumn("X"));
    EXPECT_EQ(rs->doubleForColumn("x"), 0.0);

    auto row = rs->resultDictionary();
    ASSERT_TRUE(row);
    EXPECT_EQ((*row->find("Product_ID")), base::Value(2));
    rs->close();

    // Names asked in a different order, or a different case, on later rows still match.
    ASSERT_TRUE(db->executeUpdate("insert into a values (3, 'third')"));
    auto rows = db->executeQuery("select product_id, label from a order by product_id");
    ASSERT_TRUE(rows && rows->next());
    EXPECT_EQ(rows->intForColumn("product_id"), 1);
    EXPECT_EQ(rows->stringForColumn("label"), "first");
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->stringForColumn("LABEL"), "third");
    EXPECT_EQ(rows->intForColumn("label"), 0);
    EXPECT_EQ(rows->intForColumn("Product_Id"), 3);
    EXPECT_EQ(rows->intForColumn("x"), 0);
    EXPECT_EQ(countLines("could not find the column named 'x'"), 4u);
    EXPECT_FALSE(rows->next());
}

TEST_F(BindingTest, DictionariesAndFormatsBindEveryValue)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (id, name, price)"));
    base::Dictionary values{{"id", 7}, {"name", "it's"}, {"price", 9.5}};
    ASSERT_TRUE(db->executeUpdateWithParameterDictionary(
        "insert into t values (:id, :name, :price)", values));
    // One key too many fails the count; a key with no placeholder is reported.
    base::Dictionary extra{{"id", 8}, {"name", "x"}, {"price", 1.0}, {"nope", 1}};
    EXPECT_FALSE(db->executeUpdateWithParameterDictionary(
        "insert into t values (:id, :name, :price)", extra));
    EXPECT_TRUE(m_log.contains("Could not find index for nope"));
    EXPECT_TRUE(m_log.contains("Error: the bind count is not correct for the # of variables"));
    EXPECT_EQ(db->intForQuery("select count(*) from t"), 1);

    // Format specifiers become placeholders: no quoting problem for the text.
    EXPECT_TRUE(db->executeUpdateWithFormat("insert into t values (%d, %@, %f)", 9, "O'Neil", 2.5));
    auto rs = db->executeQueryWithFormat("select name, price from t where id = %ld and name = %s",
                                         9L, "O'Neil");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->doubleForColumn("price"), 2.5);
    rs->close();
    EXPECT_EQ(db->stringForQuery("select name from t where id = ?", 7), "it's");
    EXPECT_EQ(db->doubleForQuery("select sum(price) from t"), 12.0);
    EXPECT_EQ(db->intForQuery("select id from t where id = ?", 12345), 0);

    auto [sql, bound] = BRDatabase::extractSQL("a %% b %c %q %lu %@", std::array<base::Value, 3>{
                                                                          65, 3, base::Value()});
    EXPECT_EQ(sql, "a % b ? q ? @");
    ASSERT_EQ(bound.size(), 2u);
    EXPECT_EQ(bound[0], base::Value("A"));
}

TEST_F(BindingTest, SchemaHelpersAndFunctions)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table Brivanta_Thing (Alpha, beta)"));
    EXPECT_TRUE(db->tableExists("brivanta_thing"));
    EXPECT_FALSE(db->tableExists("missing"));
    EXPECT_TRUE(db->columnExistsColumnName("BRIVANTA_THING", "ALPHA"));
    EXPECT_FALSE(db->columnExistsColumnName("brivanta_thing", "gamma"));
    EXPECT_TRUE(db->validateSQLError("select alpha from brivanta_thing", nullptr));
    base::ErrorPtr error;
    EXPECT_FALSE(db->validateSQLError("select from", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, SQLITE_ERROR);

    auto schema = db->getSchema();
    ASSERT_TRUE(schema && schema->next());
    EXPECT_EQ(schema->stringForColumn("name"), "Brivanta_Thing");
    schema->close();

    db->makeFunctionNamedMaximumArgumentsWithBlock(
        "twice", 1, [](sqlite3_context* context, int, sqlite3_value** argv) {
            sqlite3_result_int64(context, 2 * sqlite3_value_int64(argv[0]));
        });
    EXPECT_EQ(db->intForQuery("select twice(?)", 21), 42);
}

} // namespace
