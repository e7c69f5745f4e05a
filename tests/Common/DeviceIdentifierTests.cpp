#include "Common/IdentifierAddition.h"
#include "Common/MD5Addition.h"
#include "Common/PublicFunction.h"
#include "Common/SharedUDID.h"
#include "Database/QuoteOrderEntity.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/Digest.h"
#include "Platform/Base/Device.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/NetworkInterfaces.h"
#include "Platform/Base/Pasteboard.h"
#include "Platform/Base/PropertyList.h"
#include "Platform/Base/UserDefaults.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

namespace fs = std::filesystem;

namespace {

TEST(Digests, FollowTheReferenceVectorsInBothCases)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (auto [text, digest] : vectors) {
        EXPECT_EQ(MD5Addition::stringFromMD5(text), digest) << text;
        std::string upper = digest;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(PublicFunction::encryptMD5(text), upper) << text;
    }
    EXPECT_FALSE(MD5Addition::stringFromMD5(""));
    EXPECT_EQ(PublicFunction::encryptMD5(""), "D41D8CD98F00B204E9800998ECF8427E");
}

struct InjectedInterfaces {
    explicit InjectedInterfaces(std::vector<base::NetworkInterface> list)
    {
        base::NetworkInterfaces::setList(std::move(list));
    }
    ~InjectedInterfaces() { base::NetworkInterfaces::setList(std::nullopt); }
};

TEST(HardwareIdentifiers, AreDigestsOfTheInjectedAddress)
{
    char pattern[] = "/tmp/brivanta-bundle-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    fs::path bundle = pattern;
    ASSERT_TRUE(base::PropertyList::writeFile(bundle / "Info.plist",
                                              base::Value(base::Dictionary {{"Identifier", "org.example.sales"}})));
    setenv("BRIVANTA_BUNDLE", bundle.c_str(), 1);

    {
        InjectedInterfaces injected({{"lo", true, base::HardwareAddress {1, 2, 3, 4, 5, 6}},
                                     {"eth0", false, base::HardwareAddress {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}}});
        EXPECT_EQ(IdentifierAddition::macaddress(), "AA:BB:CC:DD:EE:FF");
        // Digests computed independently (coreutils md5sum).
        EXPECT_EQ(IdentifierAddition::uniqueGlobalDeviceIdentifier(), "6393cfc4ab6d416690b21278957aeab2");
        EXPECT_EQ(IdentifierAddition::uniqueDeviceIdentifier(), "56a5f144321d3da41f2265780c117e75");
        EXPECT_EQ(PublicFunction::getMacAddress(), "558B9ABD58A9220747FA0086E00252A3");
    }
    {
        // Interfaces sorted by name: the first that is not loopback and has an address wins.
        InjectedInterfaces injected({{"wlan0", false, base::HardwareAddress {0x02, 0, 0, 0, 0, 0x03}},
                                     {"lo", true, base::HardwareAddress {1, 2, 3, 4, 5, 6}},
                                     {"eth0", false, std::nullopt},
                                     {"enp3s0", false, base::HardwareAddress {0x52, 0x54, 0, 0x12, 0x34, 0x56}},
                                     {"dummy0", false, base::HardwareAddress {0, 0, 0, 0, 0, 0}}});
        EXPECT_EQ(IdentifierAddition::macaddress(), "52:54:00:12:34:56");
    }
    {
        InjectedInterfaces injected({});
        base::ScopedLogCapture log;
        EXPECT_FALSE(IdentifierAddition::macaddress());
        EXPECT_FALSE(PublicFunction::getMacAddress());
        EXPECT_TRUE(log.contains("Error: if_nametoindex error"));
    }
    unsetenv("BRIVANTA_BUNDLE");
    fs::remove_all(bundle);
}

