// The record form in the real main dialog: what a selected channel shows, what edits store in the
// buffer, and that neither showing nor reading touches more than it should.
#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>

#include "app/editor_dialog.h"
#include "form/record_form.h"
#include "tests/form/form_window_support.h"

namespace {

constexpr int PidControls[] = {IDC_TID, IDC_SID, IDC_PMT, IDC_PCR, IDC_ECM, IDC_VID, IDC_AUD, IDC_TTX, IDC_AC3};

// A channel whose every form field holds a different value, so that a swapped control shows.
ChannelRecord distinctChannel() {
    ChannelRecord record = namedChannel("Distinct One");
    std::strcpy(record.provider, "Provider Two");
    record.frequency.set(-5);
    record.symbolRate.set(27500);
    record.polarity.set(PolarityVertical);
    record.serviceType = 2;
    record.category = 1;
    record.tid.set(1008);
    record.sid.set(1009);
    record.pmtPid.set(1011);
    record.pcrPid.set(1012);
    record.ecmPid.set(1013);
    record.videoPid.set(1014);
    record.audioPid.set(1015);
    record.teletextPid.set(65535);
    record.ac3Pid.set(0);
    return record;
}

// Every byte random: reserved bytes, polarity, lists and text fields without a NUL included.
ChannelRecord randomChannel(unsigned seed) {
    std::mt19937 random(seed);
    ChannelRecord record;
    auto* bytes = reinterpret_cast<unsigned char*>(&record);
    for (std::size_t i = 0; i < sizeof record; ++i) bytes[i] = static_cast<unsigned char>(random());
    return record;
}

using RecordFormTest = MainDialogFixture;

TEST_F(RecordFormTest, ShowsEveryFieldInItsControl) {
    putChannels({distinctChannel()});
    showChannel(0);
    EXPECT_EQ(SelectedIndex, 0);
    EXPECT_EQ(controlText(IDC_NAME), "Distinct One");
    EXPECT_EQ(controlText(IDC_PROVIDER), "Provider Two");
    EXPECT_EQ(controlText(IDC_FREQUENCY), "-5");
    EXPECT_EQ(controlText(IDC_SYMBOL_RATE), "27500");
    EXPECT_EQ(comboSelection(IDC_POLARITY), 1);
    EXPECT_EQ(comboSelection(IDC_SERVICE_TYPE), 2);
    EXPECT_EQ(comboSelection(IDC_CATEGORY), 1);
    const char* pids[] = {"1008", "1009", "1011", "1012", "1013", "1014", "1015", "65535", "0"};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(controlText(PidControls[i]), pids[i]) << "control " << PidControls[i];
}

TEST_F(RecordFormTest, ShowingRaisesNoTransfer) {
    putChannels({randomChannel(1), randomChannel(2), randomChannel(3)});
    for (int index : {0, 2, 1}) {
        showChannel(index);
        EXPECT_FALSE(FormUpdating);
        EXPECT_TRUE(sameBytes(CurrentRecord, ChannelTable::slots[index])) << "channel " << index;
    }
}

TEST_F(RecordFormTest, TextFieldWithoutNulShowsItsThirtyBytesAndSurvivesOtherEdits) {
    ChannelRecord record = namedChannel("");
    std::memcpy(record.name, "A name of thirty bytes, no NUL", TextFieldSize);
    std::strcpy(record.provider, "Next field");
    putChannels({record});
    showChannel(0);
    EXPECT_EQ(controlText(IDC_NAME), "A name of thirty bytes, no NUL");
    setEditText(IDC_TID, "9");
    EXPECT_EQ(std::string(CurrentRecord.name, TextFieldSize), "A name of thirty bytes, no NUL");
    setEditText(IDC_NAME, "A name of thirty bytes, no NUL!");  // an edit of the name itself is cut
    EXPECT_EQ(std::string(CurrentRecord.name), "A name of thirty bytes, no NU");
}

TEST_F(RecordFormTest, EditsStoreInTheBufferAndNotInTheTable) {
    const ChannelRecord original = distinctChannel();
    putChannels({original});
    showChannel(0);

    setEditText(IDC_SID, "70000");
    EXPECT_EQ(CurrentRecord.sid.get(), 4464);
    EXPECT_EQ(controlText(IDC_SID), "70000");

    setEditText(IDC_TID, "12abc");  // pasted: the field refuses typed letters
    EXPECT_EQ(CurrentRecord.tid.get(), 12);

    setEditText(IDC_PMT, "");
    EXPECT_EQ(CurrentRecord.pmtPid.get(), 0);

    setEditText(IDC_FREQUENCY, "-11778000");
    EXPECT_EQ(CurrentRecord.frequency.get(), -11778000);
    setEditText(IDC_FREQUENCY, "99999999999");
    EXPECT_EQ(CurrentRecord.frequency.get(), INT32_MAX);
    setEditText(IDC_SYMBOL_RATE, "-1");
    EXPECT_EQ(CurrentRecord.symbolRate.get(), 65535);

    EXPECT_TRUE(sameBytes(ChannelTable::slots[0], original));
    EXPECT_EQ(ChannelTable::count, 1);
}

TEST_F(RecordFormTest, TypedDigitsStoreAsTheyComeAndLettersAreRefused) {
    putChannels({namedChannel("Typed")});
    showChannel(0);
    setEditText(IDC_AUD, "");
    typeIntoEdit(IDC_AUD, "7a0-000");
    EXPECT_EQ(controlText(IDC_AUD), "70000");
    EXPECT_EQ(CurrentRecord.audioPid.get(), 4464);
}

TEST_F(RecordFormTest, ModifiedValueShowsWrappedWhenSelectedAgain) {
    putChannels({distinctChannel(), namedChannel("Other")});
    showChannel(0);
    setEditText(IDC_SID, "70000");
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_MODIFY, BN_CLICKED), 0);
    EXPECT_EQ(ChannelTable::slots[0].sid.get(), 4464);
    showChannel(1);
    showChannel(0);
    EXPECT_EQ(controlText(IDC_SID), "4464");
}

