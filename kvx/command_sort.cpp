// kvx sort: a stable sort by one field, replacing the list unless -o is given.
#include "kvx/command_line.h"
#include "kvx/sort.h"
#include "lists/large_pages.h"

namespace {

std::string File;
std::string Output;
std::string By;
bool Reverse = false;

int runSort() {
    ChannelList list;
    if (!readList(File, list)) return Trouble;
    warnDropped(File, list);
    static const std::pair<const char*, SortKey> keys[] = {{"name", SortKey::Name},
                                                           {"provider", SortKey::Provider},
                                                           {"frequency", SortKey::Frequency},
                                                           {"sid", SortKey::Sid},
                                                           {"category", SortKey::Category}};
    SortKey key = SortKey::Name;
    for (const auto& [word, value] : keys) {
        if (By == word) key = value;
    }
    // The sorted list is written in pieces of about 260 KB, record by record in its new order, each
    // piece while the disk still works on the one before, from room used again for each piece (large
    // enough to be one large page).
    const std::vector<std::uint32_t> order = sortOrder(list.records, key, Reverse);
    if (!startDelivery(Output.empty() ? File : Output, FileRole::List)) return Trouble;
    constexpr std::size_t PieceRecords = 600;
    RecordList piece;
    piece.reserve(PieceRecords);
    for (std::size_t i = 0; i < order.size(); ++i) {
        piece.push_back(list.records[order[i]]);
        if (piece.size() == PieceRecords || i + 1 == order.size()) {
            if (!deliverPiece({reinterpret_cast<const char*>(piece.data()), piece.size() * sizeof(ChannelRecord)}))
                return Trouble;
            piece.clear();
        }
    }
    return finishDelivery();
}

}  // namespace

Subcommand addSortCommand(CLI::App& app) {
    CLI::App* command = app.add_subcommand("sort", "Sort a channel list (stable); replaces FILE unless -o is given");
    command->add_option("FILE", File, "Channel list")->required();
    command->add_option("--by", By, "Sort key")
        ->required()
        ->check(CLI::IsMember({"name", "provider", "frequency", "sid", "category"}));
    command->add_flag("--reverse", Reverse, "Descending order");
    command->add_option("-o,--output", Output, "Channel list to write (default: FILE itself)");
    return {command, runSort};
}
