// The record form: CurrentRecord between the sixteen form controls and the channel table. Showing
// copies a table slot into the buffer and writes the controls; reading stores every control back into
// the buffer. Both visit the controls in the same order: name, provider, frequency, symbol rate,
// polarity, service type, category, then TID, SID, PMT, PCR, ECM, VID, AUD, TTX and AC3.
#include "form/record_form.h"

#include <cstring>

#include "channel/channel_table.h"
#include "form/dialog_controls.h"
#include "form/form_text.h"
#include "form/stream_list.h"
#include "resources/resource_ids.h"

ChannelRecord CurrentRecord{};
std::int32_t SelectedIndex = -1;
bool FormUpdating = false;

namespace {

struct PidField {
    int control;
    LittleEndian16 ChannelRecord::*field;
};

// The 16-bit fields after the drop-down lists, in form order.
constexpr PidField PidFields[] = {
    {IDC_TID, &ChannelRecord::tid},      {IDC_SID, &ChannelRecord::sid},         {IDC_PMT, &ChannelRecord::pmtPid},
    {IDC_PCR, &ChannelRecord::pcrPid},   {IDC_ECM, &ChannelRecord::ecmPid},      {IDC_VID, &ChannelRecord::videoPid},
    {IDC_AUD, &ChannelRecord::audioPid}, {IDC_TTX, &ChannelRecord::teletextPid}, {IDC_AC3, &ChannelRecord::ac3Pid},
};

// --- Record -> controls ---

void showText(int id, const char (&field)[TextFieldSize]) {
    SetWindowTextA(control(id), fieldTextCopy(field).text);  // a field without a NUL is cut at 30 bytes
}

void showSigned(int id, std::int32_t value) {
    TextBuffer text;
    signedNumberText(value, text);
    SetWindowTextA(control(id), text);
}

void showUnsigned(int id, std::uint16_t value) {
    TextBuffer text;
    unsignedNumberText(value, text);
    SetWindowTextA(control(id), text);
}

// Selects the item at position; a list with no item there is left with no selection. Wine keeps the
// old selection when asked for a position past the end, so that case clears it explicitly.
void showChoice(int id, int position) {
    const HWND list = control(id);
    if (SendMessageA(list, CB_SETCURSEL, position, 0) == CB_ERR) SendMessageA(list, CB_SETCURSEL, -1, 0);
}

// --- Controls -> record ---

void readText(int id, char (&field)[TextFieldSize]) {
    TextBuffer text = "";
    GetWindowTextA(control(id), text, sizeof text);
    storeFieldText(field, text);
}

std::int32_t readNumber(int id) {
    TextBuffer text = "";
    GetWindowTextA(control(id), text, sizeof text);
    return parseNumber(text);
}

std::int32_t readChoice(int id) { return static_cast<std::int32_t>(SendMessageA(control(id), CB_GETCURSEL, 0, 0)); }

}  // namespace

void showSelected() {
    FormUpdating = true;  // every SetWindowTextA below raises EN_CHANGE, and so readForm, at once
    std::memset(&CurrentRecord, 0, sizeof CurrentRecord);
    SelectedIndex = static_cast<std::int32_t>(SendMessageA(control(IDC_CHANNEL_LIST), LB_GETCURSEL, 0, 0));
    // Only a slot that holds a channel is copied; a list position beyond the table shows the empty record.
    if (SelectedIndex >= 0 && SelectedIndex < ChannelTable::count) CurrentRecord = ChannelTable::slots[SelectedIndex];

    const ChannelRecord& record = CurrentRecord;
    showText(IDC_NAME, record.name);
    showText(IDC_PROVIDER, record.provider);
    showSigned(IDC_FREQUENCY, record.frequency.get());
    showUnsigned(IDC_SYMBOL_RATE, record.symbolRate.get());
    showChoice(IDC_POLARITY, polaritySelection(record.polarity.get()));
    showChoice(IDC_SERVICE_TYPE, record.serviceType);
    showChoice(IDC_CATEGORY, record.category);
    for (const PidField& pid : PidFields) showUnsigned(pid.control, (record.*pid.field).get());

    fillStreamList(record);
    FormUpdating = false;
}

void readForm() {
    if (FormUpdating) return;
    ChannelRecord& record = CurrentRecord;
    readText(IDC_NAME, record.name);
    readText(IDC_PROVIDER, record.provider);
    record.frequency.set(readNumber(IDC_FREQUENCY));
    record.symbolRate.set(wrap16(readNumber(IDC_SYMBOL_RATE)));
    record.polarity.set(polarityFromSelection(readChoice(IDC_POLARITY)));
    record.serviceType = listPositionByte(readChoice(IDC_SERVICE_TYPE));
    record.category = listPositionByte(readChoice(IDC_CATEGORY));
    for (const PidField& pid : PidFields) (record.*pid.field).set(wrap16(readNumber(pid.control)));
}