TEST_F(RecordFormTest, NameKeepsItsFirst29CharactersAndTheBytesAfterTheNul) {
    ChannelRecord record = namedChannel("");
    std::memset(record.name, 'o', TextFieldSize - 1);  // 29 characters and the NUL
    std::memset(record.provider, 'p', 10);
    putChannels({record});
    showChannel(0);

    setEditText(IDC_NAME, "ABCDEFGHIJKLMNOPQRSTUVWXYZ123456789");  // 35 characters
    EXPECT_EQ(std::string(CurrentRecord.name), "ABCDEFGHIJKLMNOPQRSTUVWXYZ123");
    EXPECT_EQ(controlText(IDC_NAME).size(), 35u);

    setEditText(IDC_NAME, "AB");
    EXPECT_EQ(std::string(CurrentRecord.name, 4), std::string("AB\0D", 4));
    EXPECT_EQ(std::string(CurrentRecord.name + 3, 26), "DEFGHIJKLMNOPQRSTUVWXYZ123");
    EXPECT_EQ(CurrentRecord.name[29], '\0');
    EXPECT_EQ(std::string(CurrentRecord.provider), "pppppppppp");
}

TEST_F(RecordFormTest, DropDownPicksStoreTheirPositions) {
    ChannelRecord record = distinctChannel();
    record.polarity.set(PolarityHorizontal);
    putChannels({record});
    showChannel(0);
    EXPECT_EQ(comboSelection(IDC_POLARITY), 0);

    chooseComboItem(IDC_POLARITY, 1);  // "Vertical [Right]"
    EXPECT_EQ(CurrentRecord.polarity.get(), PolarityVertical);
    EXPECT_EQ(ChannelTable::slots[0].polarity.get(), PolarityHorizontal);
    chooseComboItem(IDC_POLARITY, 0);  // "Horizontal [Left]"
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&CurrentRecord)[6], 72);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&CurrentRecord)[7], 0);

    chooseComboItem(IDC_SERVICE_TYPE, 0);  // "Data"
    EXPECT_EQ(CurrentRecord.serviceType, 0);
    chooseComboItem(IDC_CATEGORY, 2);  // "Music"
    EXPECT_EQ(CurrentRecord.category, 2);
    EXPECT_EQ(ChannelTable::slots[0].category, 1);
}

TEST_F(RecordFormTest, PolarityOtherThan86ShowsHorizontalAndReadsBackAs72) {
    ChannelRecord record = namedChannel("Odd polarity");
    record.polarity.set(86 + 256);  // only the whole 16-bit value 86 is vertical
    putChannels({distinctChannel(), record});
    showChannel(0);
    showChannel(1);
    EXPECT_EQ(comboSelection(IDC_POLARITY), 0);
    setEditText(IDC_TID, "1");
    EXPECT_EQ(CurrentRecord.polarity.get(), PolarityHorizontal);
}

TEST_F(RecordFormTest, PositionsBeyondTheListsShowNoSelectionAndStore255) {
    ChannelRecord beyond = namedChannel("Beyond");
    beyond.category = 3;     // three categories: positions 0 to 2
    beyond.serviceType = 9;  // three service types
    putChannels({distinctChannel(), beyond});
    showChannel(0);  // leaves selections for Wine to keep
    showChannel(1);
    EXPECT_EQ(comboSelection(IDC_CATEGORY), -1);
    EXPECT_EQ(comboSelection(IDC_SERVICE_TYPE), -1);

    setEditText(IDC_FREQUENCY, "1");
    EXPECT_EQ(CurrentRecord.category, 255);
    EXPECT_EQ(CurrentRecord.serviceType, 255);
    EXPECT_EQ(ChannelTable::slots[1].category, 3);
}

