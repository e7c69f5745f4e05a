#include "Platform/Net/CredentialStorage.h"

#include "tests/Platform/Base/FileTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using net::Credential;
using net::CredentialStorage;
using net::ProtectionSpace;
using Persistence = net::Credential::Persistence;

namespace {

TEST(CredentialStorage, EachFieldOfASpaceSeparatesItsCredentials)
{
    CredentialStorage store;
    auto space = ProtectionSpace::server("h", 443, "https", "realm");
    store.setDefaultCredential({"ann", "pw", Persistence::Session}, space);
    EXPECT_EQ(store.defaultCredential(space), (Credential{"ann", "pw", Persistence::Session}));

    auto differ = [&](auto change) {
        ProtectionSpace other = space;
        change(other);
        return !store.defaultCredential(other);
    };
    EXPECT_TRUE(differ([](auto& s) { s.host = "h2"; }));
    EXPECT_TRUE(differ([](auto& s) { s.port = 80; }));
    EXPECT_TRUE(differ([](auto& s) { s.protocol = "http"; }));
    EXPECT_TRUE(differ([](auto& s) { s.realm = "other"; }));
    EXPECT_TRUE(differ([](auto& s) { s.authenticationMethod = "Basic"; }));
    // A proxy at the same host and port is another space.
    EXPECT_FALSE(store.defaultCredential(ProtectionSpace::proxy("h", 443, ProtectionSpace::kProxyHTTP, "realm")));
}

TEST(CredentialStorage, DefaultsReplaceAndRemovalsClearThem)
{
    CredentialStorage store;
    auto space = ProtectionSpace::proxy("proxy", 3128, ProtectionSpace::kProxyHTTP, "");
    store.setCredential({"ann", "1", Persistence::Session}, space);
    EXPECT_FALSE(store.defaultCredential(space)); // stored, but not the default
    store.setDefaultCredential({"bob", "2", Persistence::Session}, space);
    store.setDefaultCredential({"ann", "3", Persistence::Session}, space);
    EXPECT_EQ(store.defaultCredential(space)->password, "3");
    EXPECT_EQ(store.credentials(space).size(), 2u);

    // Nothing is kept of a credential without persistence.
    store.setDefaultCredential({"cid", "4", Persistence::None}, space);
    EXPECT_EQ(store.defaultCredential(space)->user, "ann");
    EXPECT_EQ(store.credentials(space).count("cid"), 0u);

    store.removeCredential({"ann", "", Persistence::Session}, space);
    EXPECT_FALSE(store.defaultCredential(space));
    EXPECT_EQ(store.credentials(space).size(), 1u);
    store.removeCredential({"bob", "", Persistence::Session}, space);
    EXPECT_TRUE(store.spaces().empty());
}

TEST(CredentialStorage, OnlyPermanentCredentialsReachTheirPrivateFile)
{
    basetest::TempDir dir;
    auto file = dir / "Library/Credentials.plist";
    auto site = ProtectionSpace::server("127.0.0.1", 8080, "http", "r", "Basic");
    auto proxy = ProtectionSpace::proxy("127.0.0.2", 3128, ProtectionSpace::kProxyHTTP, "");
    {
        CredentialStorage store(file);
        store.setDefaultCredential({"ann", "secret", Persistence::Permanent}, site);
        store.setCredential({"tmp", "x", Persistence::Session}, site);
        store.setDefaultCredential({"px", "y", Persistence::Permanent}, proxy);
    }
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    CredentialStorage reloaded(file);
    EXPECT_EQ(reloaded.defaultCredential(site), (Credential{"ann", "secret", Persistence::Permanent}));
    EXPECT_EQ(reloaded.credentials(site).size(), 1u);
    EXPECT_EQ(reloaded.defaultCredential(proxy)->user, "px");

    reloaded.removeCredential({"ann", "", Persistence::Permanent}, site);
    CredentialStorage again(file);
    EXPECT_FALSE(again.defaultCredential(site));
    EXPECT_TRUE(again.defaultCredential(proxy));
}

} // namespace