TEST(DeviceVersion, ReadsTheLeadingNumberOfTheSystemVersion)
{
    EXPECT_DOUBLE_EQ(PublicFunction::getDeviceVersion(), 6.0);
    base::Device::setCurrent(base::Device {"x86_64", "5.1.1"});
    EXPECT_DOUBLE_EQ(PublicFunction::getDeviceVersion(), 5.1);
    base::Device::setCurrent(std::nullopt);
}

class SharedUDIDTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/brivanta-udid-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_home = pattern;
        setenv("BRIVANTA_HOME", m_home.c_str(), 1);
        newProcess();
    }
    void TearDown() override
    {
        newProcess();
        unsetenv("BRIVANTA_HOME");
        fs::remove_all(m_home);
    }
    // What a new start of the application over the same home sees.
    static void newProcess()
    {
        base::UserDefaults::resetStandard();
        SharedUDID::resetCacheForTesting();
    }
    static std::string slot(int n) { return "org.SharedUDID.slot." + std::to_string(n); }
    static void writeSlot(int n, const base::Dictionary& dict)
    {
        auto board = base::Pasteboard::withName(slot(n), true);
        ASSERT_TRUE(board && board->setPersistent(true));
        SharedUDID::_setDictForPasteboard(dict, board);
    }
    static base::Value storedDict()
    {
        return base::Value(base::UserDefaults::standard()->dictionaryForKey("SharedUDID").value_or(base::Dictionary()));
    }
    static std::string slotValue(const std::shared_ptr<base::Pasteboard>& board)
    {
        return base::Value(SharedUDID::_getDictFromPasteboard(board))["SharedUDID"].toString();
    }

    fs::path m_home;
};

TEST_F(SharedUDIDTest, AFreshValueIsKeptAcrossStartsAndSurvivesClearingTheStore)
{
    base::ErrorPtr error;
    std::string value = SharedUDID::valueWithError(&error);
    EXPECT_TRUE(std::regex_match(value, std::regex("[0-9a-f]{40}"))) << value;
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, "org.SharedUDID");
    EXPECT_EQ(error->code, 0);
    EXPECT_EQ(error->description, "SharedUDID succesfully retrieved");
    EXPECT_EQ(PublicFunction::getOpenUDID(), value);
    SharedUDID::valueWithError(&error);
    EXPECT_EQ(error->description, "SharedUDID in cache from first call");

    // The store and the first slot both hold it.
    base::Value stored = storedDict();
    EXPECT_EQ(stored["SharedUDID"].toString(), value);
    EXPECT_EQ(stored["SharedUDID_slot"].toString(), slot(0));
    EXPECT_TRUE(stored["SharedUDID_createdTS"].isDate());
    EXPECT_TRUE(fs::exists(m_home / "Library/Pasteboards" / (slot(0) + ".plist")));

    newProcess();
    EXPECT_EQ(SharedUDID::value(), value);
    // The application keeps its slot instead of taking another one on each start.
    EXPECT_FALSE(base::Pasteboard::withName(slot(1), false));

    PublicFunction::clearUserDefault();
    newProcess();
    EXPECT_FALSE(base::UserDefaults::standard()->objectForKey("SharedUDID"));
    EXPECT_EQ(SharedUDID::value(), value);
}

TEST_F(SharedUDIDTest, AFirstStartTakesTheValueMostSlotsHold)
{
    std::string x(40, 'a'), y(40, 'b');
    writeSlot(0, {{"SharedUDID", x}, {"SharedUDID_appUID", "other-1"}});
    writeSlot(1, {{"SharedUDID", y}, {"SharedUDID_appUID", "other-2"}});
    writeSlot(2, {{"SharedUDID", x}, {"SharedUDID_appUID", "other-3"}});
    // A slot holding no value is the first free one.
    writeSlot(3, {{"unrelated", 1}});

    base::ErrorPtr error;
    EXPECT_EQ(SharedUDID::valueWithError(&error), x);
    EXPECT_EQ(error->code, 0);
    EXPECT_EQ(storedDict()["SharedUDID"].toString(), x);
    EXPECT_EQ(storedDict()["SharedUDID_slot"].toString(), slot(3));
    EXPECT_EQ(slotValue(base::Pasteboard::withName(slot(3), false)), x);
    EXPECT_FALSE(base::Pasteboard::withName(slot(4), false));
}

