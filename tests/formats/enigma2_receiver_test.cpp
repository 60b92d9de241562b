// What kvx fetches from a box's settings folder, and what it makes of the box's answer to a reload.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/enigma2_receiver.h"

namespace {

TEST(Enigma2Receiver, BouquetsNamedAreFetchedOnlyInsideTheFolder) {
    const std::string bouquets =
        "#NAME User - bouquets (TV)\n"
        "#SERVICE 1:7:1:0:0:0:0:0:0:0:FROM BOUQUET \"userbouquet.kvx.tv\" ORDER BY bouquet\n"
        "#SERVICE: 1:7:1:0:0:0:0:0:0:0:FROM BOUQUET \"userbouquet.favourites.tv\" ORDER BY bouquet\r\n"
        "#SERVICE 1:7:1:0:0:0:0:0:0:0:FROM BOUQUET \"userbouquet.kvx.tv\" ORDER BY bouquet\n"
        "#SERVICE 1:7:1:0:0:0:0:0:0:0:FROM BOUQUET \"../../etc/passwd\" ORDER BY bouquet\n"
        "#SERVICE 1:7:1:0:0:0:0:0:0:0:FROM BOUQUET \"/etc/shadow.tv\" ORDER BY bouquet\n"
        "#SERVICE 1:7:1:0:0:0:0:0:0:0:FROM BOUQUET \"userbouquet..tv\" ORDER BY bouquet\n"
        "#SERVICE 1:7:1:0:0:0:0:0:0:0:FROM BOUQUET \"userbouquet.a\\b.tv\" ORDER BY bouquet\n"
        "#SERVICE 1:7:1:0:0:0:0:0:0:0:FROM BOUQUET \"lamedb\" ORDER BY bouquet\n"
        "#SERVICE 1:7:1:0:0:0:0:0:0:0:FROM BOUQUET \"userbouquet.x\x1b[2J.tv\" ORDER BY bouquet\n"
        "#SERVICE 1:7:1:0:0:0:0:0:0:0:FROM BOUQUET \"userbouquet.unclosed.tv\n"
        "#DESCRIPTION FROM BOUQUET \"userbouquet.description.tv\"\n"
        "#SERVICE 1:7:2:0:0:0:0:0:0:0:FROM BOUQUET \"userbouquet.radio.radio\" ORDER BY bouquet";
    std::vector<std::string> names{"userbouquet.favourites.tv"};
    int refused = 0;
    bouquetFilesNamed(bouquets, names, refused);
    EXPECT_EQ(names,
              (std::vector<std::string>{"userbouquet.favourites.tv", "userbouquet.kvx.tv", "userbouquet.radio.radio"}));
    EXPECT_EQ(refused, 6);
}

TEST(Enigma2Receiver, ReloadAnswers) {
    struct Case {
        const char* answer;
        bool reloaded;
        const char* text;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<e2simplexmlresult>\n\t<e2state>True</e2state>\n"
         "\t<e2statetext>reloading services and bouquets</e2statetext>\n</e2simplexmlresult>\n",
         true, "reloading services and bouquets"},
        {"<e2simplexmlresult><e2state> False </e2state><e2statetext>missing or wrong argument</e2statetext>"
         "</e2simplexmlresult>",
         false, "missing or wrong argument"},
        {"<e2simplexmlresult><e2state>True</e2state></e2simplexmlresult>", true, "e2state True"},
        {"<html><body>It works!</body></html>", false, "no <e2state> in the answer"},
        {"<e2state>True", false, "no <e2state> in the answer"},
        {"", false, "no <e2state> in the answer"},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_EQ(readReloadAnswer(c.answer, text), c.reloaded) << c.answer;
        EXPECT_EQ(text, c.text) << c.answer;
    }
}

}  // namespace
