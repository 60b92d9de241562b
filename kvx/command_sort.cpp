// kvx sort: a stable sort by one field, replacing the list unless -o is given.
#include "kvx/command_line.h"
#include "kvx/sort.h"

namespace {

std::string File;
std::string Output;
std::string By;
bool Reverse = false;

int runSort() {
    ChannelList list;
    if (!readList(File, list)) return Trouble;
    // Writing the sorted list would lose the records the editor cannot hold.
    if (!keepsEveryRecord(File, list)) return Trouble;
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
    // The sorted list is written once, record by record in its new order, into room reserved for it.
    const std::vector<std::uint32_t> order = sortOrder(list.records, key, Reverse);
    std::vector<ChannelRecord> records;
    reserveOutput(records, order.size());
    for (const std::uint32_t from : order) records.push_back(list.records[from]);
    list = ChannelList{};  // the file read is let go before it is replaced
    const std::string& target = Output.empty() ? File : Output;
    std::string why;
    if (!saveChannelList(target.c_str(), records, why)) {
        complain(target, why);
        return Trouble;
    }
    return Success;
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