TEST_F(SharedUDIDTest, AStoredValueWinsOverDisagreeingCopies)
{
    std::string x(40, 'a'), z(40, 'c');
    writeSlot(0, {{"SharedUDID", x}});
    writeSlot(1, {{"SharedUDID", x}});
    base::UserDefaults::standard()->setObject(base::Value(base::Dictionary {{"SharedUDID", z}}), "SharedUDID");

    base::ErrorPtr error;
    EXPECT_EQ(SharedUDID::valueWithError(&error), z);
    EXPECT_EQ(error->code, 2);
    EXPECT_NE(error->description.find("discrepancy"), std::string::npos);
}

TEST_F(SharedUDIDTest, OptingOutGivesZerosUntilWithdrawn)
{
    std::string value = SharedUDID::value();
    SharedUDID::setOptOut(true);
    base::ErrorPtr error;
    EXPECT_EQ(SharedUDID::valueWithError(&error), std::string(40, '0'));
    EXPECT_EQ(error->code, 1);
    EXPECT_NE(error->description.find("is opted-out from SharedUDID as of"), std::string::npos);
    EXPECT_TRUE(storedDict().asDictionary().contains("SharedUDID_optOutTS"));

    SharedUDID::setOptOut(false);
    EXPECT_EQ(SharedUDID::value(), value);
    EXPECT_FALSE(storedDict().asDictionary().contains("SharedUDID_optOutTS"));
}

TEST_F(SharedUDIDTest, ASlotHoldingNoDictionaryReadsEmpty)
{
    auto board = base::Pasteboard::withName(slot(0), true);
    ASSERT_TRUE(board && board->setPersistent(true));
    board->setValueForType(base::Value("not a dictionary"), "org.SharedUDID");
    EXPECT_TRUE(SharedUDID::_getDictFromPasteboard(board).empty());
    EXPECT_TRUE(SharedUDID::_getDictFromPasteboard(nullptr).empty());
    // It counts as free, so this application takes it over.
    std::string value = SharedUDID::value();
    EXPECT_EQ(slotValue(board), value);
}

TEST_F(SharedUDIDTest, WithoutAHardwareAddressTheDeviceIdentifiersStandOnTheSharedValue)
{
    // As in a container: loopback, an interface without an address, one of zeros.
    InjectedInterfaces injected({{"lo", true, base::HardwareAddress {1, 2, 3, 4, 5, 6}},
                                 {"eth0", false, std::nullopt},
                                 {"tun0", false, base::HardwareAddress {0, 0, 0, 0, 0, 0}}});
    std::string shared = SharedUDID::value();
    std::string id = IdentifierAddition::uniqueGlobalDeviceIdentifier();
    EXPECT_TRUE(std::regex_match(id, std::regex("[0-9a-f]{32}"))) << id;
    EXPECT_EQ(id, base::Digest::md5Hex(shared));
    EXPECT_EQ(IdentifierAddition::uniqueDeviceIdentifier(),
              base::Digest::md5Hex(shared + base::Bundle::infoValue("Identifier").toString()));
    EXPECT_NE(IdentifierAddition::uniqueDeviceIdentifier(), id);
    EXPECT_EQ(QuoteOrderEntity().ipAddress(), id); // what a new order carries

    // The same after a new start, and after the store is cleared (the shared copies keep it).
    newProcess();
    EXPECT_EQ(IdentifierAddition::uniqueGlobalDeviceIdentifier(), id);
    PublicFunction::clearUserDefault();
    EXPECT_EQ(IdentifierAddition::uniqueGlobalDeviceIdentifier(), id);
    newProcess();
    EXPECT_EQ(QuoteOrderEntity().ipAddress(), id);
}

} // namespace
