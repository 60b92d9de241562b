// Receivers' names as a user writes them, and what each part becomes; a password never in what
// messages show.
#include <gtest/gtest.h>

#include "kvx/receiver_address.h"

namespace {

TEST(ReceiverAddress, Names) {
    struct Case {
        const char* name;
        ReceiverKind kind;
        const char* user;
        const char* password;
        const char* host;
        int port;
        const char* path;
        const char* shown;
    };
    const Case cases[] = {
        {"ftp://root@box/etc/enigma2", ReceiverKind::Ftp, "root", "", "box", 21, "/etc/enigma2",
         "ftp://root@box/etc/enigma2"},
        {"FTP://root:s%40cret:x@127.0.0.1:2121/etc/enigma2/", ReceiverKind::Ftp, "root", "s@cret:x", "127.0.0.1", 2121,
         "/etc/enigma2", "ftp://root@127.0.0.1:2121/etc/enigma2/"},
        {"ftp://box/My%20Settings", ReceiverKind::Ftp, "", "", "box", 21, "/My Settings", "ftp://box/My%20Settings"},
        {"ftp://[::1]:21/x", ReceiverKind::Ftp, "", "", "::1", 21, "/x", "ftp://[::1]:21/x"},
        {"svdrp://vdr", ReceiverKind::Svdrp, "", "", "vdr", 6419, "", "svdrp://vdr"},
        {"svdrp://127.0.0.1:2001/", ReceiverKind::Svdrp, "", "", "127.0.0.1", 2001, "", "svdrp://127.0.0.1:2001/"},
        {"http://box", ReceiverKind::Web, "", "", "box", 80, "", "http://box"},
        {"http://root:pw@box:8080/owif/", ReceiverKind::Web, "root", "pw", "box", 8080, "/owif",
         "http://root@box:8080/owif/"},
    };
    for (const Case& c : cases) {
        ReceiverAddress address;
        std::string why;
        ASSERT_TRUE(parseReceiverAddress(c.name, address, why)) << c.name << ": " << why;
        EXPECT_EQ(address.kind, c.kind) << c.name;
        EXPECT_EQ(address.user, c.user) << c.name;
        EXPECT_EQ(address.password, c.password) << c.name;
        EXPECT_EQ(address.passwordGiven, *c.password != '\0') << c.name;
        EXPECT_EQ(address.host, c.host) << c.name;
        EXPECT_EQ(address.port, c.port) << c.name;
        EXPECT_EQ(address.path, c.path) << c.name;
        EXPECT_EQ(address.shown, c.shown) << c.name;
    }
}

TEST(ReceiverAddress, Refused) {
    const std::pair<const char*, const char*> cases[] = {
        {"list.kvx", "not a receiver's name"},
        {"https://box", "not a receiver's name"},
        {"ftp://box", "no settings folder"},
        {"ftp://box/", "no settings folder"},
        {"ftp:///etc/enigma2", "no host name"},
        {"ftp://root@/etc", "no host name"},
        {"ftp://@box/etc", "user or password"},
        {"ftp://box:0/etc", "port"},
        {"ftp://box:65536/etc", "port"},
        {"ftp://box:21x/etc", "port"},
        {"svdrp://vdr:", "port"},
        {"ftp://box/etc%0D%0ADELE%20lamedb", "control character"},
        {"ftp://ro%0Aot@box/etc", "control character"},
        {"ftp://box/etc%2", "broken %XX"},
        {"ftp://[::1/etc", "IPv6"},
        {"svdrp://vdr/channels", "takes no path"},
        {"http://box/web?x=1", "'?'"},
        {"ftp://bo x/etc", "no host name"},
    };
    for (const auto& [name, why] : cases) {
        ReceiverAddress address;
        std::string reason;
        EXPECT_FALSE(parseReceiverAddress(name, address, reason)) << name;
        EXPECT_NE(reason.find(why), std::string::npos) << name << ": " << reason;
    }
    EXPECT_TRUE(isReceiverName("SVDRP://vdr"));
    EXPECT_TRUE(isReceiverName("ftp://box/x"));
    EXPECT_FALSE(isReceiverName("http://box"));
    EXPECT_FALSE(isReceiverName("ftp:/box"));
    EXPECT_FALSE(isReceiverName("./ftp://box"));
}

}  // namespace