TEST_F(RecordFormTest, ReadingStoresOnlyTheFormFields) {
    ChannelRecord record = randomChannel(7);
    std::memcpy(record.name, "A name of thirty bytes, no NUL", TextFieldSize);  // as a damaged file may hold
    std::strcpy(record.provider, "Plain provider");
    record.polarity.set(PolarityVertical);
    record.serviceType = 1;
    record.category = 2;
    putChannels({record});
    showChannel(0);

    setEditText(IDC_ECM, "4097");
    ChannelRecord expected = record;
    expected.ecmPid.set(4097);
    EXPECT_TRUE(sameBytes(CurrentRecord, expected));
    for (std::size_t i = 0; i < sizeof record; ++i) {
        EXPECT_EQ(reinterpret_cast<const unsigned char*>(&CurrentRecord)[i],
                  reinterpret_cast<const unsigned char*>(&expected)[i])
            << "byte " << i;
    }
}

TEST_F(RecordFormTest, NoSelectionShowsTheEmptyRecord) {
    putChannels({channelWithStreams("Full", {streamEntry(1, 2, 1)})});
    ChannelTable::slots[0] = distinctChannel();
    ChannelTable::slots[0].streamCount = 1;
    ChannelTable::slots[0].streams[0] = streamEntry(1, 2, 1);
    showChannel(0);
    ASSERT_EQ(listViewRowCount(IDC_STREAM_LIST), 1);

    showChannel(-1);  // as after the only channel was deleted
    EXPECT_EQ(SelectedIndex, -1);
    EXPECT_TRUE(sameBytes(CurrentRecord, ChannelRecord{}));
    EXPECT_EQ(controlText(IDC_NAME), "");
    EXPECT_EQ(controlText(IDC_PROVIDER), "");
    EXPECT_EQ(controlText(IDC_FREQUENCY), "0");
    EXPECT_EQ(controlText(IDC_SYMBOL_RATE), "0");
    for (int id : PidControls) EXPECT_EQ(controlText(id), "0") << "control " << id;
    EXPECT_EQ(controlText(IDC_POLARITY), "Horizontal [Left]");
    EXPECT_EQ(controlText(IDC_SERVICE_TYPE), "Data");
    EXPECT_EQ(controlText(IDC_CATEGORY), "News");
    EXPECT_EQ(listViewRowCount(IDC_STREAM_LIST), 0);
}

TEST_F(RecordFormTest, BeforeAnyChannelIsShownEditsStoreWithNoSelections) {
    putChannels({distinctChannel()});
    EXPECT_EQ(controlText(IDC_NAME), "");
    EXPECT_EQ(controlText(IDC_SID), "");
    EXPECT_EQ(comboSelection(IDC_POLARITY), -1);
    EXPECT_EQ(comboSelection(IDC_SERVICE_TYPE), -1);
    EXPECT_EQ(comboSelection(IDC_CATEGORY), -1);

    typeIntoEdit(IDC_SID, "321");
    ChannelRecord expected{};
    expected.sid.set(321);
    expected.polarity.set(PolarityVertical);
    expected.serviceType = 255;
    expected.category = 255;
    EXPECT_TRUE(sameBytes(CurrentRecord, expected));
    EXPECT_EQ(SelectedIndex, -1);
    EXPECT_TRUE(sameBytes(ChannelTable::slots[0], distinctChannel()));
}

// Started with an empty Category.txt: the category list has no item to show.
class RecordFormWithoutCategoriesTest : public MainDialogFixture {
protected:
    std::optional<std::string> categoryFile() const override { return std::string(); }
};

TEST_F(RecordFormWithoutCategoriesTest, EmptyRecordShowsNoCategory) {
    EXPECT_EQ(startupMessageBoxes, 0);
    EXPECT_EQ(comboCount(IDC_CATEGORY), 0);
    putChannels({namedChannel("Only")});
    showChannel(0);
    EXPECT_EQ(comboSelection(IDC_CATEGORY), -1);
    EXPECT_EQ(comboSelection(IDC_SERVICE_TYPE), 0);
    chooseComboItem(IDC_SERVICE_TYPE, 1);
    EXPECT_EQ(CurrentRecord.category, 255);
    EXPECT_EQ(CurrentRecord.serviceType, 1);
}

// Started with no Category.txt at all: start-up reports it once and the form still works.
class RecordFormMissingCategoryFileTest : public MainDialogFixture {
protected:
    std::optional<std::string> categoryFile() const override { return std::nullopt; }
};

TEST_F(RecordFormMissingCategoryFileTest, StartsAfterTheMessageAndStores255) {
    EXPECT_EQ(startupMessageBoxes, 1);
    EXPECT_EQ(startupMessageCaption, "Error");
    EXPECT_EQ(startupMessageText, "Category.txt not found!");
    EXPECT_EQ(comboCount(IDC_CATEGORY), 0);
    ChannelRecord record = namedChannel("Any");
    record.category = 0;
    putChannels({record});
    showChannel(0);
    EXPECT_EQ(comboSelection(IDC_CATEGORY), -1);
    setEditText(IDC_NAME, "Renamed");
    EXPECT_EQ(CurrentRecord.category, 255);
    EXPECT_EQ(std::string(CurrentRecord.name), "Renamed");
}

}  // namespace
