// What receivers answer beside their lists, as any bytes. The first byte chooses the reader:
//   0  the recorder's listing with IDs, then after a NUL its timers, planned against a list of its
//      own: a plan either is refused with a reason or holds only commands of one line each;
//   1  a bouquet list: every bouquet it names to fetch stays inside the settings folder;
//   2  an answer to a reload: the box reloaded only where its e2state says True;
//   3  a greeting and a listing of timers: read or refused, never more than was sent.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/enigma2_receiver.h"
#include "formats/vdr_svdrp_plan.h"
#include "formats/vdr_svdrp_reply.h"

namespace {

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_receiver_answers: %s\n", what);
    std::abort();
}

constexpr std::string_view Wanted =
    ":News\n"
    "One;P:11000:H:S19.2E:27500:101=2:102=@4:0:0:1:1:1:0\n"
    "Two;P:11000:H:S19.2E:27500:101=2:102=@4:0:0:2:1:1:0\n"
    ":Sport\n"
    "Three;P:11000:V:S19.2E:27500:101=2:102=@4:0:0:3:0:0:0\n";

void plan(std::string_view input) {
    const std::size_t split = input.find('\0');
    const std::string_view listing = input.substr(0, split);
    const std::string_view timers = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    std::vector<SvdrpChannelLine> lines;
    std::vector<std::string> held;
    std::string why;
    if (!readSvdrpListing(listing, true, lines, why) || !readSvdrpTimerChannels(timers, held, why)) return;
    SvdrpPlan planned;
    if (!planSvdrpChanges(lines, Wanted, held, planned, why)) {
        check(!why.empty() && !why.starts_with("kvx made a plan"),
              "a plan refused without a reason, or one kvx got wrong");
        return;
    }
    for (const std::string& command : planned.commands) {
        check(command.find_first_of("\r\n") == std::string::npos, "a command of more than one line");
        const std::string verb = command.substr(0, 5);
        check(verb == "NEWC " || verb == "MODC " || verb == "MOVC " || verb == "DELC ", "a command kvx never sends");
    }
    check(planned.firstDeletion <= planned.commands.size(), "deletions past the commands");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 4) {
        case 0: plan(input); break;
        case 1: {
            std::vector<std::string> names;
            int refused = 0;
            bouquetFilesNamed(input, names, refused);
            for (const std::string& name : names) {
                check(name.find_first_of("/\\") == std::string::npos && name.find("..") == std::string::npos &&
                          name.rfind("userbouquet.", 0) == 0,
                      "a bouquet name that reaches outside the folder");
                check(input.find(name) != std::string_view::npos, "a bouquet name the list does not hold");
            }
            break;
        }
        case 2: {
            std::string text;
            if (readReloadAnswer(input, text))
                check(input.find("<e2state>") != std::string_view::npos && input.find("rue") != std::string_view::npos,
                      "a reload read from an answer that does not say True");
            break;
        }
        default: {
            if (isSvdrpGreeting(input)) check(input.rfind("220 ", 0) == 0, "a greeting that is not a 220 line");
            std::vector<std::string> ids;
            std::string why;
            if (readSvdrpTimerChannels(input, ids, why)) {
                for (const std::string& id : ids) check(id.find('\n') == std::string::npos, "an ID of two lines");
            } else {
                check(!why.empty(), "timers refused without a reason");
            }
            break;
        }
    }
    return 0;
}
