// The bouquets: bouquets.tv and bouquets.radio each name one user bouquet that holds the channels in
// list order, with a marker (its description the category's name, empty for none) before each run of
// one category. LF line ends; Enigma2 reads them as it reads its own CR LF.
#include "formats/enigma2_values.h"
#include "formats/enigma2_write.h"

namespace enigma2 {

namespace {

// "1:0:TYPE:SID:TSID:ONID:NAMESPACE:0:0:0:", the reference's numbers in uppercase hex as Enigma2
// writes them.
void appendServiceReference(TextOut& out, const SettingsPlan& plan, int position) {
    const std::uint64_t key = plan.keys[position];
    put(out, "#SERVICE 1:0:");
    putHex(out, plan.kinds[position].serviceType, 1, true);
    put(out, ':');
    putHex(out, static_cast<std::uint32_t>(key & 0xFFFFu), 1, true);  // the SID
    put(out, ':');
    putHex(out, static_cast<std::uint32_t>((key >> 16) & 0xFFFFu), 1, true);  // the TSID
    put(out, ':');
    putHex(out, plan.networkId, 1, true);
    put(out, ':');
    putHex(out, namespaceOf(plan, position), 1, true);
    put(out, ":0:0:0:\n");
}

// A marker line and its description. The description line keeps its space when the name is empty:
// Enigma2 reads the name from after "#DESCRIPTION ".
void appendMarker(TextOut& out, int number, std::uint8_t category, const FieldContext& context) {
    put(out, "#SERVICE 1:64:");
    putHex(out, static_cast<std::uint32_t>(number), 1, true);
    put(out, ":0:0:0:0:0:0:0:\n#DESCRIPTION ");
    if (category != 255) {
        std::string name = categoryGroupName(category, context);
        replaceLineBreaks(name);
        put(out, name);
    }
    put(out, '\n');
}

}  // namespace

void writeBouquetList(bool radio, std::string& file) {
    TextOut out;
    out.file = &file;
    put(out, radio ? "#NAME Bouquets (Radio)\n#SERVICE 1:7:2" : "#NAME Bouquets (TV)\n#SERVICE 1:7:1");
    put(out, ":0:0:0:0:0:0:0:FROM BOUQUET \"");
    put(out, radio ? RadioBouquet : TvBouquet);
    put(out, "\" ORDER BY bouquet\n");
    finish(out);
}

void writeUserBouquet(const SettingsPlan& plan, bool radio, std::string& file) {
    TextOut out;
    out.file = &file;
    put(out, radio ? "#NAME Channels (Radio)\n" : "#NAME Channels (TV)\n");
    int markers = 0;
    int lastCategory = -1;  // no run yet: the first channel gets its marker too
    const int count = static_cast<int>(plan.records.size());
    for (int i = 0; i < count; ++i) {
        const ChannelKind kind = plan.kinds[i];
        if ((kind.serviceType == ServiceRadio) != radio) continue;
        if (kind.category != lastCategory) {
            appendMarker(out, ++markers, kind.category, *plan.context);
            lastCategory = kind.category;
        }
        appendServiceReference(out, plan, plan.entries[i]);
    }
    finish(out);
}

}  // namespace enigma2
